#include "session/PortOpenFailure.h"

// Serial devices belong to the dialout group on Debian and its derivatives:
// what a new Linux user meets first.
QString accessDeniedHint()
{
    return QStringLiteral("on Debian join the dialout group (sudo usermod -aG dialout $USER) and log in again");
}
