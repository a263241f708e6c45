#pragma once

// What the program's exit status tells a script that called it.
namespace ExitCode {
constexpr int Success = 0;       // every run succeeded (or the listing was printed)
constexpr int RunFailed = 1;     // at least one run did not complete
constexpr int UsageError = 2;    // a bad option, a missing file
constexpr int Refused = 3;       // the image was refused or a port could not be opened
constexpr int Interrupted = 130; // Ctrl-C, SIGTERM, SIGHUP or a closed console: every run cancelled
} // namespace ExitCode
