#include "app/MainWindow.h"

#include "app/JobPanel.h"
#include "app/LineSettingBoxes.h"
#include "app/LogExport.h"
#include "app/OperatorQuestions.h"
#include "app/PacingMenu.h"
#include "app/PortComboBox.h"
#include "app/RememberedChoices.h"
#include "app/RunRecorder.h"
#include "app/RunStatus.h"
#include "app/SaveLogDialog.h"
#include "app/ScreenFit.h"
#include "app/VerdictBand.h"
#include "flash/FirmwareFile.h"
#include "flash/StatusLine.h"
#include "session/Version.h"
#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QShortcut>
#include <QTextCursor>
#include <QThread>

#include <cstdarg>
#include <initializer_list>
#include <limits>

namespace {

// Each pane keeps its newest lines only, so that no run, however long or
// noisy, grows the program without bound.
constexpr int kPaneLineLimit = 10000;
constexpr int kRunStatusIntervalMs = 1000;
constexpr int kSavedLogMessageMs = 15000;

void selectText(QComboBox& box, const QString& text)
{
    const int index = box.findText(text);
    if (index >= 0)
        box.setCurrentIndex(index);
}

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

} // namespace

MainWindow::MainWindow(QWidget* parent, PortList::Source portSource)
    : QMainWindow(parent), form(std::make_unique<MainWindowForm>()), logFeed(kPaneLineLimit),
      receiveFeed(kPaneLineLimit), session(std::make_unique<BoardSession>())
{
    form->setupUi(this);

    // Queued even when emitted on the GUI thread: the receive pane is always
    // updated from the event loop, in emission order.
    connect(this, &MainWindow::emitUpdateReceive, this, &MainWindow::OnUpdateReceive,
            Qt::QueuedConnection);

    form->pushButtonOpen->setText(tr("Open Port"));
    setWindowTitle(QStringLiteral("Orvanne Flasher " ORVANNE_VERSION_TEXT " for RQ51x"));
    portList = new PortList(*form->comboBoxPortName, std::move(portSource), this);
    attachLineValues(*form->comboBoxBaudrate, *form->comboBoxParity, *form->comboBoxDataBit, *form->comboBoxStopBit);
    form->comboBoxBaudrate->setCurrentText(QStringLiteral("115200"));
    form->comboBoxDataBit->setCurrentText(QStringLiteral("8"));

    for (QPlainTextEdit* pane : {form->plainTextEditSend, form->plainTextEditReceive}) {
        pane->setStyleSheet(
            QStringLiteral("QPlainTextEdit {background-color: darkgrey; color: white;}"));
        pane->setBackgroundVisible(false);
        pane->setMaximumBlockCount(kPaneLineLimit);
    }

    runStatus = std::make_unique<RunStatus>(*form->statusBar);
    verdictBand = new VerdictBand(*form->progressBar, *form->pushButtonClear);
    pacingMenu = new PacingMenu(*form->menuBar, form->menuHelp->menuAction(), this);
    connect(pacingMenu, &PacingMenu::chosen, this, [this] {
        applyDialogueSettings();
        rememberChoices();
    });
    jobPanel = new JobPanel(*form, *pacingMenu, *this);
    connect(jobPanel, &JobPanel::openChosen, this, &MainWindow::openJob);
    connect(jobPanel, &JobPanel::closeChosen, this, &MainWindow::closeJob);
    recorder = new RunRecorder(*form->menuFile, *this);
    // Paths, port and adapter names come from outside: shown as they are.
    for (QLabel* label : findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    connect(&runStatusTick, &QTimer::timeout, this, &MainWindow::showRunProgress);
    setAcceptDrops(true);
    addPortShortcut();
    connectSession();
    restoreChoices();
    screenFit = std::make_unique<ScreenFit>(*this);
    form->comboBoxPortName->setFocus();
}

// The button's caption changes with the port's state, and a caption sets a
// button's own shortcut, so the shortcut belongs to the window.
void MainWindow::addPortShortcut()
{
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
    connect(shortcut, &QShortcut::activated, this, [this] {
        if (form->pushButtonOpen->isEnabled())
            form->pushButtonOpen->click();
    });
    form->pushButtonOpen->setToolTip(tr("Opens the chosen port with these settings, or closes the open port (%1)")
                                         .arg(shortcut->key().toString(QKeySequence::NativeText)));
}

MainWindow::~MainWindow()
{
    // The session cancels a run, closes the port and stops every thread that
    // reports before the widgets go.
    session.reset();
    form.reset();
}

// The session reports from the port's event thread and its deadline thread
// too: those reports are queued to the GUI thread in the order made. Lines
// for the two panes are gathered on the reporting thread and shown by one
// update at a time: those of the receive pane go out through
// emitUpdateReceive.
void MainWindow::connectSession()
{
    BoardSession* const board = session.get();
    connect(board, &BoardSession::logLine, this, &MainWindow::appendLogLine, Qt::DirectConnection);
    connect(board, &BoardSession::labelText, this, &MainWindow::showLabel);
    connect(
        board, &BoardSession::received, this,
        [this](const QString& text) {
            if (receiveFeed.add(text))
                emit emitUpdateReceive(QString());
        },
        Qt::DirectConnection);
    connect(board, &BoardSession::runStarted, this, &MainWindow::showRunStarted);
    connect(board, &BoardSession::blockSent, this, &MainWindow::showBlockSent);
    connect(board, &BoardSession::runEnded, this, &MainWindow::showRunEnded);
    connect(board, &BoardSession::portLost, this, &MainWindow::showPortClosed);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (session->progress().running && !confirmCancelRunAndQuit(this, session->portName())) {
        event->ignore();
        return;
    }
    session->cancel();
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
    pacingMenu->setPacing(pacingOfWord(choices.pacing));
    applyDialogueSettings();
    firmwareFolder = choices.firmwareFolder;
    logFolder = choices.logFolder;
    if (!choices.geometry.isEmpty())
        restoreGeometry(choices.geometry);
}

// A job's own, or the pacing chosen with the protocol's reply time-out.
DialogueSettings MainWindow::dialogueSettings() const
{
    if (jobPanel->job())
        return jobPanel->job()->dialogue;
    DialogueSettings settings;
    settings.pacing = pacingMenu->pacing();
    return settings;
}

void MainWindow::applyDialogueSettings()
{
    session->setDialogueSettings(dialogueSettings());
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
                      form->comboBoxStopBit->currentText(),  pacingWord(pacingMenu->pacing()),
                      firmwareFolder,
                      logFolder,                             saveGeometry()}
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

// Off the GUI thread the append is posted, never waited for: the GUI thread
// may itself be waiting for the calling thread (closing the port joins the
// event thread). On it, the lines still on their way go first.
void MainWindow::appendLogLine(const QString& line)
{
    if (QThread::currentThread() == thread()) {
        QStringList lines = logFeed.take(std::numeric_limits<std::size_t>::max()).lines;
        lines.append(line);
        form->plainTextEditSend->appendPlainText(lines.join(QLatin1Char('\n')));
    } else if (logFeed.add(line)) {
        QMetaObject::invokeMethod(this, &MainWindow::showGatheredLogLines, Qt::QueuedConnection);
    }
}

void MainWindow::showGatheredLogLines()
{
    const PaneFeed::Batch batch = logFeed.take();
    if (!batch.lines.isEmpty())
        form->plainTextEditSend->appendPlainText(batch.lines.join(QLatin1Char('\n')));
    if (batch.more)
        QMetaObject::invokeMethod(this, &MainWindow::showGatheredLogLines, Qt::QueuedConnection);
}

void MainWindow::showLabel(InfoLabel label, const QString& text)
{
    switch (label) {
    case InfoLabel::FileSize: form->label_FileSize->setText(text); break;
    case InfoLabel::TotalBlocks: form->label_TotalBlocks->setText(text); break;
    case InfoLabel::CurrentBlock: form->label_CurrenBlock->setText(text); break;
    case InfoLabel::Action: form->label_Action->setText(text); break;
    }
}

void MainWindow::on_pushButtonOpen_clicked()
{
    if (session->isOpen())
        closePort();
    else
        openPort();
}

void MainWindow::openPort()
{
    const QString portName = form->comboBoxPortName->currentText();
    if (portName.isEmpty()) {
        showInformation(this, tr("No avaiable ports"));
        qDebug("No avaiable ports");
        return;
    }

    const std::optional<PortOpenFailure> failure = session->open(
        portName, lineSettingsOf(*form->comboBoxBaudrate, *form->comboBoxParity, *form->comboBoxDataBit,
                                 *form->comboBoxStopBit));
    if (!failure) {
        logMessage("Port open ready to flash RQ51x...");
        const QString adapter = portList->adapterOf(portName);
        appendLogLine(QStringLiteral("Adapter: %1").arg(adapter.isEmpty() ? tr("not described by the system") : adapter));
        form->pushButtonOpen->setText(tr("Close Port"));
        session->sendPortOpenNotice();
        rememberChoices();
        return;
    }

    // The library's code and text as they always were, and below them the
    // cause in plain words with what helps on this system.
    const QString error = tr("open port error") +
                          QStringLiteral("\n\ncode: %1\nmessage: %2").arg(failure->code).arg(failure->libraryText);
    QString why = capitalised(failure->cause) + QLatin1Char('.');
    if (!failure->hint.isEmpty())
        why += QLatin1Char(' ') + capitalised(failure->hint) + QLatin1Char('.');
    showInformation(this, error, QMessageBox::Warning, why);
    form->pushButtonOpen->setText(tr("Open Port"));
    logMessage("Port closed...");
    if (!failure->hint.isEmpty())
        appendLogLine(capitalised(failure->cause) + QStringLiteral("; ") + failure->hint + QLatin1Char('.'));
    qDebug() << failure->code;
}

void MainWindow::closePort()
{
    session->close();
    showPortClosed();
}

void MainWindow::showPortClosed()
{
    logMessage("Port closed...");
    form->pushButtonOpen->setText(tr("Open Port"));
}

bool MainWindow::refuseWhilePortClosed()
{
    if (session->isOpen())
        return false;
    showInformation(this, tr("Please open serial port first!"));
    qDebug().noquote() << tr("Please open serial port first");
    return true;
}

void MainWindow::on_pushButtonSend_clicked()
{
    if (refuseWhilePortClosed())
        return;
    // Read once: the bytes held to the job's approval are the bytes sent.
    const ImageLoad load = loadFirmwareImage(selectedFirmwarePath);
    const QString unapproved = jobPanel->refusalOf(load);
    if (!unapproved.isEmpty())
        return refuseFirmware(unapproved);
    if (refuseUnrecordedRun(selectedFirmwarePath))
        return;
    runStatus->started(false, pacingMenu->pacing());
    runFirmwarePath = selectedFirmwarePath;
    beginRecord(false);
    session->startFlash(load);
}

void MainWindow::on_pushButtonReset_clicked()
{
    if (refuseWhilePortClosed() || refuseUnrecordedRun(QString()) || !confirmFactoryReset(this, session->portName()))
        return;
    runStatus->started(true, pacingMenu->pacing());
    beginRecord(true);
    session->startFactoryReset();
}

// No board is written to unless its run can be recorded.
bool MainWindow::refuseUnrecordedRun(const QString& imagePath)
{
    QString error;
    if (recorder->check(imagePath, error))
        return false;
    const QString why = tr("Runs cannot be recorded in %1: %2").arg(QDir::toNativeSeparators(recorder->path()), error);
    runStatus->refused(why);
    showInformation(this, why, QMessageBox::Warning,
                    tr("Nothing was sent to the chip. Choose another record file (File, Record File...)."));
    return true;
}

void MainWindow::beginRecord(bool factoryReset)
{
    RecordedRun run;
    run.factoryReset = factoryReset;
    run.port = session->portName();
    run.adapter = portList->identityOf(run.port);
    run.job = jobPanel->job() ? jobPanel->job()->name : QString();
    run.dialogue = dialogueSettings();
    recorder->begin(std::move(run));
}

// A run whose row cannot be written must not pass as a plain success.
void MainWindow::record(const RunResult& result, RunVerdict& verdict)
{
    QString error;
    if (recorder->end(result, runFirmwarePath, error))
        return;
    appendLogLine(error);
    runStatus->refused(error);
    verdict.recorded = false;
}

void MainWindow::on_pushButtonCancel_clicked()
{
    session->cancel();
}

// While a run is in progress only Cancel is enabled of the buttons that act,
// and the port and its line settings cannot change under it. Flash needs a
// file chosen.
void MainWindow::setRunButtons(bool running)
{
    for (QWidget* control : std::initializer_list<QWidget*>{form->pushButtonReset, form->pushButtonOpen,
                                                            form->pushButtonClear, form->comboBoxPortName})
        control->setEnabled(!running);
    // A job fixes these until it is closed.
    const bool settingsFree = !running && !jobPanel->job();
    for (QWidget* control : std::initializer_list<QWidget*>{form->pushButtonLoadFirmware, form->comboBoxBaudrate,
                                                            form->comboBoxParity, form->comboBoxDataBit,
                                                            form->comboBoxStopBit})
        control->setEnabled(settingsFree);
    pacingMenu->setEnabled(settingsFree);
    jobPanel->setEnabled(!running);
    form->pushButtonSend->setEnabled(!running && !selectedFirmwarePath.isEmpty());
    form->pushButtonCancel->setEnabled(running);
}

// What the last run showed goes: the bar and the block label start afresh.
void MainWindow::showRunStarted(bool factoryReset)
{
    run = RunShown{true, factoryReset, false};
    setRunButtons(true);
    form->statusBar->clearMessage();
    verdictBand->clear();
    screenFit->reveal(*form->pushButtonCancel);
    form->progressBar->setValue(0);
    form->label_CurrenBlock->setText(QStringLiteral("Current memory block:"));
    showRunProgress();
    runStatusTick.start(kRunStatusIntervalMs);
}

void MainWindow::showBlockSent(std::uint32_t block, std::uint32_t blockCount)
{
    run.blockSent = true;
    runStatus->blockSent(block, blockCount);
    showRunProgress();
}

void MainWindow::showRunProgress()
{
    runStatus->tick(session->progress().timeLeft);
}

void MainWindow::showRunEnded(const RunResult& result)
{
    run.inProgress = false;
    setRunButtons(false);
    runStatusTick.stop();
    const QString sha256 = result.image ? result.image->sha256Hex() : QString();
    RunVerdict verdict = runStatus->ended(result, sha256);
    record(result, verdict);
    verdictBand->showVerdict(verdict);
    screenFit->reveal(*verdictBand);
    if (result.image) {
        flashedImagePath = runFirmwarePath;
        flashedImageSha256 = sha256;
    }
}

// The counters are read now, not when the text was emitted: the bar shows
// how far the run has got by the time the text is shown. Until a flash run
// has sent its first block, and during a factory reset, they still describe
// the run before.
void MainWindow::OnUpdateReceive(QString str)
{
    if (str.isNull()) {
        const PaneFeed::Batch batch = receiveFeed.take();
        if (batch.more)
            emit emitUpdateReceive(QString());
        if (batch.lines.isEmpty())
            return;
        str = batch.lines.join(QLatin1Char('\n'));
    }
    form->plainTextEditReceive->moveCursor(QTextCursor::End);
    form->plainTextEditReceive->appendPlainText(str);
    const FlashSequence::Progress progress = session->progress();
    if (progress.blockCount == 0 || (run.inProgress && (run.factoryReset || !run.blockSent)))
        return;
    form->progressBar->setValue(static_cast<int>(progress.currentBlock * 100u / progress.blockCount));
}

void MainWindow::on_pushButtonClear_clicked()
{
    form->plainTextEditSend->clear();
    form->plainTextEditReceive->clear();
    form->progressBar->setValue(0);
    verdictBand->clear();
    form->label_FileSize->setText(QStringLiteral("File size:"));
    form->label_TotalBlocks->setText(QStringLiteral("Total memory blocks:"));
    form->label_CurrenBlock->setText(QStringLiteral("Current memory block:"));
    form->label_Action->setText(QStringLiteral("Action:"));
    // Repaint the emptied widgets before returning.
    QCoreApplication::processEvents();
}

// A cancelled dialog keeps the earlier choice.
void MainWindow::on_pushButtonLoadFirmware_clicked()
{
    const QString chosen = QFileDialog::getOpenFileName(
        this, tr("Open Firmware Files"), firmwareFolder.isEmpty() ? QStringLiteral("/") : firmwareFolder,
        tr("Files (*.bin)"));
    if (!chosen.isEmpty())
        chooseFirmware(chosen);
}

void MainWindow::chooseFirmware(const QString& path)
{
    const FirmwareFileCheck check = checkFirmwareFile(path);
    if (!check.acceptable())
        return refuseFirmware(check.refusal);
    const QFileInfo file(path);
    if (file.suffix().compare(QStringLiteral("bin"), Qt::CaseInsensitive) != 0)
        return refuseFirmware(tr("Not a firmware image: %1 (a *.bin file is needed)").arg(path));

    firmwareFolder = file.absolutePath();
    showFirmware(path, check.size);
    rememberChoices();
}

void MainWindow::showFirmware(const QString& path, std::uint64_t size)
{
    selectedFirmwarePath = path;
    form->labelFirmware_1->setText(selectedFirmwarePath);
    // In the words the run's reading of the file uses, so that the run
    // confirms them.
    const QByteArray name = path.toUtf8();
    form->label_FileSize->setText(formatStatusLine("File: %s \nSize: %llu Bytes", name.constData(),
                                                   static_cast<unsigned long long>(size)));
    form->label_TotalBlocks->setText(formatStatusLine(
        "Blocks to transfer: %llu", static_cast<unsigned long long>((size + kBlockSize - 1) / kBlockSize)));
    form->pushButtonSend->setEnabled(true);
}

// The port opens with the panel's settings: a job's must be in place first.
void MainWindow::openJob(const QString& path)
{
    if (session->isOpen())
        return showInformation(this, tr("Close the port before opening a job: the port opens with the job's line "
                                        "settings."));
    QString refusal;
    if (!jobPanel->open(path, refusal))
        return showInformation(this, tr("The job %1 cannot be used: %2").arg(QDir::toNativeSeparators(path), refusal),
                               QMessageBox::Warning);
    applyDialogueSettings();
    showFirmware(jobPanel->job()->imagePath, static_cast<std::uint64_t>(QFileInfo(jobPanel->job()->imagePath).size()));
    setRunButtons(false);
}

void MainWindow::closeJob()
{
    jobPanel->close();
    applyDialogueSettings();
    setRunButtons(false);
}

void MainWindow::refuseFirmware(const QString& reason)
{
    runStatus->refused(reason);
    showInformation(this, reason);
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
    const QString fileName = askLogFileName(this, logFolder, session->portName(), QDateTime::currentDateTime());
    if (!fileName.isEmpty())
        saveLog(fileName);
}

void MainWindow::saveLog(const QString& fileName)
{
    const LogExport log{session->portName(),
                        portList->adapterOf(session->portName()),
                        pacingWord(pacingMenu->pacing()),
                        flashedImagePath,
                        flashedImageSha256,
                        form->plainTextEditSend->toPlainText(),
                        form->plainTextEditReceive->toPlainText()};
    QString whyNot;
    if (!log.writeTo(fileName, whyNot))
        return showInformation(this, tr("The log could not be saved: %1").arg(whyNot), QMessageBox::Warning);
    logFolder = QFileInfo(fileName).absolutePath();
    rememberChoices();
    form->statusBar->showMessage(tr("Log saved to %1").arg(QDir::toNativeSeparators(fileName)),
                                 kSavedLogMessageMs);
}

void MainWindow::on_actionAbout_triggered()
{
    QMessageBox::about(this, tr("Orvanne Flasher"),
                       tr("The <b>Flash utility for RQ51x printer controller chips. V%1</b> "
                          "Made by the Orvanne tools team.")
                           .arg(QStringLiteral(ORVANNE_VERSION_TEXT)));
}

void MainWindow::on_actionAbout_Qt_triggered()
{
    QMessageBox::aboutQt(this, QString());
}
