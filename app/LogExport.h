#pragma once

#include <QString>

// A saved log: a header that traces the session (program version, date,
// port, adapter, pacing, image and its SHA-256), then both panes.
struct LogExport
{
    QString port;
    QString adapter;
    QString pacing;
    QString imagePath;
    QString imageSha256;
    QString sendPane;
    QString receivePane;

    // Writes the whole file or nothing, and only as a regular file: a path
    // that names anything else (a device, a FIFO, a folder) is left as it is.
    // On failure, why, in words for the operator.
    bool writeTo(const QString& fileName, QString& whyNot) const;
};
