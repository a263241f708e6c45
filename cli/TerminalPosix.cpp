#include "cli/Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

bool isTerminal(std::FILE* stream)
{
    return isatty(fileno(stream)) != 0;
}

int terminalColumns()
{
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

void prepareConsole()
{
}
