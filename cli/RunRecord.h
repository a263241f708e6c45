#pragma once

#include "cli/CommandLine.h"
#include "session/RunRecordFile.h"

#include <QDateTime>
#include <QString>

#include <optional>

// Where a command's runs are traced: the file named by --record, if any,
// with what every row of the command shares (image, job, station, operator,
// pacing). Main thread only.
class RunRecord
{
public:
    RunRecord(const CommandLine& commandLine, std::optional<ImageFacts> image);

    // Before any board is flashed: whether the rows can be written. Says why
    // not on standard error.
    bool check() const;

    // One board's run. A row that cannot be written is said on standard
    // error and makes failed() true: a board that cannot be traced must not
    // pass as a success.
    void append(const QString& port, const PortIdentity& adapter, const QDateTime& start, const QDateTime& end,
                const RunResult& result);
    bool failed() const { return failed_; }

private:
    const CommandLine& commandLine_;
    const std::optional<ImageFacts> image_;
    const std::optional<RunRecordFile> file_;
    bool failed_ = false;
};
