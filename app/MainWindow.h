#pragma once

#include <QMainWindow>
#include <QString>

#include <memory>

QT_BEGIN_NAMESPACE
namespace Ui {
class MainWindow;
}
QT_END_NAMESPACE
using MainWindowForm = Ui::MainWindow;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Appends a status line to the log pane. Any thread may call it: off the
    // GUI thread the append is posted there, in call order, without waiting.
    void logMessage(const char* format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(2, 3);

signals:
    void emitUpdateReceive(QString str);

private slots:
    void onReadEvent(const char* portName, unsigned int readBufferLen);
    void OnUpdateReceive(QString str);
    void on_pushButtonOpen_clicked();
    void on_pushButtonSend_clicked();
    void on_pushButtonClear_clicked();
    void on_pushButtonLoadFirmware_clicked();
    void on_pushButtonReset_clicked();
    void on_actionAbout_triggered();
    void on_actionAbout_Qt_triggered();

private:
    void appendLogLine(const QString& line);

    std::unique_ptr<MainWindowForm> form;
    QString selectedFirmwarePath;
};
