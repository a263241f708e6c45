#pragma once

#include "flash/FirmwareFile.h"
#include "tests/support/ImageBytes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// Firmware files in a folder of their own, removed with it.
class FirmwareFolder
{
public:
    std::string path(const char* name) const { return folder_.filePath(name).toStdString(); }

    std::string write(const char* name, const std::vector<std::uint8_t>& bytes) const
    {
        const std::string file = path(name);
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return file;
    }

private:
    QTemporaryDir folder_;
};

// Why the file at path is refused as a firmware image; fails the test when it is taken.
inline std::string refusalOf(const std::string& path)
{
    const ImageLoad load = loadFirmwareImage(QString::fromStdString(path));
    EXPECT_FALSE(load.image) << path;
    return load.reason.toStdString();
}
