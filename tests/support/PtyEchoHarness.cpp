// Runs a command against a serial "device" that echoes every byte it gets:
// the slave side of a pty whose master this program holds.
//
//   pty_echo_harness [--link PATH --port NAME] -- command [args...]
//
// --link makes PATH a symbolic link to the pty (wine maps COM ports through
// links in $WINEPREFIX/dosdevices). The command finds the port's name in
// ORVANNE_TEST_PORT: NAME if given, else the pty's path. The exit code is the
// command's.
#include "tests/support/PtyPair.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

int main(int argc, char** argv)
{
    const bool linked = argc > 6 && std::strcmp(argv[1], "--link") == 0 && std::strcmp(argv[3], "--port") == 0;
    char** const command = argv + (linked ? 6 : 2);
    if (argc < (linked ? 7 : 3) || std::strcmp(command[-1], "--") != 0) {
        std::fprintf(stderr, "usage: pty_echo_harness [--link PATH --port NAME] -- command...\n");
        return 2;
    }
    PtyPair pty;
    if (linked)
        unlink(argv[2]); // a link left behind by an earlier run
    if (linked && symlink(pty.slavePath().c_str(), argv[2]) != 0) {
        std::perror("symlink");
        return 2;
    }
    setenv("ORVANNE_TEST_PORT", linked ? argv[4] : pty.slavePath().c_str(), 1);

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
    const pid_t child = fork();
    if (child == 0) {
        execvp(command[0], command);
        std::perror("execvp");
        _exit(127);
    }
    int status = 0;
    while (child > 0 && waitpid(child, &status, 0) < 0) {
    }
    done = true;
    echoer.join();
    if (linked)
        unlink(argv[2]);
    return child < 0 ? 2 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
