// Flashing end to end: the real window and serial library against the
// product's chip simulator on pseudo-terminals. Runs that only wait (the
// mandated pauses, a reply deadline) are made side by side, one window and
// one chip each.
#include "app/DemoChip.h"
#include "simulator/ChipSimulator.h"
#include "tests/support/ImageFolder.h"
#include "tests/support/ProcessResources.h"
#include "tests/support/WindowDriver.h"

#include <QApplication>
#include <QFrame>
#include <QRegularExpression>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <deque>

namespace {

using namespace std::chrono_literals;

// An operator's bench: one window and the chip on its port.
struct Bench
{
    explicit Bench(ChipBehaviour behaviour = {}) : chip(behaviour) {}

    void openPort()
    {
        driver.typePort(QString::fromStdString(chip.slavePath()));
        driver.press("pushButtonOpen");
        EXPECT_TRUE(driver.portOpen());
    }

    // Writes an image, chooses it and opens the port.
    void prepare(int size)
    {
        files = std::make_unique<ImageFolder>(size);
        firmware.assign(files->image.begin(), files->image.end());
        driver.chooseFirmware(files->imagePath);
        openPort();
    }

    ChipSimulator chip;
    WindowDriver driver;
    std::unique_ptr<ImageFolder> files;
    std::vector<std::uint8_t> firmware;
};

// The WCAG contrast of two colours: 4.5 is what normal text needs.
double contrast(const QColor& one, const QColor& other)
{
    const auto luminance = [](const QColor& colour) {
        const auto linear = [](double channel) {
            return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
    };
    const double first = luminance(one);
    const double second = luminance(other);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// Where every widget of the form is, once the shown window has settled.
std::map<QString, QRect> formGeometry(MainWindow& window)
{
    processEventsUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); });
    QCoreApplication::processEvents();
    const QWidget* band = window.findChild<QWidget*>("frameVerdict");
    std::map<QString, QRect> places;
    for (const QWidget* widget : window.findChildren<QWidget*>())
        if (!widget->objectName().isEmpty() && widget != band && !band->isAncestorOf(widget))
            places[widget->objectName()] = widget->geometry();
    return places;
}

// Flashes on every bench at once and waits until every run has ended.
void flashAll(std::deque<Bench>& benches)
{
    for (Bench& bench : benches)
        bench.driver.press("pushButtonSend");
    for (Bench& bench : benches)
        bench.driver.waitForRunEnd();
}

} // namespace

TEST(FlashRun, AThreeBlockImageArrivesWholeWithEveryStepShown)
{
    Bench bench;
    bench.prepare(600);
    bench.driver.press("pushButtonSend");
    EXPECT_FALSE(bench.driver.actionButtonsEnabled()) << "a run disables the buttons";
    ASSERT_EQ(bench.driver.waitForRunEnd(), "Flashing completed.");

    EXPECT_EQ(bench.chip.protocolError(), "");
    EXPECT_EQ(bench.chip.image(), bench.firmware);
    EXPECT_EQ(bench.driver.logLines(),
              (QStringList{"Port open ready to flash RQ51x...", "Adapter: not described by the system", "Reading...",
                           "File: " + bench.files->imagePath + " ", "Size: 600 Bytes", "Blocks to transfer: 3",
                           "Requesting boot mode...", "Bootloader ready to receive...", "Memory index: 0x00000000",
                           "Memory index: 0x00000100", "Memory index: 0x00000200", "Last package completed...",
                           "Exiting boot mode...", "Flashing completed."}));
    ASSERT_TRUE(processEventsUntil([&] { return bench.driver.receiveLines().endsWith("ACK (35)"); }));
    EXPECT_EQ(bench.driver.receiveLines(),
              (QStringList{"ACK (32)", "ACK (33)", "Written memory block: 1", "Next memory block: 2", "ACK (33)",
                           "Written memory block: 2", "Next memory block: 3", "ACK (33)", "Written memory block: 3",
                           "ACK (34)", "ACK (35)"}));
    EXPECT_EQ(bench.driver.text("label_FileSize"), "File: " + bench.files->imagePath + " \nSize: 600 Bytes");
    EXPECT_EQ(bench.driver.text("label_TotalBlocks"), "Blocks to transfer: 3");
    EXPECT_EQ(bench.driver.text("label_CurrenBlock"), "Written memory block: 3");
    EXPECT_EQ(bench.driver.progress(), 100);
    EXPECT_TRUE(bench.driver.text("labelRunStatus").startsWith("Flashing completed in 0:0"));
    EXPECT_TRUE(bench.driver.text("labelRunStatus").contains("600 bytes · SHA-256 "));

    // Clear keeps the counters: the next text shows their progress again.
    bench.driver.press("pushButtonClear");
    EXPECT_EQ(bench.driver.progress(), 0);
    emit bench.driver.window->emitUpdateReceive(QStringLiteral("later"));
    EXPECT_TRUE(processEventsUntil([&] { return bench.driver.progress() == 100; }));
}

TEST(FlashRun, AFactoryResetRunsWithoutAFirmwareFile)
{
    Bench bench;
    bench.openPort();
    bench.driver.pressAndAnswer("pushButtonReset", QMessageBox::Yes);
    ASSERT_EQ(bench.driver.waitForRunEnd(), "Flashing completed.");
    EXPECT_EQ(bench.chip.record().count(ChipMessage::FactoryReset), 1u);
    EXPECT_EQ(bench.chip.record().count(ChipMessage::DataBlock), 0u);
    EXPECT_EQ(bench.driver.logLines(),
              (QStringList{"Port open ready to flash RQ51x...", "Adapter: not described by the system",
                           "Restoring factory settings...", "Requesting boot mode...", "Bootloader ready to receive...",
                           "Sending factory reset...", "ACK factory reset...", "Flashing completed."}));
    EXPECT_EQ(bench.driver.progress(), 0) << "no image was ever loaded";
    EXPECT_FALSE(bench.driver.widget<QPushButton>("pushButtonSend").isEnabled()) << "no file is chosen";
}

// Factory Reset and closing the window mid-run ask first; No, the default,
// leaves everything as it was.
TEST(FlashRun, IrreversibleStepsAreAskedFirst)
{
    Bench bench;
    bench.prepare(40 * 256);
    const QString port = QString::fromStdString(bench.chip.slavePath());
    bench.driver.pressAndAnswer("pushButtonReset", QMessageBox::No);
    EXPECT_EQ(bench.driver.answerer.text(), "Restore the factory settings of the chip on " + port + "?");
    EXPECT_EQ(bench.driver.answerer.defaultButton(), QMessageBox::No);
    EXPECT_TRUE(bench.driver.actionButtonsEnabled()) << "no run started";

    bench.driver.press("pushButtonSend");
    ASSERT_TRUE(bench.chip.waitUntil([](const ChipRecord& record) { return record.count(ChipMessage::DataBlock) >= 1; }, 30s));
    bench.driver.answerer.armToPress(QMessageBox::No);
    EXPECT_FALSE(bench.driver.window->close());
    EXPECT_TRUE(bench.driver.answerer.text().startsWith("A run is in progress on " + port + ". Cancel it and quit?"));
    EXPECT_EQ(bench.driver.answerer.defaultButton(), QMessageBox::No);
    EXPECT_TRUE(bench.driver.widget<QPushButton>("pushButtonCancel").isEnabled()) << "the run goes on";

    bench.driver.answerer.armToPress(QMessageBox::Yes);
    EXPECT_TRUE(bench.driver.window->close());
    EXPECT_EQ(bench.driver.waitForRunEnd(), "Run cancelled.");
}

// Acknowledged pacing, chosen before a restart, sends each block as soon as
// the one before is acknowledged: without the 300 ms pauses, with the same
// steps shown and the image whole.
TEST(FlashRun, AcknowledgedPacingChosenBeforeARestartFlashesWithoutThePauses)
{
    Bench bench;
    bench.driver.widget<QAction>("actionPacingAcknowledged").trigger();
    bench.driver.window->close();
    bench.driver.window = std::make_unique<MainWindow>(nullptr, [] { return std::vector<SerialPortInfo>(); });
    bench.prepare(20 * 256);
    bench.driver.press("pushButtonSend");
    EXPECT_TRUE(bench.driver.text("labelRunStatus").endsWith(" · acknowledged pacing"));
    ASSERT_EQ(bench.driver.waitForRunEnd(), "Flashing completed.");
    EXPECT_EQ(bench.chip.image(), bench.firmware);

    // Protocol pacing keeps at least 300 ms after each full block from the
    // second on; here most blocks follow sooner, however loaded the machine.
    std::vector<std::chrono::steady_clock::time_point> blocks;
    int sooner = 0;
    for (const ChipEvent& event : bench.chip.record().events)
        if (event.message == ChipMessage::DataBlock) {
            sooner += blocks.size() >= 2 && event.time - blocks.back() < 300ms ? 1 : 0;
            blocks.push_back(event.time);
        }
    EXPECT_GT(sooner, 9);
}

// The end of a run shows large, in green or red, with a word, readable in
// light and dark palettes, and moves no widget of the designed layout. The next run
// shows nothing of the one before: the verdict, the bar and the block label
// go, and the bar stays empty until a block of its own has gone, also through
// the pause after boot-ready; its port and line settings are locked. While
// blocks go, the status bar shows their speed.
TEST(FlashRun, ARunShowsItsVerdictLargeAndTheNextRunNothingOfIt)
{
    Bench bench;
    bench.prepare(10 * 256);
    bench.driver.window->show();
    auto& band = bench.driver.widget<QFrame>("frameVerdict");
    const std::map<QString, QRect> before = formGeometry(*bench.driver.window);
    // The tests' screen holds the designed size: nothing scrolls (small screens: ScreenFitTest.cpp).
    EXPECT_EQ(bench.driver.window->size(), QSize(750, 690));
    EXPECT_EQ(bench.driver.window->centralWidget()->objectName(), "centralWidget");
    bench.driver.press("pushButtonSend");
    EXPECT_TRUE(processEventsUntil([&] { return bench.driver.text("labelRunStatus").contains(" KiB/s · "); }));
    ASSERT_EQ(bench.driver.waitForRunEnd(), "Flashing completed.");
    EXPECT_TRUE(band.isVisible() && !bench.driver.widget<QProgressBar>("progressBar").isVisible());
    EXPECT_EQ(bench.driver.text("labelVerdictWord"), "DONE");
    EXPECT_TRUE(bench.driver.text("labelVerdictOutcome").startsWith("Flashing completed in 0:0"));
    EXPECT_TRUE(QRegularExpression("^2560 bytes · SHA-256 [0-9a-f]{8}…$").match(bench.driver.text("labelVerdictImage")).hasMatch());
    EXPECT_EQ(formGeometry(*bench.driver.window), before);
    const auto readable = [&](int hue) {
        const QColor background = band.palette().color(QPalette::Window);
        EXPECT_EQ(background.hslHue(), hue);
        EXPECT_GE(contrast(background, band.palette().color(QPalette::WindowText)), 4.5);
        return background.lightness();
    };
    const int lightBackground = readable(120);
    EXPECT_GT(lightBackground, 128) << "a light band in a light palette";
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    QApplication::setPalette(dark); // reaches the widgets from the event loop
    EXPECT_TRUE(processEventsUntil([&] { return band.palette().color(QPalette::Window).lightness() < 128; }));
    readable(120);

    bench.driver.press("pushButtonSend");
    EXPECT_FALSE(band.isVisible());
    EXPECT_EQ(bench.driver.progress(), 0);
    EXPECT_EQ(bench.driver.text("label_CurrenBlock"), "Current memory block:");
    const char* const panel[] = {"comboBoxPortName", "comboBoxBaudrate", "comboBoxParity", "comboBoxDataBit", "comboBoxStopBit"};
    for (const char* box : panel)
        EXPECT_FALSE(bench.driver.widget<QComboBox>(box).isEnabled()) << box;
    ASSERT_TRUE(processEventsUntil([&] { return bench.driver.receiveLines().count("ACK (32)") == 2; }));
    EXPECT_LT(bench.driver.progress(), 100) << "the counters of the run before are not shown";
    bench.driver.press("pushButtonCancel");
    bench.driver.waitForRunEnd();
    for (const char* box : panel)
        EXPECT_TRUE(bench.driver.widget<QComboBox>(box).isEnabled()) << box;
    EXPECT_EQ(bench.driver.text("labelVerdictWord"), "FAILED");
    EXPECT_TRUE(bench.driver.text("labelVerdictOutcome").startsWith("Run cancelled. (0:0"));
    EXPECT_FALSE(bench.driver.widget<QLabel>("labelVerdictImage").isVisible());
    readable(0);
    QApplication::setPalette(light);
}

// Cancel stops the writes at once. The slow chip answers a cancelled run's
// boot-mode request after the next run has asked again: the late answer must
// not make that run send block 1 twice.
TEST(FlashRun, CancelEndsTheRunAtOnceAndItsLateReplyDoesNotSpoilTheNextRun)
{
    Bench bench(ChipBehaviour::slowReplies(300ms));
    bench.prepare(700);
    const auto cancelOnceSeen = [&](ChipMessage message, std::size_t count) {
        ASSERT_TRUE(bench.chip.waitUntil([&](const ChipRecord& record) { return record.count(message) == count; }, 30s));
        bench.driver.press("pushButtonCancel");
        EXPECT_EQ(bench.driver.waitForRunEnd(), "Run cancelled.");
    };
    bench.driver.press("pushButtonSend");
    cancelOnceSeen(ChipMessage::DataBlock, 2);
    // The chip may still acknowledge the block in flight: that reply is logged as ignored after it.
    EXPECT_TRUE(bench.driver.logLines().contains("Run cancelled."));
    EXPECT_FALSE(bench.chip.waitUntil([](const ChipRecord& record) { return record.count(ChipMessage::DataBlock) > 2; }, 500ms))
        << "nothing more is written after Cancel";

    bench.driver.press("pushButtonSend");
    cancelOnceSeen(ChipMessage::BootModeRequest, 2);
    bench.driver.press("pushButtonSend");
    ASSERT_EQ(bench.driver.waitForRunEnd(), "Flashing completed.");
    EXPECT_EQ(bench.chip.image(), bench.firmware);
}

TEST(FlashRun, ClosingTheWindowMidRunFreesThePort)
{
    Bench bench;
    bench.prepare(40 * 256);
    const std::size_t threadsBefore = countThreads();
    bench.driver.press("pushButtonSend");
    ASSERT_TRUE(bench.chip.waitUntil([](const ChipRecord& record) { return record.count(ChipMessage::DataBlock) >= 2; }, 30s));
    bench.driver.window.reset();
    EXPECT_LE(countThreads(), threadsBefore) << "the port's event thread outlived the window";

    CSerialPort port;
    port.configure(bench.chip.slavePath().c_str(), 115200, ParityNone, DataBits8, StopBitsOne, FlowControlNone, 4096);
    EXPECT_TRUE(port.openPort()) << port.lastErrorText();
}

// Every fault of the chip ends its run: in success only when the whole image
// was acknowledged, otherwise with the reason, the buttons back and the port
// still open.
TEST(FlashRun, FaultyChipsEndTheirRunsAndOnlyWholeRunsSucceed)
{
    std::deque<Bench> benches;
    benches.emplace_back(ChipBehaviour::silent());
    benches.emplace_back(ChipBehaviour::wrongReplyAtBlock(2));
    benches.emplace_back(ChipBehaviour::restartAtBlock(2));
    benches.emplace_back(ChipBehaviour::bootBanner("Boot-loader ver 2.5!\r\n"));
    benches.emplace_back(ChipBehaviour::noise(7));
    benches.emplace_back(ChipBehaviour::slowReplies(300ms));
    for (std::size_t splitAt = 1; splitAt <= 5; ++splitAt)
        benches.emplace_back(ChipBehaviour::splitReplies(splitAt, 5ms));
    // Through replies split anywhere, images of one, two and three blocks too.
    const int sizes[] = {1, 257, 767};
    for (std::size_t i = 0; i < benches.size(); ++i)
        benches[i].prepare(i < 6 ? 700 : sizes[i % 3]);
    flashAll(benches);

    EXPECT_EQ(benches[0].driver.text("label_Action"), "No answer from the chip to the boot-mode request");
    EXPECT_EQ(benches[1].driver.text("label_Action"), "No answer from the chip after block 2 of 3");
    EXPECT_TRUE(benches[1].driver.logLines().contains("Ignored reply 35: waiting for the answer after block 2 of 3"));
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(benches[i].driver.portOpen()) << "a chip that does not answer leaves the port open";
        EXPECT_TRUE(benches[i].driver.text("labelRunStatus").startsWith("No answer from the chip"));
    }
    for (std::size_t i = 2; i < benches.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(benches[i].driver.text("label_Action"), "Flashing completed.");
        EXPECT_EQ(benches[i].chip.image(), benches[i].firmware);
        EXPECT_EQ(benches[i].chip.protocolError(), "");
    }
    EXPECT_EQ(benches[2].driver.logLines().count("Memory index: 0x00000000"), 2) << "a restart sends the image again";
    EXPECT_TRUE(benches[3].driver.receiveLines().contains("B-a  2.5")) << "the banner is shown";
}

TEST(FlashRun, ALostPortEndsTheRunAndAFreshChipFlashesInTheSameWindow)
{
    Bench bench(ChipBehaviour::hangUpAfterBlock(2));
    bench.prepare(700);
    bench.driver.press("pushButtonSend");
    const QString portLost = "Port lost: " + QString::fromStdString(bench.chip.slavePath());
    EXPECT_EQ(bench.driver.waitForRunEnd(), portLost);
    EXPECT_TRUE(processEventsUntil([&] { return bench.driver.logLines().endsWith("Port closed..."); }));
    EXPECT_FALSE(bench.driver.portOpen());

    ChipSimulator freshChip;
    bench.driver.typePort(QString::fromStdString(freshChip.slavePath()));
    bench.driver.press("pushButtonOpen");
    bench.driver.press("pushButtonSend");
    ASSERT_EQ(bench.driver.waitForRunEnd(), "Flashing completed.");
    EXPECT_EQ(freshChip.image(), bench.firmware);
}

TEST(FlashRun, TheDemoFlashesWithoutHardware)
{
    QString whyNot;
    const std::unique_ptr<DemoChip> demo = DemoChip::start(whyNot);
    ASSERT_TRUE(demo) << whyNot;
    WindowDriver driver(demo->portSource());
    driver.window->showDemo(demo->portName(), demo->firmwarePath());
    EXPECT_TRUE(driver.window->windowTitle().endsWith(" (demo)"));
    driver.press("pushButtonOpen");
    driver.press("pushButtonSend");
    EXPECT_EQ(driver.waitForRunEnd(), "Flashing completed.");
    EXPECT_EQ(driver.progress(), 100);
}
