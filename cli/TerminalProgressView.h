#pragma once

#include "cli/ProgressView.h"

#include <QString>

// One line per port, redrawn in place: port, block n/m, percent, elapsed
// and time left while the run goes on; the result and its reason at the end;
// in a station also what the port waits for and its counts.
class TerminalProgressView final : public ProgressView
{
public:
    explicit TerminalProgressView(bool station) : station_(station) {}

    void showRun(const std::optional<ImageFacts>& image, const DialogueSettings& dialogue) override;
    void started(const Boards& boards, std::size_t index) override;
    void progressed(const Boards& boards, std::size_t index) override;
    void finished(const Boards& boards, std::size_t index) override;
    void waiting(const Boards& boards, std::size_t index) override;
    void refresh(const Boards& boards) override;
    void ended(const Boards& boards) override;

private:
    QString stateText(const BoardProgress& board) const;
    // Lines are cut to the terminal's width while they may be redrawn: a line
    // that wrapped would throw the redraw off by a line.
    void redraw(const Boards& boards, bool cutToWidth);

    const bool station_;
    std::size_t linesDrawn_ = 0;
};
