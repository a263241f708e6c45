#include "cli/JsonProgressView.h"

#include "cli/Console.h"
#include "cli/ProgressText.h"
#include "session/LineSettings.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

void printObject(const QJsonObject& object)
{
    printOut(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + '\n');
}

void insertTally(QJsonObject& object, const RunTally& tally)
{
    object.insert("passed", static_cast<qint64>(tally.passed));
    object.insert("failed", static_cast<qint64>(tally.failed));
    object.insert("cancelled", static_cast<qint64>(tally.cancelled));
}

} // namespace

void JsonProgressView::showRun(const std::optional<ImageFacts>& image, const DialogueSettings& dialogue)
{
    if (image) {
        runFields_.insert("image", image->path);
        runFields_.insert("bytes", static_cast<qint64>(image->bytes));
        runFields_.insert("sha256", image->sha256);
    }
    runFields_.insert("pacing", choiceWord(pacingChoices(), dialogue.pacing));
    if (dialogue.pacing == Pacing::Acknowledged)
        runFields_.insert("min_gap_ms", static_cast<qint64>(dialogue.minimumGap.count()));
}

void JsonProgressView::started(const Boards& boards, std::size_t index)
{
    print(QStringLiteral("start"), boards[index], runFields_);
}

void JsonProgressView::progressed(const Boards& boards, std::size_t index)
{
    print(QStringLiteral("progress"), boards[index], QJsonObject());
}

void JsonProgressView::finished(const Boards& boards, std::size_t index)
{
    const BoardProgress& board = boards[index];
    const RunOutcome outcome = board.result->outcome;
    const QString event = outcome == RunOutcome::Completed   ? QStringLiteral("done")
                          : outcome == RunOutcome::Cancelled ? QStringLiteral("cancelled")
                                                             : QStringLiteral("failed");
    print(event, board, QJsonObject{{"result", resultName(outcome)}, {"reason", board.result->reason}});
}

void JsonProgressView::waiting(const Boards& boards, std::size_t index)
{
    print(QStringLiteral("waiting"), boards[index], QJsonObject{{"for", boards[index].waitingFor}});
}

void JsonProgressView::ended(const Boards& boards)
{
    RunTally total;
    QJsonArray ports;
    for (const BoardProgress& board : boards) {
        total.add(board.tally);
        QJsonObject port{{"port", board.port}};
        insertTally(port, board.tally);
        ports.append(port);
    }
    QJsonObject summary{{"event", "summary"}, {"ports", ports}};
    insertTally(summary, total);
    printObject(summary);
}

void JsonProgressView::print(const QString& event, const BoardProgress& board, QJsonObject fields) const
{
    fields.insert("event", event);
    fields.insert("port", board.port);
    fields.insert("block", static_cast<qint64>(board.block));
    fields.insert("blocks", static_cast<qint64>(board.blockCount));
    fields.insert("elapsed_ms", static_cast<qint64>(board.elapsed.count()));
    if (station_) {
        fields.insert("board", static_cast<qint64>(board.boardNumber));
        insertTally(fields, board.tally);
    }
    printObject(fields);
}
