// flash_run: flashes a 64-block image through the real window and serial
// library into the chip simulator on a pty, and prints how the run's time
// compares with the pauses the protocol mandates, and how fast each
// acknowledgement is answered with the next block.
#include "bench/Statistics.h"
#include "simulator/ChipSimulator.h"
#include "tests/support/WindowDriver.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBlocks = 64;

// The pauses that follow each write of a 64-block run: the boot-mode request,
// block 1 (1000 before, 100 after), blocks 2 to 63, the last block, the end of
// transfer and the exit from boot mode.
constexpr double kMandatedPausesMs = 5 + 1000 + 100 + (kBlocks - 2) * 300 + 5 + 5 + 5;

// The pause the program keeps after writing a block: the first waits 100 ms,
// the others 300 ms.
std::chrono::milliseconds pauseAfterBlock(std::uint16_t block)
{
    return std::chrono::milliseconds(block == 1 ? 100 : 300);
}

struct AnswerTimes
{
    std::vector<double> acknowledgementToFrameUs; // the raw gap on the line
    std::vector<double> beyondMandatedUs;         // what the program added to it
};

// For each block after the first: from the acknowledgement's last byte to the
// next block's first byte. The chip acknowledges at once, so its reply waits
// out the pause that follows every block; the program's own share is the time
// past the later of the acknowledgement and the end of that pause.
AnswerTimes answerTimes(const ChipRecord& record)
{
    AnswerTimes times;
    const ChipEvent* previousBlock = nullptr;
    const ChipEvent* acknowledgement = nullptr;
    for (const ChipEvent& event : record.events) {
        if (event.message == ChipMessage::BlockWritten)
            acknowledgement = &event;
        if (event.message != ChipMessage::DataBlock)
            continue;
        if (previousBlock != nullptr && acknowledgement != nullptr) {
            const auto ready = std::max(acknowledgement->time,
                                        previousBlock->time + pauseAfterBlock(previousBlock->block));
            times.acknowledgementToFrameUs.push_back(
                std::chrono::duration<double, std::micro>(event.time - acknowledgement->time).count());
            times.beyondMandatedUs.push_back(
                std::chrono::duration<double, std::micro>(event.time - ready).count());
        }
        previousBlock = &event;
        acknowledgement = nullptr;
    }
    return times;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    QTemporaryDir folder;
    const QString firmwarePath = folder.filePath("firmware.bin");
    QFile firmware(firmwarePath);
    if (!firmware.open(QIODevice::WriteOnly))
        return 1;
    firmware.write(QByteArray(kBlocks * 256, '\x00'));
    firmware.close();

    ChipSimulator chip;
    WindowDriver driver;
    driver.typePort(QString::fromStdString(chip.slavePath()));
    driver.press("pushButtonOpen");
    driver.chooseFirmware(firmwarePath);

    const auto started = Clock::now();
    driver.press("pushButtonSend");
    const QString ending = driver.waitForRunEnd();
    if (ending != "Flashing completed.") {
        std::fprintf(stderr, "the run did not complete: %s %s\n", qPrintable(ending), chip.protocolError().c_str());
        return 1;
    }
    const double totalMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();

    const ChipRecord record = chip.record();
    if (record.image != std::vector<std::uint8_t>(kBlocks * 256, 0x00)) {
        std::fprintf(stderr, "the chip received a different image\n");
        return 1;
    }
    const AnswerTimes times = answerTimes(record);
    std::printf("flash_run: %d blocks through the window and serial library on a pty\n", kBlocks);
    std::printf("  total time            %9.1f ms\n", totalMs);
    std::printf("  mandated pauses       %9.1f ms (a pty has no wire time)\n", kMandatedPausesMs);
    std::printf("  ratio                 %9.4f    target: within 0.2 %% (<= 1.002)\n",
                totalMs / kMandatedPausesMs);
    std::printf("  ack -> next frame     median %9.1f us, 99th percentile %9.1f us over %zu blocks\n",
                percentile(times.acknowledgementToFrameUs, 0.5),
                percentile(times.acknowledgementToFrameUs, 0.99), times.acknowledgementToFrameUs.size());
    std::printf("    of which the pause after each block, which the acknowledgement waits out\n");
    std::printf("    beyond that pause   median %9.1f us, 99th percentile %9.1f us\n",
                percentile(times.beyondMandatedUs, 0.5), percentile(times.beyondMandatedUs, 0.99));
    std::printf("                        targets: median < 1000 us, 99th percentile < 5000 us\n");
    return 0;
}
