#include "cli/ProgressText.h"

#include <QStringList>

void RunTally::count(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::Completed: ++passed; break;
    case RunOutcome::Cancelled: ++cancelled; break;
    default: ++failed; break;
    }
}

void RunTally::add(const RunTally& other)
{
    passed += other.passed;
    failed += other.failed;
    cancelled += other.cancelled;
}

unsigned int percentDone(const BoardProgress& board)
{
    if (board.result && board.result->outcome == RunOutcome::Completed)
        return 100;
    if (board.blockCount == 0)
        return 0;
    return static_cast<unsigned int>(std::uint64_t{board.block} * 100 / board.blockCount);
}

QString timesText(const BoardProgress& board, const QString& separator)
{
    QString text = QStringLiteral("%1 elapsed").arg(clockText(board.elapsed));
    if (board.timeLeft)
        text += separator + QStringLiteral("~%1 left").arg(clockText(*board.timeLeft));
    return text;
}

QString resultName(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::Completed: return QStringLiteral("ok");
    case RunOutcome::ImageRefused: return QStringLiteral("image-refused");
    case RunOutcome::NoAnswer: return QStringLiteral("no-answer");
    case RunOutcome::Cancelled: return QStringLiteral("cancelled");
    case RunOutcome::PortLost: return QStringLiteral("port-lost");
    case RunOutcome::Failed: break;
    }
    return QStringLiteral("failed");
}

QString resultWord(RunOutcome outcome, bool station)
{
    if (outcome == RunOutcome::Cancelled)
        return QStringLiteral("CANCELLED");
    if (outcome == RunOutcome::Completed)
        return station ? QStringLiteral("PASS") : QStringLiteral("OK");
    return station ? QStringLiteral("FAIL") : QStringLiteral("FAILED");
}

QString pacingText(const DialogueSettings& dialogue)
{
    if (dialogue.pacing == Pacing::Protocol)
        return QStringLiteral("protocol pacing");
    return QStringLiteral("acknowledged pacing, min gap %1 ms").arg(dialogue.minimumGap.count());
}

QString imageLine(const ImageFacts& image)
{
    return QStringLiteral("Image %1: %2 bytes, %3 blocks, SHA-256 %4")
        .arg(image.path)
        .arg(image.bytes)
        .arg(image.blockCount)
        .arg(image.sha256);
}

namespace {

QString tallyText(const RunTally& tally)
{
    return QStringLiteral("%1 passed, %2 failed, %3 cancelled").arg(tally.passed).arg(tally.failed).arg(tally.cancelled);
}

} // namespace

QString summaryText(const std::vector<BoardProgress>& boards, bool station)
{
    RunTally total;
    QStringList failed;
    QStringList cancelled;
    QStringList perPort;
    for (const BoardProgress& board : boards) {
        total.add(board.tally);
        if (board.tally.failed > 0)
            failed.append(board.port);
        if (board.tally.cancelled > 0)
            cancelled.append(board.port);
        perPort.append(board.port + ": " + tallyText(board.tally));
    }
    if (station)
        return QStringLiteral("%1 boards: %2 (%3).").arg(total.total()).arg(tallyText(total), perPort.join("; "));
    const qsizetype count = static_cast<qsizetype>(boards.size());
    if (total.passed == count)
        return count == 1 ? QStringLiteral("The board is OK.") : QStringLiteral("All %1 boards OK.").arg(count);
    QString text = QStringLiteral("%1 of %2 boards OK").arg(total.passed).arg(count);
    if (!failed.isEmpty())
        text += QStringLiteral("; FAILED: ") + failed.join(QStringLiteral(", "));
    if (!cancelled.isEmpty())
        text += QStringLiteral("; CANCELLED: ") + cancelled.join(QStringLiteral(", "));
    return text + QLatin1Char('.');
}
