// The port panel: opening and closing the port with the chosen settings.
#include "app/MainWindow.h"

#include "flash/DeviceFrames.h"
#include "ui_MainWindow.h"

#include <QDebug>
#include <QMessageBox>

void MainWindow::on_pushButtonOpen_clicked()
{
    // The caption is the panel's state: "Open Port" while the port is closed.
    if (form->pushButtonOpen->text() != tr("Open Port")) {
        serialPort.closePort();
        logMessage("Port closed...");
        form->pushButtonOpen->setText(tr("Open Port"));
        return;
    }
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
                         FlowControlNone, 4096);
    serialPort.setNotifyDelay(0);
    if (serialPort.openPort()) {
        logMessage("Port open ready to flash RQ51x...");
        form->pushButtonOpen->setText(tr("Close Port"));
        serialPort.send(PortOpenNotice.data(), static_cast<int>(PortOpenNotice.size()));
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
