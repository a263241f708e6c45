#include "cli/RunRecord.h"

#include "cli/ProgressText.h"

#include <QStringList>

namespace {

const char* const kHeader =
    "time,port,adapter,hardware_id,image,sha256,bytes,blocks,result,reason,duration_ms\r\n";

// A field as CSV carries it: quoted, with its quotes doubled, when it holds a
// separator, a quote or a line break.
QString csvField(QString text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

bool RunRecord::open(const QString& path, QString& error)
{
    std::string reason;
    if (file_.open(path.toUtf8().toStdString(), reason))
        return true;
    error = QString::fromLocal8Bit(reason.c_str());
    return false;
}

bool RunRecord::append(const QDateTime& startedAt, const BoardProgress& board, const PortIdentity& identity,
                       const std::optional<ImageFacts>& image, QString& error)
{
    const QStringList fields{
        startedAt.toUTC().toString(Qt::ISODateWithMs),
        board.port,
        identity.adapterName,
        identity.hardwareId,
        image ? image->path : QString(),
        image ? image->sha256 : QString(),
        image ? QString::number(image->bytes) : QString(),
        image ? QString::number(image->blockCount) : QString(),
        resultName(board.result->outcome),
        board.result->reason,
        QString::number(board.elapsed.count()),
    };
    QStringList row;
    for (const QString& field : fields)
        row.append(csvField(field));
    std::string reason;
    if (file_.append(kHeader, (row.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8().toStdString(), reason))
        return true;
    error = QString::fromLocal8Bit(reason.c_str());
    return false;
}
