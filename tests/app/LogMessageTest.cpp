// Status lines reach the log pane whole, cut at 255 bytes, in call order per
// thread, and at once when written on the GUI thread.
#include "app/MainWindow.h"
#include "tests/support/WindowTestHelpers.h"

#include <QPlainTextEdit>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

class LogMessage : public testing::Test
{
protected:
    QStringList lines() const
    {
        const QString text = child<QPlainTextEdit>(window, "plainTextEditSend").toPlainText();
        return text.isEmpty() ? QStringList() : text.split('\n');
    }

    MainWindow window;
};

TEST_F(LogMessage, OnTheGuiThreadAppendsAtOnce)
{
    window.logMessage("block %d of %u", 3, 8u);
    window.logMessage("%s", "done");
    EXPECT_EQ(lines(), (QStringList{"block 3 of 8", "done"}));
}

TEST_F(LogMessage, CutsAt255BytesEvenInsideACharacter)
{
    window.logMessage("%s", std::string(300, 'x').c_str());
    // 254 bytes, then the first byte of a two-byte character as the 255th.
    window.logMessage("%s\u00e9", std::string(254, 'y').c_str());

    const QStringList logged = lines();
    ASSERT_EQ(logged.size(), 2);
    EXPECT_EQ(logged[0], QString(255, 'x'));
    EXPECT_EQ(logged[1], QString(254, 'y') + QChar::ReplacementCharacter);
}

TEST_F(LogMessage, FromAWorkerIsPostedWithoutWaitingForTheGuiThread)
{
    // The GUI thread runs no events while it joins: a caller that waited for
    // the append would never return here.
    std::thread worker([this] { window.logMessage("from the event thread"); });
    worker.join();
    EXPECT_TRUE(lines().isEmpty()) << "appended off the GUI thread";

    ASSERT_TRUE(processEventsUntil([&] { return !lines().isEmpty(); }));
    EXPECT_EQ(lines(), QStringList{"from the event thread"});
}

TEST_F(LogMessage, FromWorkerThreadsArrivesCompleteAndInOrder)
{
    constexpr int kLinesPerThread = 500;
    const auto writer = [this](char name) {
        for (int i = 0; i < kLinesPerThread; ++i)
            window.logMessage("%c %d", name, i);
    };
    std::thread first(writer, 'a');
    std::thread second(writer, 'b');
    const bool arrived = processEventsUntil([&] { return lines().size() >= 2 * kLinesPerThread; });
    first.join();
    second.join();
    ASSERT_TRUE(arrived);

    const QStringList logged = lines();
    ASSERT_EQ(logged.size(), 2 * kLinesPerThread);
    for (const char name : {'a', 'b'}) {
        QStringList expected;
        for (int i = 0; i < kLinesPerThread; ++i)
            expected << QStringLiteral("%1 %2").arg(name).arg(i);
        EXPECT_EQ(logged.filter(QRegularExpression(QStringLiteral("^%1 ").arg(name))), expected);
    }
}

} // namespace
