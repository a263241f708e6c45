#pragma once

#include "session/RunRecordFile.h"

#include <QObject>
#include <QString>

#include <optional>

class QMenu;
class QWidget;

// The window's record of its runs: one row per run, in the columns the
// command line writes, in the record file its settings name (by default
// records.csv in the user's application-data folder). Other windows and
// command lines may write the same file at once. Adds File › Show Records,
// which opens the record's folder, and File › Record File…, which chooses
// another file.
//
// GUI thread only. A run's row goes to the file checked when the run began,
// even if another is chosen meanwhile.
class RunRecorder : public QObject
{
    Q_OBJECT

public:
    // Adds the entries to fileMenu; dialogs and boxes open over dialogParent.
    RunRecorder(QMenu& fileMenu, QWidget& dialogParent);

    QString path() const;

    // Before a run: whether its row can be written (see RunRecordFile::check);
    // error says why not. imagePath is empty for a factory reset.
    bool check(const QString& imagePath, QString& error) const;

    // The run starts now; facts holds what is known of it before it ends
    // (port, adapter, action, job, dialogue).
    void begin(RecordedRun facts);
    // The run begun last has ended: its row. False, with error saying where
    // and why, when it could not be written.
    bool end(const RunResult& result, const QString& imagePath, QString& error);

private:
    void chooseFile();
    void showFolder();

    QWidget& dialogParent_;
    struct Pending
    {
        RunRecordFile file;
        RecordedRun run;
    };
    std::optional<Pending> pending_;
};
