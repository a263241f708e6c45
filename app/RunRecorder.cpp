#include "app/RunRecorder.h"

#include "app/OperatorQuestions.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

namespace {

const QString kRecordFile = QStringLiteral("record/file");

QString defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(QStringLiteral("records.csv"));
}

// The default record's folder is the program's own, made when first needed.
// A chosen file's folder is never made: one that is gone may be a share
// that is not mounted, and rows written beside it would be lost to the line.
QString preparedPath(const QString& path)
{
    if (path == defaultPath())
        QDir().mkpath(QFileInfo(path).absolutePath());
    return path;
}

} // namespace

RunRecorder::RunRecorder(QMenu& fileMenu, QWidget& dialogParent) : QObject(&fileMenu), dialogParent_(dialogParent)
{
    fileMenu.addSeparator();
    QAction* show = fileMenu.addAction(tr("Show &Records"), this, &RunRecorder::showFolder);
    show->setObjectName(QStringLiteral("actionShowRecords"));
    QAction* choose = fileMenu.addAction(tr("Record &File..."), this, &RunRecorder::chooseFile);
    choose->setObjectName(QStringLiteral("actionRecordFile"));
}

QString RunRecorder::path() const
{
    const QString chosen = QSettings().value(kRecordFile).toString();
    return chosen.isEmpty() ? defaultPath() : chosen;
}

bool RunRecorder::check(const QString& imagePath, QString& error) const
{
    return RunRecordFile(preparedPath(path())).check(imagePath, error);
}

void RunRecorder::begin(RecordedRun facts)
{
    facts.start = QDateTime::currentDateTimeUtc();
    facts.station = defaultStationName();
    facts.operatorName = defaultOperatorName();
    pending_ = Pending{RunRecordFile(path()), std::move(facts)};
}

bool RunRecorder::end(const RunResult& result, const QString& imagePath, QString& error)
{
    if (!pending_)
        return true;
    const Pending pending = std::move(*pending_);
    pending_.reset();
    RecordedRun run = pending.run;
    run.end = QDateTime::currentDateTimeUtc();
    run.outcome = result.outcome;
    // The log keeps the protocol's words; the record says what a reset did,
    // as the command line's does.
    run.reason = run.factoryReset && result.outcome == RunOutcome::Completed
                     ? QStringLiteral("Factory reset completed.")
                     : result.reason;
    if (result.image)
        run.image = imageFactsOf(imagePath, *result.image);
    QString reason;
    if (pending.file.append(run, reason))
        return true;
    error = tr("The run could not be recorded in %1: %2").arg(QDir::toNativeSeparators(pending.file.path()), reason);
    return false;
}

void RunRecorder::chooseFile()
{
    const QString chosen = QFileDialog::getSaveFileName(&dialogParent_, tr("Record File"), path(),
                                                        tr("Records (*.csv)"), nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty())
        return;
    QString error;
    if (!RunRecordFile(chosen).check(QString(), error)) {
        showInformation(&dialogParent_,
                        tr("Runs cannot be recorded in %1: %2").arg(QDir::toNativeSeparators(chosen), error),
                        QMessageBox::Warning);
        return;
    }
    QSettings().setValue(kRecordFile, chosen);
}

void RunRecorder::showFolder()
{
    const QString folder = QFileInfo(preparedPath(path())).absolutePath();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        showInformation(&dialogParent_,
                        tr("The record's folder %1 could not be opened.").arg(QDir::toNativeSeparators(folder)),
                        QMessageBox::Warning);
}
