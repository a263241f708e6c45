#pragma once

#include "session/JobFile.h"

#include <QObject>
#include <QString>

#include <optional>

struct ImageLoad;
class PacingMenu;
class QAction;
class QLabel;
class QWidget;
namespace Ui {
class MainWindow;
}

// The approved job the window flashes, if any: File › Open Job… and
// Close Job, and the job's name in the title and under the firmware file's
// path. A job is taken only when its file is sound and its image is the
// approved one; it then shows its line settings in the port panel's boxes
// and its pacing in the Settings menu. The window locks those, and the
// firmware choice, while a job is loaded, and takes its image and its reply
// time-out.
//
// GUI thread only.
class JobPanel : public QObject
{
    Q_OBJECT

public:
    // Adds the entries to the form's File menu and the name's label below
    // the firmware file's path; dialogs open over dialogParent.
    JobPanel(Ui::MainWindow& form, PacingMenu& pacingMenu, QWidget& dialogParent);

    const std::optional<Job>& job() const { return job_; }

    // Reads the job file at path and its image. Nothing changes unless both
    // are sound; refusal then says why not.
    bool open(const QString& path, QString& refusal);
    void close();

    // Why load may not be flashed under the job: an image that is not the
    // approved one. Empty without a job, or for a load that failed (the run
    // reports that itself).
    QString refusalOf(const ImageLoad& load) const;

    // The entries are for the operator between runs.
    void setEnabled(bool enabled);

signals:
    // The operator chose a job file in File › Open Job….
    void openChosen(const QString& path);
    void closeChosen();

private:
    void showLineSettings();

    Ui::MainWindow& form_;
    PacingMenu& pacingMenu_;
    QWidget& dialogParent_;
    QAction* open_;
    QAction* close_;
    QLabel* name_;
    QString folder_;
    QString titleWithoutJob_;
    std::optional<Job> job_;
};
