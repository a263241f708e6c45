#include "cli/PlainProgressView.h"

#include "cli/Console.h"
#include "cli/ProgressText.h"

void PlainProgressView::showImage(const ImageFacts& image)
{
    printOut(imageLine(image) + '\n');
}

void PlainProgressView::started(const Boards& boards, std::size_t index)
{
    tenthsShown_.resize(boards.size());
    const BoardProgress& board = boards[index];
    if (board.blockCount == 0)
        printOut(board.port + QStringLiteral(": factory reset started\n"));
    else
        printOut(QStringLiteral("%1: started, %2 blocks\n").arg(board.port).arg(board.blockCount));
}

void PlainProgressView::progressed(const Boards& boards, std::size_t index)
{
    const BoardProgress& board = boards[index];
    const unsigned int percent = percentDone(board);
    if (percent / 10 <= tenthsShown_[index])
        return;
    tenthsShown_[index] = percent / 10;
    printOut(QStringLiteral("%1: block %2/%3 (%4%), %5\n")
                 .arg(board.port)
                 .arg(board.block)
                 .arg(board.blockCount)
                 .arg(percent)
                 .arg(timesText(board, QStringLiteral(", "))));
}

void PlainProgressView::finished(const Boards& boards, std::size_t index)
{
    const BoardProgress& board = boards[index];
    printOut(QStringLiteral("%1: %2, %3 (%4)\n")
                 .arg(board.port, resultWord(board.result->outcome), board.result->reason,
                      clockText(board.elapsed)));
}

void PlainProgressView::batchEnded(const Boards& boards)
{
    printOut(batchSummary(boards) + '\n');
}
