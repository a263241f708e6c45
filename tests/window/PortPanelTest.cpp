// The port panel with the real serial library on a pty: the settings the
// operator picks reach the tty, and every outcome is shown.
#include "tests/support/ImageFolder.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TtyLineView.h"

#include <QApplication>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

namespace {

using namespace std::chrono_literals;

class PortPanel : public testing::Test
{
protected:
    PtyPair pty;
    WindowDriver driver;
};

// From the keyboard: focus starts in the Port box, and Ctrl+O (the button's
// tooltip says so) opens and closes the port; Alt+F opens the File menu.
TEST_F(PortPanel, OpensWithTheChosenSettingsAndNotifiesTheChipOnce)
{
    driver.window->show();
    driver.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(driver.window.get()));
    auto& portBox = driver.widget<QComboBox>("comboBoxPortName");
    EXPECT_TRUE(portBox.isAncestorOf(QApplication::focusWidget()) || QApplication::focusWidget() == &portBox);
    EXPECT_TRUE(driver.widget<QPushButton>("pushButtonOpen").toolTip().endsWith("(Ctrl+O)"));
    driver.typePort(QString::fromStdString(pty.slavePath()));
    driver.selectSetting("comboBoxBaudrate", "14400");
    driver.selectSetting("comboBoxStopBit", "2");
    QTest::keyClick(driver.window.get(), Qt::Key_O, Qt::ControlModifier);

    EXPECT_TRUE(driver.portOpen());
    EXPECT_EQ(driver.logLines(),
              (QStringList{"Port open ready to flash RQ51x...", "Adapter: not described by the system"}));
    const TtyLineView line = TtyLineView::ofSlaveOf(pty.masterFd());
    EXPECT_EQ(line.baudRate, 14400u);
    EXPECT_TRUE(line.extraStopBit);
    EXPECT_TRUE(line.raw);
    EXPECT_EQ(pty.read(3, 500ms), (std::vector<std::uint8_t>{0x10, 0x05}))
        << "the port-open notice goes out exactly once";

    QTest::keyClick(driver.window.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_FALSE(driver.portOpen());
    EXPECT_EQ(driver.logLines().last(), "Port closed...");

    QTest::keyClick(driver.window.get(), Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(processEventsUntil([&] { return driver.widget<QMenu>("menuFile").isVisible(); }));
}

// After a close or a loss the Port box still names the port that was open,
// though the system lists another one and not it.
TEST_F(PortPanel, AClosedOrLostPortStaysChosen)
{
    WindowDriver listing([] {
        SerialPortInfo other{};
        std::strcpy(other.portName, "ttyS0");
        return std::vector<SerialPortInfo>{other};
    });
    const QString path = QString::fromStdString(pty.slavePath());
    listing.typePort(path);
    listing.press("pushButtonOpen");
    ASSERT_TRUE(listing.portOpen());
    listing.press("pushButtonOpen");
    ASSERT_EQ(listing.widget<QComboBox>("comboBoxPortName").currentText(), path);

    listing.press("pushButtonOpen");
    ASSERT_TRUE(listing.portOpen());
    pty.hangUp();
    ASSERT_TRUE(processEventsUntil([&] { return !listing.portOpen(); }));
    EXPECT_EQ(listing.widget<QComboBox>("comboBoxPortName").currentText(), path);
}

// A failed open shows the library's code and text, then the cause in plain
// words as a warning, and leaves the port closed and its name chosen.
TEST_F(PortPanel, AFailedOpenNamesItsCauseAndLeavesThePortClosed)
{
    const QString held = QString::fromStdString(pty.slavePath());
    WindowDriver holder;
    holder.typePort(held);
    holder.press("pushButtonOpen");
    const struct
    {
        QString port;
        QString text;
        QString cause;
    } failures[] = {
        {"", "No avaiable ports", ""},
        {"/dev/orvanne-no-such-port", "open port error\n\ncode: 12\nmessage: not exist error",
         "No such port: unplugged, or a wrong name."},
        // A new Linux user learns how to get access, in the box and in the log.
        {held, "open port error\n\ncode: 6\nmessage: access denied error",
         "Access denied: another program may hold the port, or your user may not open it. On Debian join the dialout group"},
    };
    for (const auto& failure : failures) {
        driver.typePort(failure.port);
        driver.pressAndAnswer("pushButtonOpen");
        ASSERT_TRUE(driver.answerer.answered()) << failure.text;
        EXPECT_EQ(driver.answerer.title(), "Information");
        EXPECT_EQ(driver.answerer.text(), failure.text);
        EXPECT_EQ(driver.answerer.informativeText().left(failure.cause.size()), failure.cause);
        EXPECT_EQ(driver.answerer.icon(), failure.cause.isEmpty() ? QMessageBox::Information : QMessageBox::Warning);
        EXPECT_FALSE(driver.portOpen());
        EXPECT_EQ(driver.widget<QComboBox>("comboBoxPortName").currentText(), failure.port);
    }
    EXPECT_EQ(driver.logLines().mid(0, 2), (QStringList{"Port closed...", "Port closed..."})) << "nothing for no port";
    EXPECT_TRUE(driver.logLines().last().contains("dialout"));
}

// 1.5 stop bits go with 5 data bits only: with 8 the device refuses the pair.
TEST_F(PortPanel, PassesParityAndStopBitsByPosition)
{
    driver.typePort(QString::fromStdString(pty.slavePath()));
    driver.selectSetting("comboBoxParity", "Space");
    driver.selectSetting("comboBoxStopBit", "1.5");
    driver.pressAndAnswer("pushButtonOpen");
    EXPECT_EQ(driver.answerer.text(), "open port error\n\ncode: 5\nmessage: invalid param error");

    driver.selectSetting("comboBoxDataBit", "5");
    driver.press("pushButtonOpen");
    EXPECT_TRUE(driver.portOpen());
    EXPECT_TRUE(TtyLineView::ofSlaveOf(pty.masterFd()).extraStopBit);
}

TEST_F(PortPanel, FlashAndResetAreRefusedWhileThePortIsClosed)
{
    const ImageFolder files(300);
    driver.chooseFirmware(files.imagePath);

    for (const char* action : {"pushButtonReset", "pushButtonSend"}) {
        driver.pressAndAnswer(action);
        ASSERT_TRUE(driver.answerer.answered()) << action;
        EXPECT_EQ(driver.answerer.title(), "Information");
        EXPECT_EQ(driver.answerer.text(), "Please open serial port first!");
        EXPECT_TRUE(driver.actionButtonsEnabled());
        EXPECT_EQ(driver.text("label_Action"), "Action:");
    }

    // The refused reset left no reset pending: Flash now reads the file.
    driver.typePort(QString::fromStdString(pty.slavePath()));
    driver.press("pushButtonOpen");
    driver.press("pushButtonSend");
    EXPECT_TRUE(driver.logLines().contains("Reading..."));
    EXPECT_TRUE(driver.logLines().contains("Blocks to transfer: 2"));
}

} // namespace
