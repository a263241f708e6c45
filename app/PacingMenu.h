#pragma once

#include "flash/DialogueSettings.h"

#include <QObject>
#include <QString>

class QAction;
class QActionGroup;
class QMenuBar;

// The Settings menu: the pacing of the runs, one of two checked items that
// say what each is for. The window applies the choice to its board session
// and remembers it.
class PacingMenu : public QObject
{
    Q_OBJECT

public:
    // Adds the menu to `bar` in front of `before`, with protocol pacing checked.
    PacingMenu(QMenuBar& bar, QAction* before, QObject* parent = nullptr);

    Pacing pacing() const;
    void setPacing(Pacing pacing);
    // Not while a run is in progress: a run keeps the pacing it started with.
    void setEnabled(bool enabled);

signals:
    void chosen(Pacing pacing);

private:
    QActionGroup* group_;
    QAction* protocol_;
    QAction* acknowledged_;
};

// "protocol" or "acknowledged": the pacing in the status bar, the saved log
// and the remembered choices.
QString pacingWord(Pacing pacing);
// The pacing a word names; protocol pacing for any other word.
Pacing pacingOfWord(const QString& word);
