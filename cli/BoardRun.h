#pragma once

#include "cli/RunFacts.h"
#include "session/BoardSession.h"
#include "session/PortIdentity.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>

#include <memory>
#include <optional>

// One port and the board run on it, as a batch and a station keep them:
// its session, what the system says of the port, when the run began.
// Main thread only.
struct BoardRun
{
    QString port;
    std::unique_ptr<BoardSession> session; // null while the port is not open
    PortIdentity identity;
    QDateTime startedAt;
    QElapsedTimer clock;

    // Opens the port with the settings of every run on it; on failure the
    // session is gone again.
    std::optional<PortOpenFailure> open(const LineSettings& line, const DialogueSettings& dialogue);
    // With --verbose: every step and every answer of its runs on standard error.
    void showSteps() const;
    // A board's run begins now.
    void begin(BoardProgress& progress, std::uint32_t blockCount);
    void updateClock(BoardProgress& progress) const;
    // A block was written.
    void blockWritten(BoardProgress& progress, quint32 block, quint32 blockCount) const;
    // The run has ended: result, clock and count as the console shows them.
    void end(BoardProgress& progress, const RunResult& result, bool factoryReset) const;
};

// "orvanne-flash: port P: cause (text, code N)" and the hint, on standard error.
void printOpenFailure(const QString& port, const PortOpenFailure& failure);
