#pragma once

#include "cli/BoardRun.h"
#include "cli/CommandLine.h"
#include "cli/ProgressView.h"
#include "cli/RunRecord.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

class FirmwareImage;

// The runs of one command on every port named: the ports opened before any
// byte goes out, all runs started together, and the batch over when the last
// run has ended. Main thread only.
class FlashBatch final : public QObject
{
    Q_OBJECT

public:
    // image is null for a factory reset.
    FlashBatch(const CommandLine& commandLine, std::shared_ptr<const FirmwareImage> image, ProgressView& view,
               RunRecord& record);
    ~FlashBatch() override;

    // Opens every port. If any cannot be opened, says why for each on
    // standard error; then, unless the command line says to keep going,
    // closes the others and returns false: nothing has been written to any
    // chip then. With --keep-going those ports fail on their own.
    bool openPorts();

    // Starts every run; finished() follows once the last has ended.
    void start();

    // Ctrl-C: cancels every run in progress; the batch ends as interrupted.
    void interrupt();

signals:
    void finished(int exitCode);

private:
    void onRunFinished(std::size_t index, const RunResult& result);
    void refreshClocks();
    int exitCode() const;

    const CommandLine& commandLine_;
    const std::shared_ptr<const FirmwareImage> image_;
    ProgressView& view_;
    RunRecord& record_;

    std::vector<BoardRun> boards_;
    ProgressView::Boards progress_;
    QTimer clockTicks_;
    bool interrupted_ = false;
    bool ended_ = false;
};
