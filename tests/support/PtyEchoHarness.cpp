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
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    std::string link;
    std::string portName;
    int next = 1;
    for (; next + 1 < argc && std::string(argv[next]) != "--"; next += 2)
        (std::string(argv[next]) == "--link" ? link : portName) = argv[next + 1];
    if (next + 1 >= argc || std::string(argv[next]) != "--") {
        std::fprintf(stderr, "usage: pty_echo_harness [--link PATH --port NAME] -- command...\n");
        return 2;
    }

    PtyPair pty;
    if (!link.empty()) {
        unlink(link.c_str());
        if (symlink(pty.slavePath().c_str(), link.c_str()) != 0) {
            std::perror("symlink");
            return 2;
        }
    }
    setenv("ORVANNE_TEST_PORT", portName.empty() ? pty.slavePath().c_str() : portName.c_str(), 1);

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
        execvp(argv[next + 1], argv + next + 1);
        std::perror("execvp");
        _exit(127);
    }
    int status = 0;
    while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    done = true;
    echoer.join();
    if (!link.empty())
        unlink(link.c_str());
    return child < 0 ? 2 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
