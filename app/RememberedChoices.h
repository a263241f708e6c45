#pragma once

#include <QByteArray>
#include <QString>

// What the window remembers between starts, per user (QSettings with the
// application's organisation and name): the port and its line settings as
// their box texts, the pacing as its word, the folders of the last firmware
// file and of the last saved log, and the window's geometry. Empty fields were never saved: the window keeps its defaults.
struct RememberedChoices
{
    QString port;
    QString baudRate;
    QString parity;
    QString dataBits;
    QString stopBits;
    QString pacing;
    QString firmwareFolder;
    QString logFolder;
    QByteArray geometry;

    static RememberedChoices load();
    void save() const;
};
