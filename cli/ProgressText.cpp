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

QString clockText(std::chrono::milliseconds duration)
{
    const long long seconds = duration.count() / 1000;
    const QChar zero(u'0');
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero);
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
