// Runs a command against a serial "device" that echoes every byte it gets:
// the slave side of a pty whose master this program holds.
//
//   pty_echo_harness [--link PATH --port NAME] -- command [args...]
//
// (see HarnessCommand.h). The exit code is the command's.
#include "tests/support/HarnessCommand.h"
#include "tests/support/PtyPair.h"

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <thread>

int main(int argc, char** argv)
{
    HarnessCommand harness;
    if (!parseHarnessCommand(argc, argv, "pty_echo_harness", harness))
        return 2;
    PtyPair pty;
    if (!linkPort(harness, pty.slavePath().c_str()))
        return 2;

    std::atomic<bool> done{false};
    std::thread echoer([&] {
        while (!done) {
            pollfd master{pty.masterFd(), POLLIN, 0};
            char bytes[4096];
            const ssize_t n = poll(&master, 1, 50) > 0 ? read(pty.masterFd(), bytes, sizeof bytes) : 0;
            if (n > 0)
                pty.write(bytes, static_cast<std::size_t>(n));
        }
    });
    const int exitCode = runCommand(harness);
    done = true;
    echoer.join();
    return exitCode;
}
