#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A temporary folder with a raw firmware image of binary bytes in it, each
// block unlike its neighbours so that a payload from the wrong offset shows, and the files a test writes beside it (jobs, records).
struct ImageFolder
{
    explicit ImageFolder(int size) : image(size, '\0')
    {
        for (int i = 0; i < size; ++i)
            image[i] = static_cast<char>(i * 13 + i / 256 + 1);
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
