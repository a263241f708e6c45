#include "cli/BrokenPipe.h"

#include <csignal>

void keepRunningWhenOutputIsClosed()
{
    std::signal(SIGPIPE, SIG_IGN);
}
