#pragma once

#include "cli/ProgressView.h"

#include <vector>

// Plain lines for a log or a pipe: each board's start, every tenth of its
// blocks and its end; a station's waits; the summary.
class PlainProgressView final : public ProgressView
{
public:
    explicit PlainProgressView(bool station) : station_(station) {}

    void showRun(const std::optional<ImageFacts>& image, const DialogueSettings& dialogue) override;
    void started(const Boards& boards, std::size_t index) override;
    void progressed(const Boards& boards, std::size_t index) override;
    void finished(const Boards& boards, std::size_t index) override;
    void waiting(const Boards& boards, std::size_t index) override;
    void ended(const Boards& boards) override;

private:
    QString boardName(const BoardProgress& board) const;

    const bool station_;
    std::vector<unsigned int> tenthsShown_; // per board
};
