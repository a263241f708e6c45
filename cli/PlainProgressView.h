#pragma once

#include "cli/ProgressView.h"

#include <vector>

// Plain lines for a log or a pipe: each board's start, every tenth of its
// blocks, and its end.
class PlainProgressView final : public ProgressView
{
public:
    void showImage(const ImageFacts& image) override;
    void started(const Boards& boards, std::size_t index) override;
    void progressed(const Boards& boards, std::size_t index) override;
    void finished(const Boards& boards, std::size_t index) override;
    void batchEnded(const Boards& boards) override;

private:
    std::vector<unsigned int> tenthsShown_; // per board
};
