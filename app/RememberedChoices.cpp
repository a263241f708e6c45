#include "app/RememberedChoices.h"

#include <QSettings>

namespace {

const QString kPort = QStringLiteral("port/name");
const QString kBaudRate = QStringLiteral("port/baudRate");
const QString kParity = QStringLiteral("port/parity");
const QString kDataBits = QStringLiteral("port/dataBits");
const QString kStopBits = QStringLiteral("port/stopBits");
const QString kPacing = QStringLiteral("dialogue/pacing");
const QString kFirmwareFolder = QStringLiteral("firmware/folder");
const QString kLogFolder = QStringLiteral("log/folder");
const QString kGeometry = QStringLiteral("window/geometry");

} // namespace

RememberedChoices RememberedChoices::load()
{
    const QSettings settings;
    return {settings.value(kPort).toString(),     settings.value(kBaudRate).toString(),
            settings.value(kParity).toString(),   settings.value(kDataBits).toString(),
            settings.value(kStopBits).toString(), settings.value(kPacing).toString(),
            settings.value(kFirmwareFolder).toString(),
            settings.value(kLogFolder).toString(), settings.value(kGeometry).toByteArray()};
}

void RememberedChoices::save() const
{
    QSettings settings;
    settings.setValue(kPort, port);
    settings.setValue(kBaudRate, baudRate);
    settings.setValue(kParity, parity);
    settings.setValue(kDataBits, dataBits);
    settings.setValue(kStopBits, stopBits);
    settings.setValue(kPacing, pacing);
    settings.setValue(kFirmwareFolder, firmwareFolder);
    settings.setValue(kLogFolder, logFolder);
    settings.setValue(kGeometry, geometry);
}
