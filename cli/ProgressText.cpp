#include "cli/ProgressText.h"

#include <QStringList>

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

QString resultWord(RunOutcome outcome)
{
    return outcome == RunOutcome::Completed ? QStringLiteral("OK") : QStringLiteral("FAILED");
}

QString imageLine(const ImageFacts& image)
{
    return QStringLiteral("Image %1: %2 bytes, %3 blocks, SHA-256 %4")
        .arg(image.path)
        .arg(image.bytes)
        .arg(image.blockCount)
        .arg(image.sha256);
}

QString batchSummary(const std::vector<BoardProgress>& boards)
{
    QStringList failed;
    for (const BoardProgress& board : boards) {
        if (!board.result || board.result->outcome != RunOutcome::Completed)
            failed.append(board.port);
    }
    const qsizetype total = static_cast<qsizetype>(boards.size());
    if (failed.isEmpty())
        return total == 1 ? QStringLiteral("The board is OK.") : QStringLiteral("All %1 boards OK.").arg(total);
    return QStringLiteral("%1 of %2 boards OK; FAILED: %3.")
        .arg(total - failed.size())
        .arg(total)
        .arg(failed.join(QStringLiteral(", ")));
}
