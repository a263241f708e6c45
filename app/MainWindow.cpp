#include "app/MainWindow.h"

#include "app/SequenceHostOnWindow.h"
#include "flash/StatusLine.h"
#include "serialport/SerialPortInfo.h"
#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QFileDialog>
#include <QMessageBox>
#include <QTextCursor>
#include <QThread>

#include <cstdarg>
#include <cstring>

namespace {

// The receive buffer the window asks the port for.
constexpr unsigned int kReceiveBufferBytes = 4096;
// Each pane keeps its newest lines only, so that no run, however long or
// noisy, grows the program without bound.
constexpr int kPaneLineLimit = 10000;

} // namespace

MainWindow::MainWindow(QWidget* parent)
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
    fillPortList();
    serialPort.attachListener(this);
    form->comboBoxBaudrate->setCurrentText(QStringLiteral("115200"));
    form->comboBoxDataBit->setCurrentText(QStringLiteral("8"));

    for (QPlainTextEdit* pane : {form->plainTextEditSend, form->plainTextEditReceive}) {
        pane->setStyleSheet(
            QStringLiteral("QPlainTextEdit {background-color: darkgrey; color: white;}"));
        pane->setBackgroundVisible(false);
        pane->setMaximumBlockCount(kPaneLineLimit);
    }
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
    event->accept();
}

// The ports present now; the list is not refreshed while the program runs.
void MainWindow::fillPortList()
{
    const std::vector<SerialPortInfo> ports = enumerateSerialPorts();
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const char* name = ports[i].portName;
        form->comboBoxPortName->insertItem(
            static_cast<int>(i),
            QString::fromLocal8Bit(name, static_cast<int>(strnlen(name, sizeof ports[i].portName))));
    }
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
    if (form->comboBoxPortName->count() == 0) {
        QMessageBox::information(this, tr("Information"), tr("No avaiable ports"),
                                 QMessageBox::Ok, QMessageBox::NoButton);
        qDebug("No avaiable ports");
        return;
    }

    // Parity and stop bits are passed by position: the items stand in the
    // order of their setting values.
    const QByteArray portName = form->comboBoxPortName->currentText().toUtf8();
    serialPort.configure(portName.constData(), form->comboBoxBaudrate->currentText().toInt(),
                         static_cast<SerialParity>(form->comboBoxParity->currentIndex()),
                         static_cast<SerialDataBits>(form->comboBoxDataBit->currentText().toInt()),
                         static_cast<SerialStopBits>(form->comboBoxStopBit->currentIndex()),
                         FlowControlNone, kReceiveBufferBytes);
    serialPort.setNotifyDelay(0);
    if (serialPort.openPort()) {
        logMessage("Port open ready to flash RQ51x...");
        form->pushButtonOpen->setText(tr("Close Port"));
        sequence->sendPortOpenNotice();
        return;
    }

    const QString error = tr("open port error") +
                          QStringLiteral("\n\ncode: %1\nmessage: %2")
                              .arg(serialPort.lastErrorCode())
                              .arg(QString::fromUtf8(serialPort.lastErrorText()));
    QMessageBox::information(this, tr("Information"), error, QMessageBox::Ok, QMessageBox::NoButton);
    form->pushButtonOpen->setText(tr("Open Port"));
    logMessage("Port closed...");
    qDebug() << serialPort.lastErrorCode();
}

void MainWindow::closePort()
{
    serialPort.closePort();
    logMessage("Port closed...");
    form->pushButtonOpen->setText(tr("Open Port"));
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
    sequence->startFlash(selectedFirmwarePath.toLocal8Bit().constData());
}

void MainWindow::on_pushButtonReset_clicked()
{
    if (refuseWhilePortClosed())
        return;
    sequence->startFactoryReset();
}

void MainWindow::on_pushButtonCancel_clicked()
{
    sequence->cancel();
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

    selectedFirmwarePath = QFileDialog::getOpenFileName(
        this, tr("Open Firmware Files"), QStringLiteral("/"), tr("Files (*.bin)"));
    if (selectedFirmwarePath.isEmpty())
        return;
    form->labelFirmware_1->setText(selectedFirmwarePath);
    form->pushButtonSend->setEnabled(true);
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
