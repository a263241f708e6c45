// The window on a screen smaller than its designed size (run under Xvfb at
// 1024 x 600, and at 1280 x 900 with QT_SCALE_FACTOR=2): the whole window is
// on the screen, and what a run needs, Cancel and then the verdict, is in view.
#include "tests/support/PtyPair.h"
#include "tests/support/WindowDriver.h"

#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Wholly in view: on the screen, and not scrolled or clipped away.
void expectInView(const QWidget& widget, const QRect& screen)
{
    EXPECT_EQ(widget.visibleRegion().boundingRect(), widget.rect()) << widget.objectName().toStdString();
    EXPECT_TRUE(screen.contains(QRect(widget.mapToGlobal(QPoint(0, 0)), widget.size())));
}

} // namespace

TEST(SmallScreen, TheWholeWindowIsOnTheScreenAndARunKeepsWhatItNeedsInView)
{
    PtyPair pty; // a chip that never answers: the run waits with Cancel enabled
    WindowDriver driver;
    driver.typePort(QString::fromStdString(pty.slavePath()));
    driver.press("pushButtonOpen");
    driver.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(driver.window.get()));

    const QRect screen = driver.window->screen()->availableGeometry();
    ASSERT_TRUE(screen.width() < 750 || screen.height() < 690) << "a screen smaller than the designed size";
    EXPECT_TRUE(screen.contains(driver.window->frameGeometry()));

    driver.pressAndAnswer("pushButtonReset", QMessageBox::Yes);
    QCoreApplication::processEvents();
    expectInView(driver.widget<QPushButton>("pushButtonCancel"), screen);
    driver.press("pushButtonCancel");
    driver.waitForRunEnd();
    QCoreApplication::processEvents();
    expectInView(driver.widget<QWidget>("frameVerdict"), screen);
}
