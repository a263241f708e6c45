#include "cli/PortListing.h"

#include "cli/Console.h"

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
                                     {"hardware_id", portFieldText(port.hardwareId)}});
        }
        printOut(QString::fromUtf8(QJsonDocument(ports).toJson(QJsonDocument::Compact)) + '\n');
        return;
    }
    qsizetype nameWidth = 0;
    qsizetype adapterWidth = 0;
    for (const SerialPortInfo& port : present) {
        nameWidth = std::max(nameWidth, portFieldText(port.portName).size());
        adapterWidth = std::max(adapterWidth, portFieldText(port.description).size());
    }
    for (const SerialPortInfo& port : present) {
        const QString line = portFieldText(port.portName).leftJustified(nameWidth) + "  "
                             + portFieldText(port.description).leftJustified(adapterWidth) + "  "
                             + portFieldText(port.hardwareId);
        printOut(line.trimmed() + '\n');
    }
}
