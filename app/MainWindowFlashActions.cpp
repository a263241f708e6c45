// Flash and Factory Reset, and the replies that drive their runs.
#include "app/MainWindow.h"

#include <QDebug>
#include <QMessageBox>

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
    sequence.startFlash(selectedFirmwarePath.toLocal8Bit().constData());
}

void MainWindow::on_pushButtonReset_clicked()
{
    if (refuseWhilePortClosed())
        return;
    sequence.startFactoryReset();
}

void MainWindow::onReadEvent(const char*, unsigned int readBufferLen)
{
    sequence.onReadEvent(readBufferLen);
}
