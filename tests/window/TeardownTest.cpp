// A window closed while its port goes away: the session goes first, and with
// it every thread that could still report to the widgets.
#include "simulator/PseudoTerminal.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

TEST(Window, ClosingItWhileItsPortIsLostIsSafe)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<int> delayUs(0, 3000);
    for (int round = 0; round < 150; ++round) {
        PseudoTerminal pty;
        ASSERT_EQ(pty.error(), "");
        WindowDriver driver;
        driver.typePort(QString::fromStdString(pty.slavePath()));
        driver.press("pushButtonOpen");
        ASSERT_TRUE(driver.portOpen());

        const int pullAfter = delayUs(random);
        std::thread puller([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(pullAfter));
            pty.hangUp();
        });
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        driver.window.reset();
        puller.join();
    }
}
