#pragma once

#include "cli/ProgressView.h"

#include <QString>

// One line per board, redrawn in place: port, block n/m, percent, elapsed
// and time left while the run goes on; the result and its reason at the end.
class TerminalProgressView final : public ProgressView
{
public:
    void showImage(const ImageFacts& image) override;
    void started(const Boards& boards, std::size_t index) override;
    void progressed(const Boards& boards, std::size_t index) override;
    void finished(const Boards& boards, std::size_t index) override;
    void refresh(const Boards& boards) override;
    void batchEnded(const Boards& boards) override;

private:
    // Lines are cut to the terminal's width while they may be redrawn: a line
    // that wrapped would throw the redraw off by a line.
    void redraw(const Boards& boards, bool cutToWidth);

    std::size_t linesDrawn_ = 0;
};
