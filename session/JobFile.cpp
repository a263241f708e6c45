#include "session/JobFile.h"

#include "flash/FirmwareImage.h"
#include "flash/RegularFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cmath>

namespace {

// A job file is a few lines; anything this large is something else.
constexpr std::uint64_t kMaxJobFileBytes = 1 << 20;
constexpr double kMaxReplyDeadlineSeconds = 24 * 60 * 60;
constexpr double kMaxMinimumGapMilliseconds = 60 * 1000;

const QStringList& knownKeys()
{
    static const QStringList keys{"job",       "image",     "sha256",          "baud",   "parity",
                                  "data_bits", "stop_bits", "reply_timeout_s", "pacing", "min_gap_ms"};
    return keys;
}

// A refusal of the job file, as the message says.
struct JobError
{
    QString message;
};

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// "line 3, column 7" of a byte offset into the file.
QString placeOf(const QByteArray& bytes, int offset)
{
    const QByteArray before = bytes.left(offset);
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    return QStringLiteral("line %1, column %2").arg(before.count('\n') + 1).arg(offset - lineStart + 1);
}

QJsonObject parsed(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw JobError{placeOf(bytes, error.offset) + ": " + error.errorString()};
    if (!document.isObject())
        throw JobError{QStringLiteral("a job file holds one JSON object, { ... }")};
    return document.object();
}

QString text(const QJsonObject& job, const char* key)
{
    const QJsonValue value = job.value(QLatin1String(key));
    if (value.isUndefined())
        throw JobError{QStringLiteral("\"%1\" is missing").arg(QLatin1String(key))};
    if (!value.isString() || value.toString().trimmed().isEmpty())
        throw JobError{QStringLiteral("\"%1\" must be a text that is not empty").arg(QLatin1String(key))};
    return value.toString();
}

// A setting's word or number as the command line would take it.
std::optional<QString> wordOf(const QJsonObject& job, const char* key)
{
    const QJsonValue value = job.value(QLatin1String(key));
    if (value.isUndefined())
        return std::nullopt;
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QString::number(value.toDouble());
    throw JobError{QStringLiteral("\"%1\" must be a number or a text").arg(QLatin1String(key))};
}

double numberOf(const QString& word, const char* key)
{
    bool isNumber = false;
    const double number = word.toDouble(&isNumber);
    if (!isNumber || !std::isfinite(number))
        throw JobError{QStringLiteral("\"%1\": %2 is not a number").arg(QLatin1String(key), quoted(word))};
    return number;
}

template <typename Value>
void choose(Value& value, const QJsonObject& job, const char* key, const std::vector<LineChoice<Value>>& choices)
{
    const std::optional<QString> word = wordOf(job, key);
    if (!word)
        return;
    const std::optional<Value> chosen = choiceForWord(choices, *word);
    if (!chosen)
        throw JobError{QStringLiteral("\"%1\": %2 is not one of %3").arg(QLatin1String(key), quoted(*word), choiceWords(choices))};
    value = *chosen;
}

template <typename Limit>
void limited(std::chrono::milliseconds& value, const QJsonObject& job, const char* key, Limit limit, const char* range)
{
    if (const std::optional<QString> word = wordOf(job, key)) {
        const std::optional<std::chrono::milliseconds> checked = limit(numberOf(*word, key));
        if (!checked)
            throw JobError{QStringLiteral("\"%1\": %2 is not %3").arg(QLatin1String(key), *word, QLatin1String(range))};
        value = *checked;
    }
}

Job jobOf(const QJsonObject& object, const QString& folder)
{
    for (const QString& key : object.keys()) {
        if (!knownKeys().contains(key))
            throw JobError{QStringLiteral("unknown key %1; the keys are %2").arg(quoted(key), knownKeys().join(", "))};
    }
    Job job;
    job.name = text(object, "job");
    job.imagePath = QDir::cleanPath(QDir(folder).absoluteFilePath(text(object, "image")));
    const std::optional<QString> sha256 = sha256FromText(text(object, "sha256"));
    if (!sha256)
        throw JobError{QStringLiteral("\"sha256\" must be 64 hexadecimal digits")};
    job.sha256 = *sha256;
    if (const std::optional<QString> baud = wordOf(object, "baud")) {
        const double rate = numberOf(*baud, "baud");
        if (rate <= 0 || rate > INT32_MAX || rate != std::floor(rate))
            throw JobError{QStringLiteral("\"baud\": %1 is not a baud rate (a whole number above 0)").arg(*baud)};
        job.line.baud = static_cast<int>(rate);
    }
    choose(job.line.parity, object, "parity", parityChoices());
    choose(job.line.dataBits, object, "data_bits", dataBitsChoices());
    choose(job.line.stopBits, object, "stop_bits", stopBitsChoices());
    choose(job.dialogue.pacing, object, "pacing", pacingChoices());
    limited(job.dialogue.replyDeadline, object, "reply_timeout_s", replyDeadlineFromSeconds,
            "a number of seconds above 0 and up to a day");
    limited(job.dialogue.minimumGap, object, "min_gap_ms", minimumGapFromMilliseconds,
            "a whole number of milliseconds from 0 to 60000");
    if (!QFileInfo::exists(job.imagePath))
        throw JobError{QStringLiteral("the image %1 does not exist").arg(job.imagePath)};
    return job;
}

} // namespace

JobFileRead readJobFile(const QString& path)
{
    const RegularFileRead file = readRegularFile(path, kMaxJobFileBytes);
    JobFileRead read;
    switch (file.status) {
    case RegularFileRead::Status::Read: break;
    case RegularFileRead::Status::CannotOpen:
        read.error = QFileInfo::exists(path) ? QStringLiteral("it cannot be read") : QStringLiteral("no such file");
        return read;
    case RegularFileRead::Status::NotRegular: read.error = QStringLiteral("it is %1").arg(QLatin1String(file.kind)); return read;
    case RegularFileRead::Status::TooLarge: read.error = QStringLiteral("it is too large for a job file"); return read;
    case RegularFileRead::Status::ShortRead:
    case RegularFileRead::Status::NoMemory: read.error = QStringLiteral("it could not be read whole"); return read;
    }
    try {
        const QByteArray bytes(reinterpret_cast<const char*>(file.bytes.data()), static_cast<qsizetype>(file.bytes.size()));
        read.job = jobOf(parsed(bytes), QFileInfo(path).absolutePath());
    } catch (const JobError& error) {
        read.error = error.message;
    }
    return read;
}

std::optional<QString> sha256FromText(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.size() != 64)
        return std::nullopt;
    for (const QChar c : trimmed) {
        if (!std::isxdigit(c.toLatin1()) || c.unicode() > 0x7F)
            return std::nullopt;
    }
    return trimmed.toLower();
}

std::optional<std::chrono::milliseconds> replyDeadlineFromSeconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0 || seconds > kMaxReplyDeadlineSeconds)
        return std::nullopt;
    return std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000)));
}

std::optional<std::chrono::milliseconds> minimumGapFromMilliseconds(double milliseconds)
{
    if (!std::isfinite(milliseconds) || milliseconds < 0 || milliseconds > kMaxMinimumGapMilliseconds
        || milliseconds != std::floor(milliseconds))
        return std::nullopt;
    return std::chrono::milliseconds(static_cast<long long>(milliseconds));
}

QString sha256Mismatch(const FirmwareImage& image, const QString& expectedSha256)
{
    const QString actual = image.sha256Hex();
    if (actual == expectedSha256)
        return QString();
    return QStringLiteral("its SHA-256 is %1, but %2 was approved").arg(actual, expectedSha256);
}
