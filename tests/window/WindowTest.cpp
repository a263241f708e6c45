// The window without a chip: status lines, Clear, the firmware choice, the
// live port list, remembered choices and the saved log.
#include "app/PortComboBox.h"
#include "serialport/SerialPortAssembly.h"
#include "serialport/posix/SysfsPortSource.h"
#include "tests/support/FakeSysfs.h"
#include "tests/support/ImageFolder.h"
#include "tests/support/PtyPair.h"
#include "tests/support/WindowDriver.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTextDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <filesystem>
#include <thread>

namespace {

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

TEST(Window, ClearEmptiesThePanesAndACancelledChoiceKeepsTheFile)
{
    WindowDriver driver;
    const ImageFolder files(1);
    const QString firmware = files.imagePath;
    driver.chooseFirmware(firmware);
    driver.window->logMessage("status line");
    driver.widget<QLabel>("label_Action").setText("changed");
    driver.press("pushButtonClear");
    EXPECT_EQ(driver.logLines(), QStringList());
    EXPECT_EQ(driver.text("label_Action"), "Action:");
    EXPECT_EQ(driver.text("labelFirmware_1"), firmware) << "Clear keeps the chosen file";
    EXPECT_TRUE(driver.widget<QPushButton>("pushButtonSend").isEnabled());

    driver.pressAndAnswer("pushButtonLoadFirmware"); // cancelled
    EXPECT_EQ(driver.text("labelFirmware_1"), firmware);
    EXPECT_TRUE(driver.widget<QPushButton>("pushButtonSend").isEnabled());

    // A pane keeps its newest 10,000 lines, however long a run goes on.
    for (int i = 0; i < 10'010; ++i)
        driver.window->logMessage("line %d", i);
    EXPECT_EQ(driver.logLines().size(), 10'000);
    EXPECT_EQ(driver.logLines().first(), "line 10");
}

// A file chosen or dropped shows its size and blocks at once, in the
// words the run's reading of it uses; its name is shown as it is.
TEST(Window, AChosenFileIsShownAtOnceAndWhatCannotBeFlashedIsRefused)
{
    WindowDriver driver;
    const ImageFolder files(1);
    const QString chosen = files.write("<i>chosen&amp;.bin", QByteArray(300, '\0'));
    driver.chooseFirmware(chosen);
    EXPECT_EQ(driver.text("label_FileSize"), "File: " + chosen + " \nSize: 300 Bytes");
    EXPECT_EQ(driver.text("label_TotalBlocks"), "Blocks to transfer: 2");
    for (const char* label : {"labelFirmware_1", "label_FileSize"})
        EXPECT_EQ(driver.widget<QLabel>(label).textFormat(), Qt::PlainText) << label;

    const QString firmware = files.write("dropped.bin", QByteArray(513, '\0'));
    drop(*driver.window, firmware);
    EXPECT_EQ(driver.text("labelFirmware_1"), firmware);
    EXPECT_EQ(driver.text("label_FileSize"), "File: " + firmware + " \nSize: 513 Bytes");
    EXPECT_EQ(driver.text("label_TotalBlocks"), "Blocks to transfer: 3");

    const QString fifo = files.folder.filePath("fifo.bin");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& refused : {files.folder.path(), files.write("notes.txt", "Release notes\n"), fifo}) {
        driver.answerer.arm();
        drop(*driver.window, refused);
        EXPECT_TRUE(driver.answerer.answered()) << "a box says why";
        EXPECT_TRUE(driver.answerer.text().contains(refused));
        EXPECT_EQ(driver.text("labelFirmware_1"), firmware) << "the earlier choice stays";
        EXPECT_EQ(driver.text("label_TotalBlocks"), "Blocks to transfer: 3");
    }
}

TEST(Window, ARestartRestoresThePreviousChoices)
{
    const ImageFolder files(1);
    {
        WindowDriver driver;
        driver.typePort("/dev/ttyUSB7");
        driver.selectSetting("comboBoxBaudrate", "9600");
        driver.selectSetting("comboBoxParity", "Even");
        driver.selectSetting("comboBoxStopBit", "2");
        driver.widget<QAction>("actionPacingAcknowledged").trigger();
        driver.chooseFirmware(files.imagePath);
        driver.window->close();
    }
    MainWindow restarted(nullptr, [] { return std::vector<SerialPortInfo>(); });
    const auto shown = [&](const char* box) { return restarted.findChild<QComboBox*>(box)->currentText(); };
    EXPECT_EQ(shown("comboBoxPortName"), "/dev/ttyUSB7");
    EXPECT_EQ(shown("comboBoxBaudrate"), "9600");
    EXPECT_EQ(shown("comboBoxParity"), "Even");
    EXPECT_EQ(shown("comboBoxDataBit"), "8");
    EXPECT_EQ(shown("comboBoxStopBit"), "2");
    EXPECT_TRUE(restarted.findChild<QAction*>("actionPacingAcknowledged")->isChecked());

    ModalAnswerer answerer;
    answerer.arm();
    restarted.findChild<QPushButton*>("pushButtonLoadFirmware")->click();
    EXPECT_EQ(answerer.directory(), files.folder.path()) << "the dialog opens in the last folder";
}

// The text a tooltip shows: Qt renders one that looks like markup.
QString shownAsToolTip(const QString& tip)
{
    if (!Qt::mightBeRichText(tip))
        return tip;
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

// A fake sysfs tree gains and loses USB adapters while the window is open.
TEST(Window, ThePortListFollowsAdaptersButNeverMovesTheChoice)
{
    FakeSysfs sysfs;
    const auto plugIn = [&](const char* tty, const char* device, const char* idVendor, const char* product) {
        return sysfs.tty(tty, sysfs.device(std::string("devices/usb1/") + device,
                                           {std::string("idVendor=") + idVendor, "idProduct=7523", std::string("product=") + product})
                                  / "if");
    };
    const std::filesystem::path chosenTty = plugIn("ttyUSB1", "1-1", "1a86", "USB Serial");
    WindowDriver driver([root = sysfs.root] { return assembleSerialPorts(readSysfsPorts(root)); });
    auto& box = driver.widget<QComboBox>("comboBoxPortName");
    auto& notListed = driver.widget<QAction>("actionPortNotListed");
    ASSERT_EQ(box.count(), 1);

    // An adapter unknown to the table is named by its own product string,
    // which is the device's to choose: it is shown, never interpreted.
    const char* markup = "<b>Bold</b> <img src=\"x\"> &amp;";
    plugIn("ttyUSB0", "1-2", "f055", markup);
    ASSERT_TRUE(processEventsUntil([&] { return box.count() == 2; }));
    EXPECT_EQ(box.itemText(0), "ttyUSB0") << "in natural order";
    EXPECT_EQ(box.currentText(), "ttyUSB1") << "the choice stays";
    EXPECT_EQ(shownAsToolTip(box.itemData(0, Qt::ToolTipRole).toString()), QString(markup) + "\nf055:7523");
    EXPECT_EQ(shownAsToolTip(box.itemData(1, Qt::ToolTipRole).toString()), "QinHeng CH340 serial converter\n1a86:7523");
    EXPECT_FALSE(notListed.isVisible());

    // The chosen adapter goes: its name stays chosen, marked, and nothing
    // else is chosen in its place; it is selected again when it returns.
    std::filesystem::remove(sysfs.root / "class/tty/ttyUSB1");
    emit driver.widget<PortComboBox>("comboBoxPortName").popupAboutToShow();
    ASSERT_EQ(box.count(), 1);
    EXPECT_EQ(box.itemText(0), "ttyUSB0");
    EXPECT_EQ(box.currentText(), "ttyUSB1");
    EXPECT_TRUE(notListed.isVisible());
    EXPECT_TRUE(shownAsToolTip(notListed.toolTip()).startsWith("ttyUSB1 is not listed by the system now"));
    sysfs.link("class/tty/ttyUSB1", chosenTty);
    emit driver.widget<PortComboBox>("comboBoxPortName").popupAboutToShow();
    ASSERT_EQ(box.count(), 2);
    EXPECT_EQ(box.currentIndex(), 1);
    EXPECT_EQ(box.currentText(), "ttyUSB1");
    EXPECT_FALSE(notListed.isVisible());
}

// Save Log opens in Documents, then in the folder saved to last, also after a
// restart; it proposes a name with the port and the time, adds .log and says
// in the status bar where the log went.
TEST(Window, SaveLogProposesANameAndWritesAHeaderAndBothPanes)
{
    QTemporaryDir home;
    const QByteArray realHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    ASSERT_TRUE(QDir(home.path()).mkdir("Documents"));
    const QString documents = home.filePath("Documents");
    {
        PtyPair pty;
        WindowDriver driver;
        driver.typePort(QString::fromStdString(pty.slavePath()));
        driver.press("pushButtonOpen");
        driver.window->logMessage("a status line");
        emit driver.window->emitUpdateReceive("ACK (32)");
        ASSERT_TRUE(processEventsUntil([&] { return !driver.receiveLines().isEmpty(); }));
        driver.answerer.armToTypeFileName("first-board");
        driver.widget<QAction>("actionSaveLog").trigger();
        EXPECT_EQ(driver.answerer.directory(), documents);
        const QString pts = QString::fromStdString(pty.slavePath()).mid(5).replace('/', '-');
        EXPECT_TRUE(QRegularExpression("/orvanne-" + pts + "-20\\d{6}-\\d{4}\\.log$").match(driver.answerer.proposedFile()).hasMatch())
            << driver.answerer.proposedFile();
        EXPECT_EQ(driver.window->statusBar()->currentMessage(), "Log saved to " + documents + "/first-board.log");
        driver.window->close();
    }
    qputenv("HOME", realHome);

    QFile file(documents + "/first-board.log");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith("Orvanne Flasher 1.0 for RQ51x, log saved ")) << text;
    EXPECT_TRUE(text.contains("\n== Send ==\nPort open ready to flash RQ51x...\nAdapter: not described by the system\n"
                              "a status line\n\n== Receive ==\nACK (32)\n")) << text;

    MainWindow restarted(nullptr, [] { return std::vector<SerialPortInfo>(); });
    ModalAnswerer answerer;
    answerer.arm();
    restarted.findChild<QAction*>("actionSaveLog")->trigger();
    EXPECT_EQ(answerer.directory(), documents) << "the dialog opens where the last log went";
    EXPECT_TRUE(answerer.proposedFile().contains(QRegularExpression("/orvanne-20\\d{6}-\\d{4}\\.log$"))) << "no port was opened";
}

// Nothing but a regular file is replaced, and a full disk is reported with
// the earlier file left whole.
TEST(Window, SaveLogReportsEveryFailureAndReplacesOnlyRegularFiles)
{
    WindowDriver driver;
    for (int i = 0; i < 2000; ++i)
        driver.window->logMessage("a line long enough to fill the file quickly: %d", i);
    const ImageFolder files(1);

    const QString fifo = files.folder.filePath("fifo.log");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    driver.answerer.arm();
    driver.window->saveLog(fifo);
    EXPECT_EQ(driver.answerer.text(), "The log could not be saved: " + fifo + " is not a regular file; a log is saved only as one");
    EXPECT_EQ(driver.answerer.icon(), QMessageBox::Warning);
    struct stat status{};
    ASSERT_EQ(stat(QFile::encodeName(fifo).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));

    // A file-size limit fails writes as a full disk does.
    const QString earlier = files.write("earlier.log", "the earlier log");
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit unlimited = limit;
    limit.rlim_cur = 16 * 1024;
    const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    driver.answerer.arm();
    driver.window->saveLog(earlier);
    setrlimit(RLIMIT_FSIZE, &unlimited);
    signal(SIGXFSZ, previousHandler);
    EXPECT_TRUE(driver.answerer.text().startsWith("The log could not be saved: ")) << driver.answerer.text();
    QFile kept(earlier);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "the earlier log");
    EXPECT_EQ(QDir(files.folder.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 3) << "no partial file left";
    EXPECT_TRUE(driver.window->statusBar()->currentMessage().isEmpty());
}
