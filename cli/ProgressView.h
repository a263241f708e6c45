#pragma once

#include "cli/RunFacts.h"
#include "flash/DialogueSettings.h"

#include <cstddef>
#include <optional>
#include <vector>

// How the console shows a batch or a station: for a person on a terminal, for
// a person reading a log, or for a machine. Each event passes every port's
// board and the index of the one it concerns. Main thread only.
class ProgressView
{
public:
    using Boards = std::vector<BoardProgress>;

    virtual ~ProgressView() = default;

    // What every board gets (no image for a factory reset), before any run starts.
    virtual void showRun(const std::optional<ImageFacts>& image, const DialogueSettings& dialogue) = 0;
    virtual void started(const Boards& boards, std::size_t index) = 0;
    // A block was written.
    virtual void progressed(const Boards& boards, std::size_t index) = 0;
    virtual void finished(const Boards& boards, std::size_t index) = 0;
    // A station's port waits for something else now (BoardProgress::waitingFor).
    virtual void waiting(const Boards& boards, std::size_t index) = 0;
    // The clocks moved on; a few times a second while runs are in progress.
    virtual void refresh(const Boards&) {}
    // Every run has ended; the summary.
    virtual void ended(const Boards& boards) = 0;
};
