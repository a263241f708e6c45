#include "cli/PortListing.h"

#include "cli/Console.h"
#include "session/PrintableText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

void printPortList(const std::vector<SerialPortInfo>& present, bool json)
{
    if (json) {
        QJsonArray ports;
        for (const SerialPortInfo& port : present) {
            ports.append(QJsonObject{{"port", portFieldText(port.portName)},
                                     {"adapter", portFieldText(port.description)},
                                     {"hardware_id", portFieldText(port.hardwareId)},
                                     {"serial_number", portFieldText(port.serialNumber)}});
        }
        printOut(QString::fromUtf8(QJsonDocument(ports).toJson(QJsonDocument::Compact)) + '\n');
        return;
    }
    // What a device calls itself reaches the terminal as text, never as its commands.
    const auto shown = [](const char(&field)[256]) { return printableText(portFieldText(field)); };
    qsizetype nameWidth = 0;
    qsizetype adapterWidth = 0;
    qsizetype idWidth = 0;
    for (const SerialPortInfo& port : present) {
        nameWidth = std::max(nameWidth, shown(port.portName).size());
        adapterWidth = std::max(adapterWidth, shown(port.description).size());
        idWidth = std::max(idWidth, shown(port.hardwareId).size());
    }
    for (const SerialPortInfo& port : present) {
        const QString line = shown(port.portName).leftJustified(nameWidth) + "  "
                             + shown(port.description).leftJustified(adapterWidth) + "  "
                             + shown(port.hardwareId).leftJustified(idWidth) + "  " + shown(port.serialNumber);
        printOut(line.trimmed() + '\n');
    }
}
