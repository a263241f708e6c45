#include "app/MainWindow.h"

#include "flash/StatusLine.h"
#include "ui_MainWindow.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTextCursor>
#include <QThread>

#include <cstdarg>

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , form(std::make_unique<MainWindowForm>())
{
    form->setupUi(this);

    // Queued even when emitted on the GUI thread: the receive pane is always
    // updated from the event loop, in emission order.
    connect(this, &MainWindow::emitUpdateReceive, this, &MainWindow::OnUpdateReceive,
            Qt::QueuedConnection);

    form->pushButtonOpen->setText(tr("Open Port"));
    setWindowTitle(QStringLiteral("Orvanne Flasher 1.0 for RQ51x"));
    form->comboBoxBaudrate->setCurrentText(QStringLiteral("115200"));
    form->comboBoxDataBit->setCurrentText(QStringLiteral("8"));

    for (QPlainTextEdit* pane : {form->plainTextEditSend, form->plainTextEditReceive}) {
        pane->setStyleSheet(
            QStringLiteral("QPlainTextEdit {background-color: darkgrey; color: white;}"));
        pane->setBackgroundVisible(false);
    }
}

MainWindow::~MainWindow() = default;

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
    const auto append = [this, line] { form->plainTextEditSend->appendPlainText(line); };
    if (QThread::currentThread() == thread()) {
        append();
        return;
    }
    // Posted, never waited for: the GUI thread may itself be waiting for the
    // calling thread (closing the port joins the event thread).
    QMetaObject::invokeMethod(this, append, Qt::QueuedConnection);
}

void MainWindow::onReadEvent(const char*, unsigned int)
{
}

void MainWindow::OnUpdateReceive(QString str)
{
    form->plainTextEditReceive->moveCursor(QTextCursor::End);
    form->plainTextEditReceive->appendPlainText(str);
}

void MainWindow::on_pushButtonOpen_clicked()
{
}

void MainWindow::on_pushButtonSend_clicked()
{
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

void MainWindow::on_pushButtonReset_clicked()
{
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
