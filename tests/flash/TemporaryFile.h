#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

// A uniquely named file in the test's temporary folder, removed at the end.
class TemporaryFile
{
public:
    TemporaryFile()
    {
        const int descriptor = mkstemp(path_.data());
        EXPECT_GE(descriptor, 0);
        close(descriptor);
    }
    ~TemporaryFile() { std::remove(path()); }

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const char* path() const { return path_.c_str(); }

    void write(const std::vector<std::uint8_t>& bytes) const
    {
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::string path_ = testing::TempDir() + "firmware-XXXXXX";
};
