#include "tests/support/HarnessCommand.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

bool parseHarnessCommand(int argc, char** argv, const char* harness, HarnessCommand& parsed)
{
    const bool linked = argc > 6 && std::strcmp(argv[1], "--link") == 0 && std::strcmp(argv[3], "--port") == 0;
    const int separator = linked ? 5 : 1;
    if (argc < separator + 2 || std::strcmp(argv[separator], "--") != 0) {
        std::fprintf(stderr, "usage: %s [--link PATH --port NAME] -- command...\n", harness);
        return false;
    }
    parsed.link = linked ? argv[2] : nullptr;
    parsed.port = linked ? argv[4] : nullptr;
    parsed.command = argv + separator + 1;
    return true;
}

bool linkPort(const HarnessCommand& harness, const char* slavePath)
{
    if (harness.link != nullptr) {
        const std::string fresh = std::string(harness.link) + ".new";
        unlink(fresh.c_str()); // left behind by an earlier run
        if (symlink(slavePath, fresh.c_str()) != 0 || rename(fresh.c_str(), harness.link) != 0) {
            std::perror("linking the port");
            return false;
        }
    }
    return setenv("ORVANNE_TEST_PORT", harness.port != nullptr ? harness.port : slavePath, 1) == 0;
}

int runCommand(const HarnessCommand& harness)
{
    const pid_t child = fork();
    if (child == 0) {
        execvp(harness.command[0], harness.command);
        std::perror("execvp");
        _exit(127);
    }
    int status = 0;
    while (child > 0 && waitpid(child, &status, 0) < 0) {
    }
    if (harness.link != nullptr)
        unlink(harness.link);
    return child < 0 ? 2 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
