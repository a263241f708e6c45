#include "app/MainWindow.h"

#include "app/LogExport.h"
#include "app/PortComboBox.h"
#include "app/RememberedChoices.h"
#include "app/RunStatus.h"
#include "app/SequenceHostOnWindow.h"
#include "flash/StatusLine.h"
#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QTextCursor>
#include <QThread>

#include <cstdarg>

namespace {

// The receive buffer the window asks the port for.
constexpr unsigned int kReceiveBufferBytes = 4096;
// Each pane keeps its newest lines only, so that no run, however long or
// noisy, grows the program without bound.
constexpr int kPaneLineLimit = 10000;
constexpr int kRunStatusIntervalMs = 1000;

void selectText(QComboBox& box, const QString& text)
{
    const int index = box.findText(text);
    if (index >= 0)
        box.setCurrentIndex(index);
}

} // namespace

MainWindow::MainWindow(QWidget* parent, PortList::Source portSource)
    : QMainWindow(parent)
    , form(std::make_unique<MainWindowForm>())
    , sequenceHost(std::make_unique<SequenceHostOnWindow>(*this))
    , sequence(std::make_unique<FlashSequence>(*sequenceHost))
{
    form->setupUi(this);

    // Queued even when emitted on the GUI thread: the receive pane is always
    // updated from the event loop, in emission order.
    connect(this, &MainWindow::emitUpdateReceive, this, &MainWindow::OnUpdateReceive,
            Qt::QueuedConnection);

    form->pushButtonOpen->setText(tr("Open Port"));
    setWindowTitle(QStringLiteral("Orvanne Flasher 1.0 for RQ51x"));
    portList = new PortList(*form->comboBoxPortName, std::move(portSource), this);
    serialPort.attachListener(this);
    form->comboBoxBaudrate->setCurrentText(QStringLiteral("115200"));
    form->comboBoxDataBit->setCurrentText(QStringLiteral("8"));

    for (QPlainTextEdit* pane : {form->plainTextEditSend, form->plainTextEditReceive}) {
        pane->setStyleSheet(
            QStringLiteral("QPlainTextEdit {background-color: darkgrey; color: white;}"));
        pane->setBackgroundVisible(false);
        pane->setMaximumBlockCount(kPaneLineLimit);
    }

    runStatus = std::make_unique<RunStatus>(*form->statusBar);
    connect(&runStatusTick, &QTimer::timeout, this, &MainWindow::showRunProgress);
    setAcceptDrops(true);
    restoreChoices();
}

MainWindow::~MainWindow()
{
    // The run's pauses end with it, so closing the port does not wait for them.
    sequence->cancel();
    serialPort.closePort();
    // The sequence's timer may be reporting to the widgets; it stops here.
    sequence.reset();
    form.reset();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    sequence->cancel();
    rememberChoices();
    event->accept();
}

void MainWindow::restoreChoices()
{
    const RememberedChoices choices = RememberedChoices::load();
    if (!choices.port.isEmpty())
        form->comboBoxPortName->setCurrentText(choices.port);
    selectText(*form->comboBoxBaudrate, choices.baudRate);
    selectText(*form->comboBoxParity, choices.parity);
    selectText(*form->comboBoxDataBit, choices.dataBits);
    selectText(*form->comboBoxStopBit, choices.stopBits);
    firmwareFolder = choices.firmwareFolder;
    if (!choices.geometry.isEmpty())
        restoreGeometry(choices.geometry);
}

void MainWindow::showDemo(const QString& port, const QString& firmwarePath)
{
    demo = true;
    setWindowTitle(windowTitle() + QStringLiteral(" (demo)"));
    form->comboBoxPortName->setCurrentText(port);
    chooseFirmware(firmwarePath);
}

void MainWindow::rememberChoices() const
{
    if (demo)
        return;
    RememberedChoices{form->comboBoxPortName->currentText(), form->comboBoxBaudrate->currentText(),
                      form->comboBoxParity->currentText(),   form->comboBoxDataBit->currentText(),
                      form->comboBoxStopBit->currentText(),  firmwareFolder,
                      saveGeometry()}
        .save();
}

void MainWindow::logMessage(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const QString line = formatStatusLineV(format, arguments);
    va_end(arguments);
    appendLogLine(line);
}

void MainWindow::appendLogLine(const QString& line)
{
    runOnGuiThread([this, line] { form->plainTextEditSend->appendPlainText(line); });
}

void MainWindow::runOnGuiThread(std::function<void()> effect)
{
    if (QThread::currentThread() == thread())
        effect();
    else
        QMetaObject::invokeMethod(this, std::move(effect), Qt::QueuedConnection);
}

void MainWindow::on_pushButtonOpen_clicked()
{
    // The caption is the panel's state: "Open Port" while the port is closed.
    if (form->pushButtonOpen->text() != tr("Open Port"))
        closePort();
    else
        openPort();
}

void MainWindow::openPort()
{
    const QString portName = form->comboBoxPortName->currentText();
    if (portName.isEmpty()) {
        QMessageBox::information(this, tr("Information"), tr("No avaiable ports"),
                                 QMessageBox::Ok, QMessageBox::NoButton);
        qDebug("No avaiable ports");
        return;
    }

    // Parity and stop bits are passed by position: the items stand in the
    // order of their setting values.
    serialPort.configure(portName.toUtf8().constData(), form->comboBoxBaudrate->currentText().toInt(),
                         static_cast<SerialParity>(form->comboBoxParity->currentIndex()),
                         static_cast<SerialDataBits>(form->comboBoxDataBit->currentText().toInt()),
                         static_cast<SerialStopBits>(form->comboBoxStopBit->currentIndex()),
                         FlowControlNone, kReceiveBufferBytes);
    serialPort.setNotifyDelay(0);
    if (serialPort.openPort()) {
        logMessage("Port open ready to flash RQ51x...");
        const QString adapter = portList->adapterOf(portName);
        appendLogLine(QStringLiteral("Adapter: %1").arg(adapter.isEmpty() ? tr("not described by the system") : adapter));
        form->pushButtonOpen->setText(tr("Close Port"));
        sequence->sendPortOpenNotice();
        openedPort = portName;
        portList->setOpenPort(portName);
        rememberChoices();
        return;
    }

    const int code = serialPort.lastErrorCode();
    const QString error = tr("open port error") +
                          QStringLiteral("\n\ncode: %1\nmessage: %2")
                              .arg(code)
                              .arg(QString::fromUtf8(serialPort.lastErrorText()));
    QMessageBox::information(this, tr("Information"), error, QMessageBox::Ok, QMessageBox::NoButton);
    form->pushButtonOpen->setText(tr("Open Port"));
    logMessage("Port closed...");
#ifdef __linux__
    // What a new Linux user meets first: the device belongs to the dialout group.
    if (code == ResultAccessDenied)
        appendLogLine(tr("Access denied: another program may hold the port, or your user may not open "
                         "it; on Debian join the dialout group (sudo usermod -aG dialout $USER) and "
                         "log in again."));
#endif
    qDebug() << serialPort.lastErrorCode();
}

void MainWindow::closePort()
{
    serialPort.closePort();
    logMessage("Port closed...");
    form->pushButtonOpen->setText(tr("Open Port"));
    portList->setOpenPort(QString());
}

void MainWindow::onPortLost(const char* portName)
{
    sequence->onPortLost(portName);
    runOnGuiThread([this] {
        logMessage("Port closed...");
        form->pushButtonOpen->setText(tr("Open Port"));
        portList->setOpenPort(QString());
    });
}

bool MainWindow::refuseWhilePortClosed()
{
    if (serialPort.isPortOpen())
        return false;
    QMessageBox::information(this, tr("Information"), tr("Please open serial port first!"),
                             QMessageBox::Ok);
    qDebug().noquote() << tr("Please open serial port first");
    return true;
}

void MainWindow::on_pushButtonSend_clicked()
{
    if (refuseWhilePortClosed())
        return;
    runStatus->started(false);
    runFirmwarePath = selectedFirmwarePath;
    sequence->startFlash(selectedFirmwarePath.toLocal8Bit().constData());
}

void MainWindow::on_pushButtonReset_clicked()
{
    if (refuseWhilePortClosed())
        return;
    runStatus->started(true);
    sequence->startFactoryReset();
}

void MainWindow::on_pushButtonCancel_clicked()
{
    sequence->cancel();
}

// While a run is in progress only Cancel is enabled of the buttons that act.
void MainWindow::setRunButtons(bool running)
{
    for (QPushButton* button : {form->pushButtonSend, form->pushButtonLoadFirmware, form->pushButtonReset,
                                form->pushButtonOpen, form->pushButtonClear})
        button->setEnabled(!running);
    form->pushButtonCancel->setEnabled(running);
}

void MainWindow::showRunStarted()
{
    setRunButtons(true);
    showRunProgress();
    runStatusTick.start(kRunStatusIntervalMs);
}

void MainWindow::showBlockSent(std::uint32_t block, std::uint32_t blockCount)
{
    runStatus->blockSent(block, blockCount);
    showRunProgress();
}

// The sequence calls its host under its own lock, so the reading of the
// sequence waits for the event loop.
void MainWindow::showRunProgress()
{
    QTimer::singleShot(0, this, [this] { runStatus->tick(sequence->pausesAhead()); });
}

void MainWindow::showRunEnded(const RunResult& result)
{
    setRunButtons(false);
    runStatusTick.stop();
    const QString sha256 = result.image ? result.image->sha256Hex() : QString();
    runStatus->ended(result, sha256);
    if (result.image) {
        flashedImagePath = runFirmwarePath;
        flashedImageSha256 = sha256;
    }
}

void MainWindow::onReadEvent(const char*, unsigned int readBufferLen)
{
    sequence->onReadEvent(readBufferLen);
}

// The counters are read now, not when the text was emitted: the bar shows
// how far the run has got by the time the text is shown.
void MainWindow::OnUpdateReceive(QString str)
{
    form->plainTextEditReceive->moveCursor(QTextCursor::End);
    form->plainTextEditReceive->appendPlainText(str);
    const std::uint32_t blockCount = sequence->blockCount();
    if (blockCount == 0)
        return;
    form->progressBar->setValue(static_cast<int>(sequence->currentBlock() * 100u / blockCount));
}

void MainWindow::on_pushButtonClear_clicked()
{
    form->plainTextEditSend->clear();
    form->plainTextEditReceive->clear();
    form->progressBar->setValue(0);
    form->label_FileSize->setText(QStringLiteral("File size:"));
    form->label_TotalBlocks->setText(QStringLiteral("Total memory blocks:"));
    form->label_CurrenBlock->setText(QStringLiteral("Current memory block:"));
    form->label_Action->setText(QStringLiteral("Action:"));
    // Repaint the emptied widgets before returning.
    QCoreApplication::processEvents();
}

void MainWindow::on_pushButtonLoadFirmware_clicked()
{
    // Each press starts with no file chosen, so a cancelled dialog forgets an
    // earlier choice.
    form->labelFirmware_1->setText(QStringLiteral("No file loaded"));
    selectedFirmwarePath.clear();
    form->pushButtonSend->setEnabled(false);

    const QString chosen = QFileDialog::getOpenFileName(
        this, tr("Open Firmware Files"), firmwareFolder.isEmpty() ? QStringLiteral("/") : firmwareFolder,
        tr("Files (*.bin)"));
    if (!chosen.isEmpty())
        chooseFirmware(chosen);
}

void MainWindow::chooseFirmware(const QString& path)
{
    const QFileInfo file(path);
    const std::string notFirmware = notAFirmwareFile(QFile::encodeName(path).constData());
    if (!notFirmware.empty())
        return refuseFirmware(QString::fromLocal8Bit(notFirmware.c_str()));
    if (!file.exists())
        return refuseFirmware(tr("No such file: %1").arg(path));
    if (!file.isReadable())
        return refuseFirmware(tr("Cannot read %1: permission denied").arg(path));
    if (file.suffix().compare(QStringLiteral("bin"), Qt::CaseInsensitive) != 0)
        return refuseFirmware(tr("Not a firmware image: %1 (a *.bin file is needed)").arg(path));

    selectedFirmwarePath = path;
    firmwareFolder = file.absolutePath();
    form->labelFirmware_1->setText(selectedFirmwarePath);
    form->pushButtonSend->setEnabled(true);
    rememberChoices();
}

void MainWindow::refuseFirmware(const QString& reason)
{
    runStatus->refused(reason);
    QMessageBox::information(this, tr("Information"), reason, QMessageBox::Ok, QMessageBox::NoButton);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile() && form->pushButtonLoadFirmware->isEnabled())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile() || !form->pushButtonLoadFirmware->isEnabled())
        return;
    event->acceptProposedAction();
    chooseFirmware(urls.first().toLocalFile());
}

void MainWindow::on_actionSaveLog_triggered()
{
    const QString fileName = QFileDialog::getSaveFileName(this, tr("Save Log"), QString(),
                                                          tr("Text files (*.txt *.log)"));
    if (fileName.isEmpty())
        return;
    const LogExport log{openedPort,
                        portList->adapterOf(openedPort),
                        flashedImagePath,
                        flashedImageSha256,
                        form->plainTextEditSend->toPlainText(),
                        form->plainTextEditReceive->toPlainText()};
    QString whyNot;
    if (!log.writeTo(fileName, whyNot))
        QMessageBox::information(this, tr("Information"), tr("The log could not be saved: %1").arg(whyNot));
}

void MainWindow::on_actionAbout_triggered()
{
    QMessageBox::about(this, tr("Orvanne Flasher"),
                       tr("The <b>Flash utility for RQ51x printer controller chips. V1.0</b> "
                          "Made by the Orvanne tools team."));
}

void MainWindow::on_actionAbout_Qt_triggered()
{
    QMessageBox::aboutQt(this, QString());
}
