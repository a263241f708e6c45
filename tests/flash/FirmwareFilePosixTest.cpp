// Firmware files that only POSIX systems have: FIFOs, and the kernel's
// attribute files.
#include "flash/FirmwareFile.h"

#include "FlashTestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

TEST(FirmwareFile, NeitherAFifoNorAFileThatYieldsLessIsTaken)
{
    const FirmwareFolder files;
    // Opening a FIFO would wait for a writer.
    const std::string fifo = files.path("fifo.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(refusalOf(fifo), "Not a firmware file: " + fifo + " is a FIFO (named pipe)");
    const std::string folder = files.path(".");
    EXPECT_EQ(refusalOf(folder), "Not a firmware file: " + folder + " is a directory");
    EXPECT_EQ(checkFirmwareFile(QString::fromStdString(fifo)).refusal.toStdString(),
              "Not a firmware file: " + fifo + " is a FIFO (named pipe)")
        << "choosing judges by name, without opening";

    // The kernel's attribute files claim a page and hold a few bytes: a file
    // that yields less than its size is never flashed in part.
    const char* const shortFile = "/sys/kernel/uevent_seqnum";
    if (std::filesystem::exists(shortFile)) {
        EXPECT_EQ(refusalOf(shortFile).rfind("Read only ", 0), 0u);
    }
}
