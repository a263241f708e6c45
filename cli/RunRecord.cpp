#include "cli/RunRecord.h"

#include "cli/Console.h"
#include "session/PrintableText.h"

#include <QCoreApplication>

namespace {

std::optional<RunRecordFile> fileOf(const CommandLine& commandLine)
{
    if (commandLine.recordPath.isEmpty())
        return std::nullopt;
    return RunRecordFile(commandLine.recordPath);
}

} // namespace

RunRecord::RunRecord(const CommandLine& commandLine, std::optional<ImageFacts> image)
    : commandLine_(commandLine), image_(std::move(image)), file_(fileOf(commandLine))
{
}

bool RunRecord::check() const
{
    QString error;
    if (!file_ || file_->check(image_ ? image_->path : QString(), error))
        return true;
    printError(QStringLiteral("%1: --record: cannot write to \"%2\": %3\n")
                   .arg(QCoreApplication::applicationName(), commandLine_.recordPath, printableText(error)));
    return false;
}

void RunRecord::append(const QString& port, const PortIdentity& adapter, const QDateTime& start, const QDateTime& end,
                       const RunResult& result)
{
    if (!file_)
        return;
    RecordedRun run;
    run.start = start;
    run.end = end;
    run.factoryReset = !image_;
    run.outcome = result.outcome;
    run.reason = result.reason;
    run.port = port;
    run.adapter = adapter;
    run.image = image_;
    run.job = commandLine_.jobName;
    run.station = commandLine_.station;
    run.operatorName = commandLine_.operatorName;
    run.dialogue = commandLine_.dialogue;
    QString error;
    if (file_->append(run, error))
        return;
    printError(QStringLiteral("%1: the run on %2 could not be recorded in %3: %4\n")
                   .arg(QCoreApplication::applicationName(), printableText(port), commandLine_.recordPath,
                        printableText(error)));
    failed_ = true;
}
