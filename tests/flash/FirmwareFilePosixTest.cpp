// Firmware files that only POSIX systems have: FIFOs, and the kernel's
// attribute files.
#include "flash/FirmwareFile.h"

#include "FlashTestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <thread>

TEST(FirmwareFile, NeitherAFifoNorAFileThatYieldsLessIsTaken)
{
    const FirmwareFolder files;
    // Opening a FIFO would wait for a writer.
    const std::string fifo = files.path("fifo.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(refusalOf(fifo), "Not a firmware file: " + fifo + " is a FIFO (named pipe)");
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

// The path turns into a FIFO and back while loads go on: judged on the one
// file it opened, a load never waits for a FIFO's writer.
TEST(FirmwareFile, APathSwappedForAFifoNeverHoldsTheLoad)
{
    const FirmwareFolder files;
    const std::string path = files.write("firmware.bin", imageBytes(600));
    const std::string regular = files.path("regular.bin");
    const std::string fifo = files.path("fifo.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> swapping{true};
    std::thread swapper([&] {
        while (swapping) {
            std::rename(path.c_str(), regular.c_str());
            std::rename(fifo.c_str(), path.c_str());
            std::rename(path.c_str(), fifo.c_str());
            std::rename(regular.c_str(), path.c_str());
        }
    });
    auto loads = std::async(std::launch::async, [&] {
        for (int i = 0; i < 2000; ++i)
            loadFirmwareImage(QString::fromStdString(path));
    });
    const bool finished = loads.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    swapping = false;
    swapper.join();
    EXPECT_TRUE(finished) << "a load waited for a FIFO's writer";
    if (!finished) {
        // Lets the held load go, so that the test can end.
        for (const std::string& name : {path, fifo})
            ::close(::open(name.c_str(), O_WRONLY | O_NONBLOCK));
    }
}
