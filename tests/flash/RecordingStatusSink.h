#pragma once

#include "flash/StatusSink.h"

#include <string>
#include <vector>

// The label's object name in the window, for readable expectations.
inline std::string labelName(InfoLabel label)
{
    switch (label) {
    case InfoLabel::FileSize: return "label_FileSize";
    case InfoLabel::TotalBlocks: return "label_TotalBlocks";
    case InfoLabel::CurrentBlock: return "label_CurrenBlock";
    case InfoLabel::Action: return "label_Action";
    }
    return "unknown label";
}

// Keeps every report, in call order, as "log: <line>" or "<label>: <text>".
class RecordingStatusSink : public StatusSink
{
public:
    void log(const QString& line) override
    {
        reports.push_back("log: " + line.toStdString());
    }

    void setLabel(InfoLabel label, const QString& text) override
    {
        reports.push_back(labelName(label) + ": " + text.toStdString());
    }

    std::vector<std::string> reports;
};
