#pragma once

#include "cli/RunFacts.h"

#include <cstddef>
#include <vector>

// How the console shows a batch: for a person on a terminal, for a person
// reading a log, or for a machine. Each event passes every board of the batch
// and the index of the one it concerns. Main thread only.
class ProgressView
{
public:
    using Boards = std::vector<BoardProgress>;

    virtual ~ProgressView() = default;

    // The image every board gets, before any run starts.
    virtual void showImage(const ImageFacts& image) = 0;
    virtual void started(const Boards& boards, std::size_t index) = 0;
    // A block was written.
    virtual void progressed(const Boards& boards, std::size_t index) = 0;
    virtual void finished(const Boards& boards, std::size_t index) = 0;
    // The clocks moved on; a few times a second while runs are in progress.
    virtual void refresh(const Boards&) {}
    // Every run has ended.
    virtual void batchEnded(const Boards& boards) = 0;
};
