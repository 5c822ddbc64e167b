#pragma once

// Starting outside programs (the file choosers, the desktop's opener) one way: posix_spawn, with
// no shell between, so the host's process is never copied and only the program runs in the child.

#include <sys/types.h>

#include <string>
#include <vector>

// Runs argv to its end with standard input and error on /dev/null; argv[0] is a path. Its exit
// status (128 when it was killed), its standard output in output (at most 1 MiB kept); -1 when
// it could not be started.
int runProgram(const std::vector<std::string>& argv, std::string& output);

// What became of a program started to go on by itself.
struct Launch {
    enum Outcome { NOT_STARTED, FAILED, SUCCEEDED, RUNNING } outcome = NOT_STARTED;
    pid_t pid = -1;  // the program's process while started
};

// Starts argv (argv[0] looked up on PATH), sharing the caller's standard streams, and waits at
// most waitMs for its verdict: an exit status of 0 is SUCCEEDED, any other or a kill FAILED. One
// still running then is left RUNNING and reaped later by reapLaunchedPrograms, so no ended
// program stays behind as a zombie and nothing waits for it.
Launch launchProgram(const std::vector<std::string>& argv, int waitMs);
// Collects the launched programs that have ended since; never waits. Every launch calls it, and
// so does the editor's idle. Answers how many are still running.
int reapLaunchedPrograms();

// Shows a document with the desktop's opener (xdg-open); false when there is none or it failed
// within the 1.5 s its verdict is waited for. An opener still busy after that is taken as having
// shown it.
bool openWithDesktop(const char* path);

// How a document is shown: called with its path; false when it could not be.
using DocumentOpener = bool (*)(const char* path);

// Shows the manual kept at installed (the application's data folder) with opener. The bundle's
// copy in bundleFolder is installed there on first use, and again whenever it is newer (an
// updated component brings an updated manual). A message names the file when it is missing or
// nothing could show it.
void showManual(const char* installed, const std::string& bundleFolder, DocumentOpener opener);
