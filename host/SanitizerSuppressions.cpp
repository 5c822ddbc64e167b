// What the sanitizers are not to report from the libraries the editor draws text with, which are
// not instrumented. The sanitizers read these lists only from the program itself, and their own
// empty defaults come first in the link, so this file is compiled into the tarnwell command and
// into every test program rather than into a library.

#if defined(__SANITIZE_ADDRESS__)
// Fontconfig and pango keep their font caches for the life of the process, by design.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libpango-1.0.so\nleak:libpangoft2-1.0.so\nleak:libpangocairo-1.0."
           "so\n";
}
#endif

#if defined(__SANITIZE_THREAD__)
// Pango starts fontconfig's initialisation on a thread of its own, and the first text drawn waits
// for it, all inside those libraries, which the thread checker cannot follow. Only their own
// reports are silenced: our code is checked.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libfontconfig.so.1\ncalled_from_lib:libfontconfig.so.1\ncalled_from_lib:libglib-2.0.so.0\n"
           "mutex:libpangoft2-1.0.so.0\ncalled_from_lib:libpangoft2-1.0.so.0\n";
}
#endif
