#pragma once

#include "flash/FirmwareFile.h"
#include "tests/support/ImageBytes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// The chip's replies as they come off the line.
inline const std::string kBootReady("\x55\x66\x32\x02\x05\x00", 6);
inline const std::string kBlockWritten("\x55\x66\x33", 3);
inline const std::string kTransferEnded("\x55\x66\x34", 3);
inline const std::string kBootExited("\x55\x66\x35", 3);
inline const std::string kFactoryResetDone("\x55\x66\x36", 3);

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
