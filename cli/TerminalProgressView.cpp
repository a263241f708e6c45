#include "cli/TerminalProgressView.h"

#include "cli/Console.h"
#include "cli/ProgressText.h"
#include "cli/Terminal.h"

#include <algorithm>

namespace {

const char* const kCursorUpLines = "\x1b[%1A";
const char* const kEraseLine = "\r\x1b[2K";

} // namespace

QString TerminalProgressView::stateText(const BoardProgress& board) const
{
    QString text;
    if (station_ && board.boardNumber > 0)
        text = QStringLiteral("#%1  ").arg(board.boardNumber);
    if (board.result) {
        text += QStringLiteral("%1  %2  %3")
                    .arg(resultWord(board.result->outcome, station_).leftJustified(6), board.result->reason,
                         clockText(board.elapsed));
    } else if (board.waitingFor.isEmpty()) {
        const QString times = timesText(board, QStringLiteral("  "));
        if (board.blockCount == 0) {
            text += QStringLiteral("factory reset  ") + times;
        } else {
            const int countWidth = static_cast<int>(QString::number(board.blockCount).size());
            text += QStringLiteral("block %1/%2  %3%  ")
                        .arg(board.block, countWidth)
                        .arg(board.blockCount)
                        .arg(percentDone(board), 3)
                    + times;
        }
    }
    if (!station_)
        return text;
    if (!board.waitingFor.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("  -  ")) + QStringLiteral("waiting for ") + board.waitingFor;
    return text + QStringLiteral("  [%1 passed, %2 failed]").arg(board.tally.passed).arg(board.tally.failed);
}

void TerminalProgressView::showRun(const std::optional<ImageFacts>& image, const DialogueSettings& dialogue)
{
    printOut((image ? imageLine(*image) + QStringLiteral(", ") : QString()) + pacingText(dialogue) + '\n');
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

void TerminalProgressView::waiting(const Boards& boards, std::size_t)
{
    redraw(boards, true);
}

void TerminalProgressView::refresh(const Boards& boards)
{
    redraw(boards, true);
}

void TerminalProgressView::ended(const Boards& boards)
{
    redraw(boards, false);
    printOut(summaryText(boards, station_) + '\n');
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
