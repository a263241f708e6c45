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

// Whether the system's listed name is the port the operator named: on
// Windows in any case, as the system takes it; on POSIX systems also as its
// path under /dev.
bool isListedAs(const QString& portName, const QString& listedName)
{
#ifdef _WIN32
    return portName.compare(listedName, Qt::CaseInsensitive) == 0;
#else
    return portName == listedName || portName == QStringLiteral("/dev/") + listedName;
#endif
}

} // namespace

PortIdentity identifyPort(const std::vector<SerialPortInfo>& present, const QString& portName)
{
    for (const SerialPortInfo& port : present) {
        if (isListedAs(portName, fieldText(port.portName)))
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
