#pragma once

#include "flash/DialogueReport.h"
#include "session/RunRecordFile.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>

// How one port's runs ended so far: one run in a batch, many in a station.
struct RunTally
{
    unsigned int passed = 0;
    unsigned int failed = 0;
    unsigned int cancelled = 0;

    void count(RunOutcome outcome);
    void add(const RunTally& other);
    unsigned int total() const { return passed + failed + cancelled; }
};

// How far one port's board has got.
struct BoardProgress
{
    QString port; // printable
    std::uint32_t block = 0;      // the block written last; 0 before the first
    std::uint32_t blockCount = 0; // 0 in a factory reset
    std::chrono::milliseconds elapsed{0};
    std::optional<std::chrono::milliseconds> timeLeft; // nothing while the run cannot tell
    std::optional<RunResult> result;                   // once the run has ended
    // A station's port between boards: what it waits for ("a board",
    // "the board to go", "the port"); empty while a board is on it.
    QString waitingFor;
    unsigned int boardNumber = 0; // a station's boards on this port, counted from 1
    RunTally tally;
};
