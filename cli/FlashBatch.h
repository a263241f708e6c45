#pragma once

#include "cli/CommandLine.h"
#include "cli/PortListing.h"
#include "cli/ProgressView.h"
#include "cli/RunRecord.h"
#include "session/BoardSession.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

class FirmwareImage;

// The runs of one command on every port named: all ports opened before any
// byte goes out, all runs started together, and the batch over when the last
// run has ended. Main thread only.
class FlashBatch final : public QObject
{
    Q_OBJECT

public:
    // image is null for a factory reset; record may be null.
    FlashBatch(const CommandLine& commandLine, std::shared_ptr<const FirmwareImage> image, ProgressView& view,
               RunRecord* record);
    ~FlashBatch() override;

    // Opens every port. If any cannot be opened, says why for each on
    // standard error, closes the others and returns false: nothing has been
    // written to any chip then.
    bool openPorts();

    // Starts every run; finished() follows once the last has ended.
    void start();

    // Ctrl-C: cancels every run in progress; the batch ends as interrupted.
    void interrupt();

signals:
    void finished(int exitCode);

private:
    struct Board
    {
        std::unique_ptr<BoardSession> session;
        PortIdentity identity;
        QDateTime startedAt;
        QElapsedTimer clock;
    };

    void onBlockWritten(std::size_t index, quint32 block, quint32 blockCount);
    void onRunFinished(std::size_t index, const RunResult& result);
    void updateClock(std::size_t index);
    void refreshClocks();
    void record(std::size_t index);
    int exitCode() const;

    const CommandLine& commandLine_;
    const std::shared_ptr<const FirmwareImage> image_;
    const std::optional<ImageFacts> imageFacts_;
    ProgressView& view_;
    RunRecord* const record_;

    std::vector<Board> boards_;
    ProgressView::Boards progress_;
    QTimer clockTicks_;
    bool interrupted_ = false;
    bool recordFailed_ = false;
};
