// Under ThreadSanitizer: pango starts fontconfig's initialisation on a thread of its own inside
// the uninstrumented system libraries, which the sanitizer cannot follow. Our code is checked.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libfontconfig.so.1\ncalled_from_lib:libfontconfig.so.1\ncalled_from_lib:libglib-2.0.so.0\n"
           "mutex:libpangoft2-1.0.so.0\ncalled_from_lib:libpangoft2-1.0.so.0\n";
}
