#pragma once

#include "cli/BoardRun.h"
#include "cli/CommandLine.h"
#include "cli/ProgressView.h"
#include "cli/RunRecord.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <vector>

class FirmwareImage;

// A production line's station: on every port, board after board until
// Ctrl-C. Each port waits for a board, flashes it, records it, shows PASS or
// FAIL with the port's counts, waits for the board to go, and starts again.
//
// A board is new when its port appears (an adapter on the board itself) or
// when a chip answers the boot-mode request after at least kBoardGoneSilence
// without an answer since the previous board's end. Between boards the port
// is asked once every FlashDialogue::kChipProbeInterval. Ports that are not
// there are looked for every kPortLookInterval. Main thread only.
class FlashStation final : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kPortLookInterval{250};
    static constexpr std::chrono::milliseconds kBoardGoneSilence{2000};

    FlashStation(const CommandLine& commandLine, std::shared_ptr<const FirmwareImage> image, ProgressView& view,
                 RunRecord& record);
    ~FlashStation() override;

    void start();
    // Ctrl-C: the runs in progress are cancelled (a board's run is recorded
    // as cancelled) and the station ends with its summary.
    void interrupt();

signals:
    void finished(int exitCode);

private:
    enum class Phase {
        PortAbsent,    // looked for every kPortLookInterval
        AwaitingBoard, // a run waits for the next chip
        Flashing,      // a chip answered: a board's run
        BoardLeaving,  // probed until no chip has answered for kBoardGoneSilence
        Stopped,
    };

    struct Port
    {
        BoardRun run;
        Phase phase = Phase::PortAbsent;
        unsigned int generation = 0; // of its session: signals of an older one are stale
        QTimer tick;
        QElapsedTimer sinceHeard;
    };

    void lookForPort(std::size_t index);
    void connectSession(std::size_t index);
    void awaitBoard(std::size_t index);
    void onChipAnswered(std::size_t index);
    void onRunEnded(std::size_t index, const RunResult& result);
    void onPortLost(std::size_t index);
    void onTick(std::size_t index);
    void waitFor(std::size_t index, const QString& what);
    void closePort(std::size_t index);
    void stop();
    void endIfStopped();
    void refreshClocks();

    const CommandLine& commandLine_;
    const std::shared_ptr<const FirmwareImage> image_;
    ProgressView& view_;
    RunRecord& record_;

    std::vector<std::unique_ptr<Port>> ports_;
    ProgressView::Boards progress_;
    QTimer clockTicks_;
    bool stopping_ = false;
    bool ended_ = false;
};
