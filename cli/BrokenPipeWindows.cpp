#include "cli/BrokenPipe.h"

// Windows has no SIGPIPE: a write to a closed pipe fails with an error.
void keepRunningWhenOutputIsClosed()
{
}
