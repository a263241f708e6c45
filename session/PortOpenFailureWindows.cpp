#include "session/PortOpenFailure.h"

// Windows lets one program at a time open a COM port.
QString accessDeniedHint()
{
    return QStringLiteral("the port is in use by another program (a terminal, another flasher); close it there first");
}
