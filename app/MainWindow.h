#pragma once

#include "app/PortList.h"
#include "flash/FlashSequence.h"
#include "serialport/SerialPort.h"
#include "serialport/SerialPortListener.h"

#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

QT_BEGIN_NAMESPACE
namespace Ui {
class MainWindow;
}
QT_END_NAMESPACE
using MainWindowForm = Ui::MainWindow;

class RunStatus;

// Named without its namespace, so that qt_metacast answers "CSerialPortListener".
using kavrio::CSerialPortListener;

// The program's one window. It owns the serial port and is the port's read
// listener: replies arrive on the port's event thread, where the flash
// sequence reacts to them, and reach the widgets through the GUI thread.
class MainWindow : public QMainWindow, public CSerialPortListener
{
    Q_OBJECT

public:
    // portSource lists the ports offered in the Port box; the ports present
    // on this machine unless told otherwise.
    explicit MainWindow(QWidget* parent = nullptr, PortList::Source portSource = enumerateSerialPorts);
    // Ends a run in progress and closes a port that is still open, waiting
    // for its event thread, before the widgets go.
    ~MainWindow() override;

    // Appends a status line to the log pane. Any thread may call it: off the
    // GUI thread the append is posted there, in call order, without waiting.
    void logMessage(const char* format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(2, 3);

    // Chooses the firmware file as the Load File dialog would, refusing with
    // a message box what is not a readable regular *.bin file.
    void chooseFirmware(const QString& path);

    // Demo mode: the virtual chip's port and the sample file are chosen, the
    // title says so, and nothing of the session is remembered.
    void showDemo(const QString& port, const QString& firmwarePath);

signals:
    void emitUpdateReceive(QString str);

protected:
    // Closing the window mid-run cancels the run; the choices are remembered.
    void closeEvent(QCloseEvent* event) override;
    // A *.bin file dropped on the window is chosen as if picked in the dialog.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    // Called by the serial port on its event thread.
    void onReadEvent(const char* portName, unsigned int readBufferLen) override;
    void OnUpdateReceive(QString str);
    void on_pushButtonOpen_clicked();
    void on_pushButtonSend_clicked();
    void on_pushButtonClear_clicked();
    void on_pushButtonLoadFirmware_clicked();
    void on_pushButtonReset_clicked();
    void on_actionAbout_triggered();
    void on_actionAbout_Qt_triggered();
    void on_pushButtonCancel_clicked();
    void on_actionSaveLog_triggered();

private:
    class SequenceHostOnWindow;

    // Also called on the port's event thread.
    void onPortLost(const char* portName) override;

    void openPort();
    void closePort();
    bool refuseWhilePortClosed();
    void refuseFirmware(const QString& reason);
    void appendLogLine(const QString& line);
    void restoreChoices();
    void rememberChoices() const;
    // The run's effects on the GUI thread.
    void setRunButtons(bool running);
    void showRunStarted();
    void showBlockSent(std::uint32_t block, std::uint32_t blockCount);
    void showRunProgress();
    void showRunEnded(const RunResult& result);
    // Runs at once on the GUI thread; from another thread it is posted there,
    // never waited for: the GUI thread may itself be waiting for the calling
    // thread (closing the port joins the event thread).
    void runOnGuiThread(std::function<void()> effect);

    std::unique_ptr<MainWindowForm> form;
    CSerialPort serialPort;
    QString selectedFirmwarePath;
    QString firmwareFolder;
    QString openedPort;
    bool demo = false;
    QString runFirmwarePath;
    // The image of the last flash run, for a saved log.
    QString flashedImagePath;
    QString flashedImageSha256;
    std::unique_ptr<RunStatus> runStatus;
    QTimer runStatusTick;
    PortList* portList = nullptr;
    std::unique_ptr<SequenceHostOnWindow> sequenceHost;
    std::unique_ptr<FlashSequence> sequence;
};
