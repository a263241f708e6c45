#include "app/FlasherProgram.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

int visibleMainWindows()
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<MainWindow*>(widget) && widget->isVisible();
    return count;
}

TEST(FlasherProgram, ShowsTheWindowAndReturnsTheEventLoopsCode)
{
    int shownWhileRunning = -1;
    QTimer::singleShot(0, [&] {
        shownWhileRunning = visibleMainWindows();
        QCoreApplication::exit(42);
    });

    EXPECT_EQ(runFlasher(*qApp), 42);
    EXPECT_EQ(shownWhileRunning, 1);
    EXPECT_EQ(visibleMainWindows(), 0) << "the window outlives the program";
}

} // namespace
