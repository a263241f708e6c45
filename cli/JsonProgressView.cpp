#include "cli/JsonProgressView.h"

#include "cli/Console.h"
#include "cli/ProgressText.h"

#include <QJsonDocument>
#include <QJsonObject>

void JsonProgressView::showImage(const ImageFacts& image)
{
    image_ = image;
}

void JsonProgressView::started(const Boards& boards, std::size_t index)
{
    QJsonObject fields;
    if (image_) {
        fields.insert("image", image_->path);
        fields.insert("bytes", static_cast<qint64>(image_->bytes));
        fields.insert("sha256", image_->sha256);
    }
    print(QStringLiteral("start"), boards[index], fields);
}

void JsonProgressView::progressed(const Boards& boards, std::size_t index)
{
    print(QStringLiteral("progress"), boards[index], QJsonObject());
}

void JsonProgressView::finished(const Boards& boards, std::size_t index)
{
    const BoardProgress& board = boards[index];
    const bool completed = board.result->outcome == RunOutcome::Completed;
    print(completed ? QStringLiteral("done") : QStringLiteral("failed"), board,
          QJsonObject{{"result", resultName(board.result->outcome)}, {"reason", board.result->reason}});
}

void JsonProgressView::print(const QString& event, const BoardProgress& board, QJsonObject fields)
{
    fields.insert("event", event);
    fields.insert("port", board.port);
    fields.insert("block", static_cast<qint64>(board.block));
    fields.insert("blocks", static_cast<qint64>(board.blockCount));
    fields.insert("elapsed_ms", static_cast<qint64>(board.elapsed.count()));
    printOut(QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact)) + '\n');
}
