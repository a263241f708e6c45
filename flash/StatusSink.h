#pragma once

#include <QString>

// The four information labels of the window.
enum class InfoLabel {
    FileSize,
    TotalBlocks,
    CurrentBlock,
    Action,
};

// Where the flash protocol reports to the operator: status lines for the log
// pane and texts for the information labels. The window implements it; an
// implementation called off the GUI thread must hand the effect over to that
// thread without blocking and keep the order of the calls.
class StatusSink
{
public:
    virtual ~StatusSink() = default;

    virtual void log(const QString& line) = 0;
    virtual void setLabel(InfoLabel label, const QString& text) = 0;
};
