#pragma once

#include <QString>

// A saved log: a header that traces the session (program version, date,
// port, adapter, image and its SHA-256), then both panes.
struct LogExport
{
    QString port;
    QString adapter;
    QString imagePath;
    QString imageSha256;
    QString sendPane;
    QString receivePane;

    // Writes the whole file or nothing; on failure, why.
    bool writeTo(const QString& fileName, QString& whyNot) const;
};
