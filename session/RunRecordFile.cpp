#include "session/RunRecordFile.h"

#include "flash/FirmwareImage.h"
#include "session/LineSettings.h"
#include "session/PrintableText.h"
#include "session/Version.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QSysInfo>

const char* const RunRecordFile::kHeader =
    "start,end,duration_ms,result,reason,action,port,adapter,adapter_serial,hardware_id,image,sha256,bytes,blocks,"
    "job,station,operator,version,pacing,min_gap_ms\r\n";

namespace {

QString timeText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

std::string nameOf(const QString& path)
{
    return QDir::toNativeSeparators(path).toUtf8().toStdString();
}

} // namespace

ImageFacts imageFactsOf(const QString& path, const FirmwareImage& image)
{
    return {QFileInfo(path).absoluteFilePath(), image.sha256Hex(), image.size(), image.blockCount()};
}

QString resultOf(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::Completed: return QStringLiteral("passed");
    case RunOutcome::Cancelled: return QStringLiteral("cancelled");
    default: return QStringLiteral("failed");
    }
}

QString defaultStationName()
{
    return QSysInfo::machineHostName();
}

QString defaultOperatorName()
{
    // USER on POSIX systems, USERNAME on Windows.
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("USERNAME") : user;
}

RunRecordFile::RunRecordFile(const QString& path) : path_(path), file_(nameOf(path), kHeader)
{
}

bool RunRecordFile::check(const QString& imagePath, QString& error) const
{
    std::string reason;
    if (file_.check(imagePath.isEmpty() ? std::string() : nameOf(imagePath), reason))
        return true;
    error = QString::fromUtf8(reason.c_str());
    return false;
}

bool RunRecordFile::append(const RecordedRun& run, QString& error) const
{
    const bool acknowledged = run.dialogue.pacing == Pacing::Acknowledged;
    const QStringList fields{
        timeText(run.start),
        timeText(run.end),
        QString::number(run.start.msecsTo(run.end)),
        resultOf(run.outcome),
        run.reason,
        run.factoryReset ? QStringLiteral("reset") : QStringLiteral("flash"),
        run.port,
        run.adapter.adapterName,
        run.adapter.serialNumber,
        run.adapter.hardwareId,
        run.image ? run.image->path : QString(),
        run.image ? run.image->sha256 : QString(),
        run.image ? QString::number(run.image->bytes) : QString(),
        run.image ? QString::number(run.image->blockCount) : QString(),
        run.job,
        run.station,
        run.operatorName,
        QStringLiteral(ORVANNE_VERSION_TEXT),
        choiceWord(pacingChoices(), run.dialogue.pacing),
        acknowledged ? QString::number(run.dialogue.minimumGap.count()) : QString(),
    };
    QStringList row;
    for (const QString& field : fields)
        row.append(csvField(printableText(field)));
    std::string reason;
    const std::string text = (row.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8().toStdString();
    if (file_.append(text, run.image ? nameOf(run.image->path) : std::string(), reason))
        return true;
    error = QString::fromUtf8(reason.c_str());
    return false;
}
