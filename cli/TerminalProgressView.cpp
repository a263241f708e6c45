#include "cli/TerminalProgressView.h"

#include "cli/Console.h"
#include "cli/ProgressText.h"
#include "cli/Terminal.h"

#include <algorithm>

namespace {

const char* const kCursorUpLines = "\x1b[%1A";
const char* const kEraseLine = "\r\x1b[2K";

QString stateText(const BoardProgress& board)
{
    if (board.result) {
        return QStringLiteral("%1  %2  %3")
            .arg(resultWord(board.result->outcome).leftJustified(6), board.result->reason, clockText(board.elapsed));
    }
    const QString times = timesText(board, QStringLiteral("  "));
    if (board.blockCount == 0)
        return QStringLiteral("factory reset  ") + times;
    const int countWidth = static_cast<int>(QString::number(board.blockCount).size());
    return QStringLiteral("block %1/%2  %3%  ")
               .arg(board.block, countWidth)
               .arg(board.blockCount)
               .arg(percentDone(board), 3)
        + times;
}

} // namespace

void TerminalProgressView::showImage(const ImageFacts& image)
{
    printOut(imageLine(image) + '\n');
}

void TerminalProgressView::started(const Boards& boards, std::size_t)
{
    redraw(boards, true);
}

void TerminalProgressView::progressed(const Boards& boards, std::size_t)
{
    redraw(boards, true);
}

void TerminalProgressView::finished(const Boards& boards, std::size_t)
{
    redraw(boards, true);
}

void TerminalProgressView::refresh(const Boards& boards)
{
    redraw(boards, true);
}

void TerminalProgressView::batchEnded(const Boards& boards)
{
    redraw(boards, false);
    printOut(batchSummary(boards) + '\n');
}

void TerminalProgressView::redraw(const Boards& boards, bool cutToWidth)
{
    qsizetype portWidth = 0;
    for (const BoardProgress& board : boards)
        portWidth = std::max(portWidth, board.port.size());
    const int columns = cutToWidth ? terminalColumns() : 0;

    QString text;
    if (linesDrawn_ > 0)
        text += QString::fromLatin1(kCursorUpLines).arg(linesDrawn_);
    for (const BoardProgress& board : boards) {
        QString line = board.port.leftJustified(portWidth) + QStringLiteral("  ") + stateText(board);
        if (columns > 1 && line.size() >= columns)
            line.truncate(columns - 1);
        text += QString::fromLatin1(kEraseLine) + line + '\n';
    }
    printOut(text);
    linesDrawn_ = boards.size();
}
