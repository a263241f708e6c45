// Runs a command against a serial "device" that echoes every byte it gets:
// the slave side of a pty whose master this program holds.
//
//   pty_echo_harness [--link PATH] [--port NAME] -- command [args...]
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
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

void echo(PtyPair& pty, const std::atomic<bool>& done)
{
    while (!done) {
        pollfd fd{pty.masterFd(), POLLIN, 0};
        if (poll(&fd, 1, 50) <= 0 || !(fd.revents & POLLIN))
            continue;
        char bytes[4096];
        const ssize_t n = read(pty.masterFd(), bytes, sizeof bytes);
        if (n > 0)
            pty.write(bytes, static_cast<std::size_t>(n));
    }
}

int usage()
{
    std::fprintf(stderr, "usage: pty_echo_harness [--link PATH] [--port NAME] -- command...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string link;
    std::string portName;
    int commandStart = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--" && i + 1 < argc) {
            commandStart = i + 1;
            break;
        }
        if ((argument == "--link" || argument == "--port") && i + 1 < argc)
            (argument == "--link" ? link : portName) = argv[++i];
        else
            return usage();
    }
    if (commandStart < 0)
        return usage();

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
    std::thread echoer(echo, std::ref(pty), std::cref(done));
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[commandStart], argv + commandStart);
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
    if (child < 0)
        return 2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
