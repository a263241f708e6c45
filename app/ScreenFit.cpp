#include "app/ScreenFit.h"

#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>

ScreenFit::ScreenFit(QMainWindow& window)
{
    const QScreen* screen = window.screen();
    if (!screen)
        return;
    // Before the window is shown its frame is unknown: a title bar's height
    // stands for it.
    const int frame = window.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QRect available = screen->availableGeometry().adjusted(0, 0, 0, -frame);
    const QSize designed = window.minimumSize();
    if (designed.width() <= available.width() && designed.height() <= available.height())
        return;

    scrollArea_ = new QScrollArea(&window);
    scrollArea_->setObjectName(QStringLiteral("scrollAreaCentral"));
    scrollArea_->setFrameShape(QFrame::NoFrame);
    scrollArea_->setWidgetResizable(true);
    scrollArea_->setWidget(window.takeCentralWidget());
    window.setCentralWidget(scrollArea_);

    const QSize fitting = designed.boundedTo(available.size());
    window.setMinimumSize(fitting);
    window.setGeometry(QRect(available.topLeft(), window.size().boundedTo(available.size()).expandedTo(fitting)));
}

void ScreenFit::reveal(QWidget& widget)
{
    if (scrollArea_)
        scrollArea_->ensureWidgetVisible(&widget);
}
