#include "session/PortIdentity.h"

#include "serialport/PortName.h"

#include <cstring>

PortIdentity identifyPort(const std::vector<SerialPortInfo>& present, const QString& portName)
{
    const QByteArray name = portName.toUtf8();
    for (const SerialPortInfo& port : present) {
        if (isSamePortName(name.constData(), std::string_view(port.portName, strnlen(port.portName, sizeof port.portName))))
            return {portFieldText(port.description), portFieldText(port.hardwareId), portFieldText(port.serialNumber)};
    }
    return {};
}

QString portFieldText(const char (&field)[256])
{
    return QString::fromLocal8Bit(field, static_cast<qsizetype>(strnlen(field, sizeof field)));
}
