// The window without a chip: status lines, Clear, the firmware choice, the
// live port list, remembered choices and the saved log.
#include "serialport/SerialPortAssembly.h"
#include "serialport/posix/SysfsPortSource.h"
#include "tests/support/WindowDriver.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace {

QString writeFile(const QTemporaryDir& folder, const char* name, const QByteArray& bytes = "\x01")
{
    QFile file(folder.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return file.fileName();
}

void drop(MainWindow& window, const QString& path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &dropped);
}

} // namespace

TEST(Window, LogMessageCutsAt255BytesAndPostsFromOtherThreadsInOrderWithoutWaiting)
{
    WindowDriver driver;
    driver.window->logMessage("%s\u00e9", std::string(254, 'y').c_str()); // the 255th byte starts a character
    EXPECT_EQ(driver.logLines(), QStringList{QString(254, 'y') + QChar::ReplacementCharacter});

    // The GUI thread runs no events while it joins: a writer that waited for
    // the append would never return here.
    std::thread worker([&] {
        for (int i = 0; i < 300; ++i)
            driver.window->logMessage("line %d", i);
    });
    worker.join();
    ASSERT_EQ(driver.logLines().size(), 1);
    ASSERT_TRUE(processEventsUntil([&] { return driver.logLines().size() == 301; }));
    EXPECT_EQ(driver.logLines()[300], "line 299");
    EXPECT_EQ(driver.logLines()[1], "line 0");
}

TEST(Window, ClearEmptiesThePanesAndACancelledChoiceForgetsTheFile)
{
    WindowDriver driver;
    QTemporaryDir folder;
    const QString firmware = writeFile(folder, "image.bin");
    driver.chooseFirmware(firmware);
    driver.window->logMessage("status line");
    driver.widget<QLabel>("label_Action").setText("changed");
    driver.press("pushButtonClear");
    EXPECT_EQ(driver.logLines(), QStringList());
    EXPECT_EQ(driver.text("label_Action"), "Action:");
    EXPECT_EQ(driver.text("labelFirmware_1"), firmware) << "Clear keeps the chosen file";
    EXPECT_TRUE(driver.widget<QPushButton>("pushButtonSend").isEnabled());

    driver.pressAndAnswer("pushButtonLoadFirmware"); // cancelled
    EXPECT_EQ(driver.text("labelFirmware_1"), "No file loaded");
    EXPECT_FALSE(driver.widget<QPushButton>("pushButtonSend").isEnabled());

    // A pane keeps its newest 10,000 lines, however long a run goes on.
    for (int i = 0; i < 10'010; ++i)
        driver.window->logMessage("line %d", i);
    EXPECT_EQ(driver.logLines().size(), 10'000);
    EXPECT_EQ(driver.logLines().first(), "line 10");
}

TEST(Window, ADroppedFileIsChosenAndWhatCannotBeFlashedIsRefused)
{
    WindowDriver driver;
    QTemporaryDir folder;
    const QString firmware = writeFile(folder, "dropped.bin");
    drop(*driver.window, firmware);
    EXPECT_EQ(driver.text("labelFirmware_1"), firmware);

    const QString fifo = folder.filePath("fifo.bin");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& refused : {folder.path(), writeFile(folder, "notes.txt"), fifo}) {
        driver.answerer.arm();
        drop(*driver.window, refused);
        EXPECT_TRUE(driver.answerer.answered()) << "a box says why";
        EXPECT_TRUE(driver.answerer.text().contains(refused));
        EXPECT_EQ(driver.text("labelFirmware_1"), firmware) << "the earlier choice stays";
    }
}

TEST(Window, ARestartRestoresThePreviousChoices)
{
    QTemporaryDir folder;
    {
        WindowDriver driver;
        driver.typePort("/dev/ttyUSB7");
        driver.selectSetting("comboBoxBaudrate", "9600");
        driver.selectSetting("comboBoxParity", "Even");
        driver.selectSetting("comboBoxStopBit", "2");
        driver.chooseFirmware(writeFile(folder, "image.bin"));
        driver.window->close();
    }
    MainWindow restarted(nullptr, [] { return std::vector<SerialPortInfo>(); });
    const auto shown = [&](const char* box) { return restarted.findChild<QComboBox*>(box)->currentText(); };
    EXPECT_EQ(shown("comboBoxPortName"), "/dev/ttyUSB7");
    EXPECT_EQ(shown("comboBoxBaudrate"), "9600");
    EXPECT_EQ(shown("comboBoxParity"), "Even");
    EXPECT_EQ(shown("comboBoxDataBit"), "8");
    EXPECT_EQ(shown("comboBoxStopBit"), "2");

    ModalAnswerer answerer;
    answerer.arm();
    restarted.findChild<QPushButton*>("pushButtonLoadFirmware")->click();
    EXPECT_EQ(answerer.directory(), folder.path()) << "the dialog opens in the last folder";
}

// A fake sysfs tree gains a USB adapter while the window is open.
TEST(Window, APortPluggedInLaterIsListedWithItsAdapterAndGoesWhenUnplugged)
{
    QTemporaryDir root;
    const std::filesystem::path sys = root.path().toStdString();
    const auto plugIn = [&](const char* tty) {
        const std::filesystem::path usb = sys / "devices/usb1/1-1";
        std::filesystem::create_directories(usb / "1-1:1.0" / tty);
        for (const auto& [name, value] : {std::pair{"idVendor", "1a86"}, {"idProduct", "7523"}, {"product", "USB Serial"}})
            std::ofstream(usb / name) << value << '\n';
        std::filesystem::create_directories(sys / "class/tty" / tty);
        std::filesystem::create_directory_symlink(usb / "1-1:1.0" / tty, sys / "class/tty" / tty / "device");
    };
    plugIn("ttyUSB1");
    WindowDriver driver([sys] { return assembleSerialPorts(readSysfsPorts(sys)); });
    auto& box = driver.widget<QComboBox>("comboBoxPortName");
    ASSERT_EQ(box.count(), 1);

    plugIn("ttyUSB0");
    ASSERT_TRUE(processEventsUntil([&] { return box.count() == 2; }));
    EXPECT_EQ(box.itemText(0), "ttyUSB0") << "in natural order";
    EXPECT_EQ(box.currentText(), "ttyUSB1") << "the choice stays";
    EXPECT_EQ(box.itemData(0, Qt::ToolTipRole).toString(), "QinHeng CH340 serial converter\n1a86:7523");

    std::filesystem::remove_all(sys / "class/tty/ttyUSB1");
    ASSERT_TRUE(processEventsUntil([&] { return box.count() == 1; }));
    EXPECT_EQ(box.itemText(0), "ttyUSB0");
}

TEST(Window, SaveLogWritesAHeaderAndBothPanes)
{
    WindowDriver driver;
    driver.window->logMessage("a status line");
    emit driver.window->emitUpdateReceive("ACK (32)");
    ASSERT_TRUE(processEventsUntil([&] { return !driver.receiveLines().isEmpty(); }));
    QTemporaryDir folder;
    const QString saved = folder.filePath("session.log");
    driver.answerer.armToChooseFile(saved);
    driver.widget<QAction>("actionSaveLog").trigger();

    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith("Orvanne Flasher 1.0 for RQ51x, log saved ")) << text;
    EXPECT_TRUE(text.contains("\n== Send ==\na status line\n\n== Receive ==\nACK (32)\n")) << text;
}
