#include "app/VerdictBand.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStyle>

namespace {

constexpr int kGreenHue = 120;
constexpr int kRedHue = 0;
constexpr double kWordScale = 1.5;
constexpr int kIconSize = 32;
constexpr int kMargin = 4;
// As many as fit beside the Clear button at the designed width.
constexpr int kShownHashDigits = 8;

QLabel* plainLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

VerdictBand::VerdictBand(QProgressBar& bar, QWidget& clearButton)
    : QFrame(bar.parentWidget()), bar_(bar), clearButton_(clearButton), icon_(new QLabel(this)),
      word_(plainLabel(this, "labelVerdictWord")), outcome_(plainLabel(this, "labelVerdictOutcome")),
      image_(plainLabel(this, "labelVerdictImage"))
{
    setObjectName(QStringLiteral("frameVerdict"));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    QFont large = word_->font();
    large.setBold(true);
    large.setPointSizeF(large.pointSizeF() * kWordScale);
    word_->setFont(large);
    outcome_->setWordWrap(true);
    // Cut short with an ellipsis where the band is narrow, never clipped.
    image_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    image_->installEventFilter(this);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setHorizontalSpacing(2 * kMargin);
    layout->setVerticalSpacing(0);
    layout->addWidget(icon_, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(word_, 0, 1);
    layout->addWidget(outcome_, 1, 1);
    layout->addWidget(image_, 2, 1);
    layout->setColumnStretch(1, 1);

    // The bar keeps its place in the layout while the band hides it.
    QSizePolicy policy = bar_.sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    bar_.setSizePolicy(policy);
    for (QObject* watched : {static_cast<QObject*>(&bar_), static_cast<QObject*>(&clearButton_),
                             static_cast<QObject*>(parentWidget())})
        watched->installEventFilter(this);
    hide();
}

void VerdictBand::showVerdict(const RunVerdict& verdict)
{
    completed_ = verdict.completed && verdict.recorded;
    const QStyle::StandardPixmap icon =
        completed_ ? QStyle::SP_DialogApplyButton : QStyle::SP_MessageBoxCritical;
    icon_->setPixmap(style()->standardIcon(icon).pixmap(kIconSize, kIconSize));
    if (!verdict.completed)
        word_->setText(tr("FAILED"));
    else
        word_->setText(verdict.recorded ? tr("DONE") : tr("NOT RECORDED"));
    outcome_->setText(verdict.outcome);
    imageText_ = verdict.imageText(kShownHashDigits);
    image_->setVisible(verdict.imageSize.has_value());
    elideImageText();
    colour();
    place();
    bar_.hide();
    show();
    clearButton_.raise();
}

void VerdictBand::clear()
{
    hide();
    bar_.show();
}

bool VerdictBand::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
        if (watched == image_)
            elideImageText();
        else
            place();
        break;
    case QEvent::PaletteChange:
        if (watched == parentWidget())
            colour();
        break;
    default: break;
    }
    return false;
}

// From the top of the Clear button's row to the bottom of the bar, across
// the bar's width; the contents start right of the button.
void VerdictBand::place()
{
    const QRect barArea = bar_.geometry();
    const QRect button = clearButton_.geometry();
    setGeometry(QRect(QPoint(barArea.left(), button.top()), barArea.bottomRight()));
    layout()->setContentsMargins(button.right() - barArea.left() + 1 + 2 * kMargin, kMargin, kMargin, kMargin);
}

void VerdictBand::elideImageText()
{
    image_->setText(image_->fontMetrics().elidedText(imageText_, Qt::ElideRight, image_->width()));
}

// A pale tint with deep text on a light palette, a deep tint with pale text
// on a dark one.
void VerdictBand::colour()
{
    const bool dark = parentWidget()->palette().color(QPalette::Window).lightness() < 128;
    const int hue = completed_ ? kGreenHue : kRedHue;
    QPalette palette = parentWidget()->palette();
    palette.setColor(QPalette::Window, QColor::fromHsl(hue, 150, dark ? 50 : 215));
    palette.setColor(QPalette::WindowText, QColor::fromHsl(hue, dark ? 80 : 200, dark ? 225 : 40));
    setPalette(palette);
}
