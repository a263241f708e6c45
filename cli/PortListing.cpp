#include "cli/PortListing.h"

#include "cli/Console.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstring>

namespace {

// The fields are NUL-terminated within their 256 bytes; strnlen keeps a
// malformed one from being read past its end.
template <std::size_t N>
QString fieldText(const char (&field)[N])
{
    return QString::fromLocal8Bit(field, static_cast<qsizetype>(strnlen(field, N)));
}

QString listedName(const QString& portName)
{
#ifdef _WIN32
    return portName;
#else
    const QString devicePrefix = QStringLiteral("/dev/");
    return portName.startsWith(devicePrefix) ? portName.mid(devicePrefix.size()) : portName;
#endif
}

} // namespace

PortIdentity identifyPort(const std::vector<SerialPortInfo>& present, const QString& portName)
{
    const QString name = listedName(portName);
    for (const SerialPortInfo& port : present) {
        if (fieldText(port.portName) == name)
            return {fieldText(port.description), fieldText(port.hardwareId)};
    }
    return {};
}

void printPortList(const std::vector<SerialPortInfo>& present, bool json)
{
    if (json) {
        QJsonArray ports;
        for (const SerialPortInfo& port : present) {
            ports.append(QJsonObject{{"port", fieldText(port.portName)},
                                     {"adapter", fieldText(port.description)},
                                     {"hardware_id", fieldText(port.hardwareId)}});
        }
        printOut(QString::fromUtf8(QJsonDocument(ports).toJson(QJsonDocument::Compact)) + '\n');
        return;
    }
    qsizetype nameWidth = 0;
    qsizetype adapterWidth = 0;
    for (const SerialPortInfo& port : present) {
        nameWidth = std::max(nameWidth, fieldText(port.portName).size());
        adapterWidth = std::max(adapterWidth, fieldText(port.description).size());
    }
    for (const SerialPortInfo& port : present) {
        const QString line = fieldText(port.portName).leftJustified(nameWidth) + "  "
                             + fieldText(port.description).leftJustified(adapterWidth) + "  "
                             + fieldText(port.hardwareId);
        printOut(line.trimmed() + '\n');
    }
}
