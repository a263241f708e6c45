// Flashing end to end: the real window and serial library against the chip
// simulator on a pty.
#include "tests/support/WindowDriver.h"
#include "simulator/ChipSimulator.h"
#include "tests/support/ProcessResources.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> firmwareBytes(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 13 + i / 256 + 1);
    return bytes;
}

class FlashRun : public testing::Test
{
protected:
    explicit FlashRun(ChipBehaviour behaviour = {}) : chip(behaviour) {}

    // Writes the firmware file, chooses it and opens the simulator's port.
    void prepare(std::size_t imageSize)
    {
        firmware = firmwareBytes(imageSize);
        firmwarePath = folder.filePath("firmware.bin");
        QFile file(firmwarePath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(firmware.data()),
                   static_cast<qint64>(firmware.size()));
        file.close();
        driver.chooseFirmware(firmwarePath);
        driver.typePort(QString::fromStdString(chip.slavePath()));
        driver.press("pushButtonOpen");
        ASSERT_EQ(driver.widget<QPushButton>("pushButtonOpen").text(), "Close Port");
    }

    void flashAndWait()
    {
        driver.press("pushButtonSend");
        EXPECT_FALSE(driver.actionButtonsEnabled()) << "a run disables the buttons";
        ASSERT_EQ(driver.waitForRunEnd(), "Flashing completed.") << driver.logLines().join('\n').toStdString();
        EXPECT_EQ(chip.protocolError(), "");
    }

    ChipSimulator chip;
    WindowDriver driver;
    QTemporaryDir folder;
    QString firmwarePath;
    std::vector<std::uint8_t> firmware;
};

TEST_F(FlashRun, AThreeBlockImageArrivesWholeWithEveryTextShown)
{
    prepare(600);
    flashAndWait();
    EXPECT_EQ(chip.image(), firmware);
    EXPECT_EQ(driver.logLines(),
              (QStringList{"Port open ready to flash RQ51x...",
                           "Adapter: not described by the system", "Reading...",
                           "File: " + firmwarePath + " ", "Size: 600 Bytes",
                           "Blocks to transfer: 3", "Requesting boot mode...",
                           "Bootloader ready to receive...", "Memory index: 0x00000000",
                           "Memory index: 0x00000100", "Memory index: 0x00000200",
                           "Last package completed...", "Exiting boot mode...",
                           "Flashing completed."}));
    EXPECT_EQ(driver.receiveLines(),
              (QStringList{"ACK (32)", "ACK (33)", "Written memory block: 1",
                           "Next memory block: 2", "ACK (33)", "Written memory block: 2",
                           "Next memory block: 3", "ACK (33)", "Written memory block: 3",
                           "ACK (34)", "ACK (35)"}));
    EXPECT_EQ(driver.text("label_FileSize"), "File: " + firmwarePath + " \nSize: 600 Bytes");
    EXPECT_EQ(driver.text("label_TotalBlocks"), "Blocks to transfer: 3");
    EXPECT_EQ(driver.text("label_CurrenBlock"), "Written memory block: 3");
    EXPECT_EQ(driver.text("label_Action"), "Flashing completed.");
    EXPECT_EQ(driver.progress(), 100);

    // Clear keeps the counters: the next text shows their progress again.
    driver.press("pushButtonClear");
    EXPECT_EQ(driver.progress(), 0);
    EXPECT_EQ(driver.text("labelFirmware_1"), firmwarePath);
    emit driver.window->emitUpdateReceive(QStringLiteral("later"));
    ASSERT_TRUE(processEventsUntil([&] { return driver.progress() == 100; }));
}

TEST_F(FlashRun, ImagesOfOneTwoAndFortyBlocksArriveByteForByte)
{
    for (std::size_t size : {1u, 256u, 257u, 40u * 256u - 17u}) {
        SCOPED_TRACE(size);
        if (driver.widget<QPushButton>("pushButtonOpen").text() == "Close Port")
            driver.press("pushButtonOpen");
        prepare(size);
        flashAndWait();
        EXPECT_EQ(chip.image(), firmware);
        EXPECT_EQ(driver.progress(), 100);
        const std::uint32_t blocks = static_cast<std::uint32_t>((size + 255) / 256);
        EXPECT_EQ(driver.text("label_CurrenBlock"),
                  QStringLiteral("Written memory block: %1").arg(blocks));
    }
}

TEST_F(FlashRun, AFactoryResetRunsWithoutAFirmwareFile)
{
    driver.typePort(QString::fromStdString(chip.slavePath()));
    driver.press("pushButtonOpen");
    driver.press("pushButtonReset");
    ASSERT_EQ(driver.waitForRunEnd(), "Flashing completed.");
    EXPECT_EQ(chip.protocolError(), "");
    EXPECT_EQ(chip.record().count(ChipMessage::FactoryReset), 1u);
    EXPECT_EQ(chip.record().count(ChipMessage::DataBlock), 0u);
    EXPECT_EQ(driver.logLines(),
              (QStringList{"Port open ready to flash RQ51x...",
                           "Adapter: not described by the system", "Restoring factory settings...",
                           "Requesting boot mode...", "Bootloader ready to receive...",
                           "Sending factory reset...", "ACK factory reset...",
                           "Flashing completed."}));
    EXPECT_EQ(driver.receiveLines(), (QStringList{"ACK (32)", "ACK (36)", "ACK (35)"}));
    EXPECT_EQ(driver.progress(), 0) << "no image was ever loaded";
}

TEST_F(FlashRun, ClosingTheWindowMidRunClosesThePort)
{
    prepare(40 * 256);
    const std::size_t threadsBefore = countThreads();
    driver.press("pushButtonSend");
    ASSERT_TRUE(chip.waitUntil(
        [](const ChipRecord& record) { return record.count(ChipMessage::DataBlock) >= 3; }, 60s));
    driver.window.reset();
    EXPECT_LE(countThreads(), threadsBefore) << "the port's event thread outlived the window";

    CSerialPort port; // the port is free again
    port.configure(chip.slavePath().c_str(), 115200, ParityNone, DataBits8, StopBitsOne,
                   FlowControlNone, 4096);
    EXPECT_TRUE(port.openPort()) << port.lastErrorText();
}

class FlashRunWithRepeatedBootReady : public FlashRun
{
protected:
    FlashRunWithRepeatedBootReady() : FlashRun(ChipBehaviour::restartAtBlock(2)) {}
};

TEST_F(FlashRunWithRepeatedBootReady, StartsAgainAtTheFirstBlock)
{
    prepare(700);
    flashAndWait();
    EXPECT_EQ(chip.image(), firmware);
    EXPECT_EQ(driver.logLines().count("Memory index: 0x00000000"), 2);
}

class FlashRunWithHangUp : public FlashRun
{
protected:
    FlashRunWithHangUp() : FlashRun(ChipBehaviour::hangUpAfterBlock(2)) {}
};

TEST_F(FlashRunWithHangUp, KeepsTheWindowAliveAndThePortClosable)
{
    prepare(1000);
    const std::size_t threadsBefore = countThreads();
    driver.press("pushButtonSend");
    ASSERT_TRUE(chip.waitUntilHungUp(60s));
    // The window goes on serving events while the line is dead.
    driver.window->logMessage("still here");
    ASSERT_TRUE(processEventsUntil([&] { return driver.logLines().endsWith("still here"); }));
    driver.window.reset();
    EXPECT_LE(countThreads(), threadsBefore);
}

} // namespace
