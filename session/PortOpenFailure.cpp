#include "session/PortOpenFailure.h"

#include "serialport/SerialPortBase.h"

QString PortOpenFailure::summary() const
{
    return cause + QStringLiteral(" (%1, code %2)").arg(libraryText).arg(code);
}

PortOpenFailure portOpenFailure(int code, const char* libraryText)
{
    PortOpenFailure failure{code, QString::fromUtf8(libraryText), QString(), QString()};
    switch (code) {
    case ResultNotExist: failure.cause = QStringLiteral("no such port: unplugged, or a wrong name"); break;
    case ResultAccessDenied:
        failure.cause = QStringLiteral("access denied: another program may hold the port, or your user may not open it");
        failure.hint = accessDeniedHint();
        break;
    case ResultInvalidParam: failure.cause = QStringLiteral("the port name or the line settings were refused"); break;
    default: failure.cause = QStringLiteral("the port cannot be opened"); break;
    }
    return failure;
}
