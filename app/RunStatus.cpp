#include "app/RunStatus.h"

#include "app/PacingMenu.h"
#include "flash/FirmwareImage.h"
#include "session/ClockText.h"

#include <QLabel>
#include <QStatusBar>

namespace {

// A hue at the lightness of the palette's text, so it reads as well as the text does.
QColor textColourWithHue(const QColor& text, int hue)
{
    return QColor::fromHsl(hue, 200, text.lightness() < 128 ? 70 : 170);
}

constexpr int kGreenHue = 120;
constexpr int kRedHue = 0;
constexpr int kShownHashDigits = 16;

} // namespace

RunStatus::RunStatus(QStatusBar& bar) : label_(new QLabel(&bar))
{
    label_->setObjectName(QStringLiteral("labelRunStatus"));
    bar.addWidget(label_, 1);
}

void RunStatus::started(bool factoryReset, Pacing pacing)
{
    running_ = true;
    factoryReset_ = factoryReset;
    pacing_ = pacing;
    sinceFirstBlock_.invalidate();
    block_ = 0;
    blockCount_ = 0;
    clock_.start();
}

void RunStatus::blockSent(std::uint32_t block, std::uint32_t blockCount)
{
    // A restarted transfer counts afresh.
    if (block == 1)
        sinceFirstBlock_.start();
    block_ = block;
    blockCount_ = blockCount;
}

// Of the blocks written after the first, over the time they took.
std::optional<double> RunStatus::kibPerSecond() const
{
    const qint64 elapsedMs = sinceFirstBlock_.isValid() ? sinceFirstBlock_.elapsed() : 0;
    if (block_ < 2 || elapsedMs <= 0)
        return std::nullopt;
    return (block_ - 1) * double{kBlockSize} / 1024.0 / (static_cast<double>(elapsedMs) / 1000.0);
}

void RunStatus::tick(std::optional<std::chrono::milliseconds> timeLeft)
{
    if (!running_)
        return;
    QString stage;
    if (factoryReset_)
        stage = QStringLiteral("Factory reset");
    else if (block_ == 0)
        stage = QStringLiteral("Waiting for the bootloader");
    else
        stage = QStringLiteral("Block %1 of %2").arg(block_).arg(blockCount_);
    QString text = QStringLiteral("%1 · %2").arg(stage, clockText(std::chrono::milliseconds(clock_.elapsed())));
    if (timeLeft)
        text += QStringLiteral(" · about %1 left").arg(clockText(*timeLeft));
    if (const std::optional<double> speed = kibPerSecond())
        text += QStringLiteral(" · %1 KiB/s").arg(*speed, 0, 'f', 1);
    text += QStringLiteral(" · %1 pacing").arg(pacingWord(pacing_));
    show(text, textColour());
}

RunVerdict RunStatus::ended(const RunResult& result, const QString& sha256)
{
    running_ = false;
    const QString took = clockText(std::chrono::milliseconds(clock_.elapsed()));
    RunVerdict verdict;
    verdict.completed = result.outcome == RunOutcome::Completed;
    if (!verdict.completed) {
        verdict.outcome = QStringLiteral("%1 (%2)").arg(result.reason, took);
        show(verdict.outcome, textColourWithHue(textColour(), kRedHue));
        return verdict;
    }
    verdict.outcome = factoryReset_ ? QStringLiteral("Factory reset completed in %1").arg(took)
                                    : QStringLiteral("Flashing completed in %1").arg(took);
    QString text = verdict.outcome;
    if (result.image) {
        verdict.imageSize = result.image->size();
        verdict.imageSha256 = sha256;
        text += QStringLiteral(" · ") + verdict.imageText(kShownHashDigits);
    }
    show(text, textColourWithHue(textColour(), kGreenHue));
    return verdict;
}

QString RunVerdict::imageText(int hashDigits) const
{
    if (!imageSize)
        return QString();
    return QStringLiteral("%1 bytes · SHA-256 %2…").arg(*imageSize).arg(imageSha256.left(hashDigits));
}

void RunStatus::refused(const QString& reason)
{
    show(reason, textColourWithHue(textColour(), kRedHue));
}

void RunStatus::show(const QString& text, const QColor& colour)
{
    QPalette palette = label_->palette();
    palette.setColor(QPalette::WindowText, colour);
    label_->setPalette(palette);
    label_->setText(text);
}

QColor RunStatus::textColour() const
{
    return label_->parentWidget()->palette().color(QPalette::WindowText);
}
