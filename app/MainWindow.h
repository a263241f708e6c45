#pragma once

#include "app/PaneFeed.h"
#include "app/PortList.h"
#include "session/BoardSession.h"

#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <memory>

QT_BEGIN_NAMESPACE
namespace Ui {
class MainWindow;
}
QT_END_NAMESPACE
using MainWindowForm = Ui::MainWindow;

class JobPanel;
class PacingMenu;
class RunRecorder;
class RunStatus;
class ScreenFit;
class VerdictBand;
struct RunVerdict;

// The program's one window: the operator's half of one board session. The
// session owns the serial port and the runs; the window turns the operator's
// presses into its actions and shows what it reports.
//
// Widget names that do not say what they are (fixed by the form):
//   pushButtonSend         the Flash button
//   pushButtonOpen         Open Port / Close Port
//   pushButtonReset        Factory Reset
//   pushButtonLoadFirmware Load File
//   plainTextEditSend      the log pane, titled "Send": the program's status lines
//   plainTextEditReceive   the receive pane: what the chip answered, and the progress lines
//   labelFirmware_1        the chosen firmware file's path
//   label_CurrenBlock      the block last acknowledged (the name's spelling is the form's)
//   labelRunStatus         the status bar's account of a run
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // portSource lists the ports offered in the Port box; the ports present
    // on this machine unless told otherwise.
    explicit MainWindow(QWidget* parent = nullptr, PortList::Source portSource = enumerateSerialPorts);
    // Ends a run in progress and closes a port that is still open, waiting
    // for every thread that reports, before the widgets go.
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

    // Opens the job file as File › Open Job… does once it is chosen: a box
    // says why when it cannot be used, and nothing changes then.
    void openJob(const QString& path);

    // Saves the log into fileName as Save Log does once the file is chosen:
    // a box says why when it cannot, the status bar where it went when it can.
    void saveLog(const QString& fileName);

signals:
    // Shows str in the receive pane, from the event loop; a null str stands
    // for the lines the session has reported since the last update.
    void emitUpdateReceive(QString str);

protected:
    // Closing the window mid-run asks first, then cancels the run; the
    // choices are remembered.
    void closeEvent(QCloseEvent* event) override;
    // A *.bin file dropped on the window is chosen as if picked in the dialog.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
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
    void addPortShortcut();
    void connectSession();
    void openPort();
    void closePort();
    void showPortClosed();
    bool refuseWhilePortClosed();
    void refuseFirmware(const QString& reason);
    void appendLogLine(const QString& line);
    void showGatheredLogLines();
    void showLabel(InfoLabel label, const QString& text);
    void restoreChoices();
    DialogueSettings dialogueSettings() const;
    void applyDialogueSettings();
    void showFirmware(const QString& path, std::uint64_t size);
    void closeJob();
    bool refuseUnrecordedRun(const QString& imagePath);
    void beginRecord(bool factoryReset);
    void record(const RunResult& result, RunVerdict& verdict);
    void rememberChoices() const;
    // The run's effects, on the GUI thread.
    void setRunButtons(bool running);
    void showRunStarted(bool factoryReset);
    void showBlockSent(std::uint32_t block, std::uint32_t blockCount);
    void showRunProgress();
    void showRunEnded(const RunResult& result);

    std::unique_ptr<MainWindowForm> form;
    PaneFeed logFeed;
    PaneFeed receiveFeed;
    QString selectedFirmwarePath;
    QString firmwareFolder;
    QString logFolder;
    bool demo = false;
    QString runFirmwarePath;
    // The run as the window has been told of it so far.
    struct RunShown
    {
        bool inProgress = false;
        bool factoryReset = false;
        bool blockSent = false;
    } run;
    // The image of the last flash run, for a saved log.
    QString flashedImagePath;
    QString flashedImageSha256;
    std::unique_ptr<RunStatus> runStatus;
    std::unique_ptr<ScreenFit> screenFit;
    QTimer runStatusTick;
    PortList* portList = nullptr;
    PacingMenu* pacingMenu = nullptr;
    JobPanel* jobPanel = nullptr;
    RunRecorder* recorder = nullptr;
    VerdictBand* verdictBand = nullptr;
    // Last: it goes first, and with it every thread that reports to the window.
    std::unique_ptr<BoardSession> session;
};
