#include "cli/PlainProgressView.h"

#include "cli/Console.h"
#include "cli/ProgressText.h"

void PlainProgressView::showRun(const std::optional<ImageFacts>& image, const DialogueSettings& dialogue)
{
    printOut((image ? imageLine(*image) + QStringLiteral(", ") : QString()) + pacingText(dialogue) + '\n');
}

QString PlainProgressView::boardName(const BoardProgress& board) const
{
    return station_ ? QStringLiteral("%1: board %2").arg(board.port).arg(board.boardNumber) : board.port;
}

void PlainProgressView::started(const Boards& boards, std::size_t index)
{
    tenthsShown_.resize(boards.size());
    tenthsShown_[index] = 0;
    const BoardProgress& board = boards[index];
    if (board.blockCount == 0)
        printOut(boardName(board) + QStringLiteral(": factory reset started\n"));
    else
        printOut(QStringLiteral("%1: started, %2 blocks\n").arg(boardName(board)).arg(board.blockCount));
}

void PlainProgressView::progressed(const Boards& boards, std::size_t index)
{
    const BoardProgress& board = boards[index];
    const unsigned int percent = percentDone(board);
    if (percent / 10 <= tenthsShown_[index])
        return;
    tenthsShown_[index] = percent / 10;
    printOut(QStringLiteral("%1: block %2/%3 (%4%), %5\n")
                 .arg(boardName(board))
                 .arg(board.block)
                 .arg(board.blockCount)
                 .arg(percent)
                 .arg(timesText(board, QStringLiteral(", "))));
}

void PlainProgressView::finished(const Boards& boards, std::size_t index)
{
    const BoardProgress& board = boards[index];
    QString line = QStringLiteral("%1: %2, %3 (%4)")
                       .arg(boardName(board), resultWord(board.result->outcome, station_), board.result->reason,
                            clockText(board.elapsed));
    if (station_)
        line += QStringLiteral("; %1 passed, %2 failed").arg(board.tally.passed).arg(board.tally.failed);
    printOut(line + '\n');
}

void PlainProgressView::waiting(const Boards& boards, std::size_t index)
{
    printOut(QStringLiteral("%1: waiting for %2\n").arg(boards[index].port, boards[index].waitingFor));
}

void PlainProgressView::ended(const Boards& boards)
{
    printOut(summaryText(boards, station_) + '\n');
}
