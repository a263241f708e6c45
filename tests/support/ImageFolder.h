#pragma once

#include "tests/support/ImageBytes.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A temporary folder with a raw firmware image (imageBytes) in it, and the
// files a test writes beside it (jobs, records).
struct ImageFolder
{
    explicit ImageFolder(int size)
    {
        const std::vector<std::uint8_t> bytes = imageBytes(static_cast<std::size_t>(size));
        image = QByteArray(reinterpret_cast<const char*>(bytes.data()), size);
        imagePath = write("image.bin", image);
    }

    QString write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) << name.toStdString();
        return file.fileName();
    }

    QString sha256() const { return QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex(); }

    QTemporaryDir folder;
    QByteArray image;
    QString imagePath;
};
