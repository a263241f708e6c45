// A board torn down while its port goes away: once the session's destructor
// has returned nothing reaches what its signals were connected to, however
// the loss and the teardown interleave. Run under ASan and TSan in CI.
#include "session/BoardSession.h"
#include "simulator/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <thread>

TEST(BoardSession, ATeardownThatRacesALossLeavesNothingBehind)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> delayUs(0, 3000);
    int losses = 0;
    for (int round = 0; round < 150; ++round) {
        auto pty = std::make_unique<PseudoTerminal>();
        ASSERT_EQ(pty->error(), "");
        // What the command line's batch keeps for a board: freed right after it.
        auto reports = std::make_unique<std::atomic<int>>(0);
        auto board = std::make_unique<BoardSession>();
        for (auto signal : {&BoardSession::portLost, &BoardSession::logLine})
            QObject::connect(board.get(), signal, [counter = reports.get()] { ++*counter; });
        ASSERT_FALSE(board->open(QString::fromStdString(pty->slavePath()), LineSettings()));
        board->startFactoryReset();

        const int pullAfter = delayUs(random);
        const int dropAfter = delayUs(random);
        std::thread puller([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(pullAfter));
            pty->hangUp();
        });
        std::this_thread::sleep_for(std::chrono::microseconds(dropAfter));
        board.reset();
        losses += pullAfter < dropAfter;
        reports.reset();
        puller.join();
    }
    EXPECT_GT(losses, 30) << "too few rounds lost the port before the teardown to test the race";
}
