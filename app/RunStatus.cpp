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
    block_ = 0;
    blockCount_ = 0;
    clock_.start();
}

void RunStatus::blockSent(std::uint32_t block, std::uint32_t blockCount)
{
    block_ = block;
    blockCount_ = blockCount;
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
    text += QStringLiteral(" · %1 pacing").arg(pacingWord(pacing_));
    show(text, textColour());
}

void RunStatus::ended(const RunResult& result, const QString& sha256)
{
    running_ = false;
    const QString took = clockText(std::chrono::milliseconds(clock_.elapsed()));
    if (result.outcome != RunOutcome::Completed) {
        show(QStringLiteral("%1 (%2)").arg(result.reason, took), textColourWithHue(textColour(), kRedHue));
        return;
    }
    QString text = factoryReset_ ? QStringLiteral("Factory reset completed in %1").arg(took)
                                 : QStringLiteral("Flashing completed in %1").arg(took);
    if (result.image)
        text += QStringLiteral(" · %1 bytes · SHA-256 %2…")
                    .arg(result.image->size())
                    .arg(sha256.left(kShownHashDigits));
    show(text, textColourWithHue(textColour(), kGreenHue));
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
