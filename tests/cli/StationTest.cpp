// The station loop: boards put in place one after the other on each port,
// flashed, recorded and counted, until Ctrl-C.
#include "OrvanneFlashFixture.h"

#include <algorithm>
#include <csignal>
#include <future>

namespace {

using namespace std::chrono_literals;

// The image a chip holds when it has acknowledged the exit, once the station
// has asked `asks` times since whether a board is there (asked only after
// it has taken that answer); none if the board was flashed again meanwhile.
std::vector<std::uint8_t> imageAtExit(ChipSimulator& chip, long asks)
{
    std::vector<std::uint8_t> kept;
    chip.waitUntil([&](const ChipRecord& seen) {
        const auto exited = std::find_if(seen.events.begin(), seen.events.end(),
                                         [](const ChipEvent& event) { return event.message == ChipMessage::BootExited; });
        const auto asked = [&](ChipMessage message) {
            return std::count_if(exited, seen.events.end(), [&](const ChipEvent& event) { return event.message == message; });
        };
        if (exited != seen.events.end() && asked(ChipMessage::BootModeRequest) == 0)
            kept = seen.image;
        if (asked(ChipMessage::DataBlock) > 0)
            kept.clear();
        return exited != seen.events.end() && asked(ChipMessage::BootModeRequest) >= asks;
    }, 30s);
    return kept;
}

// On the first port each board brings its own adapter: taking it away takes
// the port, and the next board brings a port under the same name. On the
// second the adapter stays, and boards come and go on its one open line.
TEST_F(OrvanneFlash, AStationFlashesBoardAfterBoardOnEachPortUntilCtrlC)
{
    const QString recordPath = files.folder.filePath("runs.csv");
    const QString withAdapter = files.folder.filePath("fixture0");
    std::unique_ptr<ChipSimulator> boardWithAdapter;
    ChipSimulator fixedAdapter;
    const QString fixed = QString::fromStdString(fixedAdapter.slavePath());
    QProcess station;
    station.start(ORVANNE_FLASH, {"station", imagePath, "--json", "--record", recordPath, "--port", withAdapter, "--port", fixed});
    QStringList lines;
    // Once the fixed adapter's board is off, the station waits for the next
    // one there after 2 s in which no chip answered.
    const auto waitUntilStationWaitsOnFixedAdapter = [&](int times) {
        while (lines.filter(R"("for":"a board")").filter(fixed).size() < times) {
            ASSERT_TRUE(station.waitForReadyRead(30000));
            while (station.canReadLine())
                lines << QString::fromUtf8(station.readLine()).trimmed();
        }
    };
    for (int round = 0; round < 3; ++round) {
        boardWithAdapter = std::make_unique<ChipSimulator>();
        ASSERT_TRUE(QFile::link(QString::fromStdString(boardWithAdapter->slavePath()), withAdapter));
        fixedAdapter.newBoard();
        auto first = std::async(std::launch::async, [&] { return imageAtExit(*boardWithAdapter, 1); });
        // A board that stays answers, and is not taken for a new one.
        auto second = std::async(std::launch::async, [&] { return imageAtExit(fixedAdapter, 4); });
        EXPECT_EQ(first.get(), image) << "round " << round;
        EXPECT_EQ(second.get(), image) << "round " << round;
        QFile::remove(withAdapter);
        boardWithAdapter.reset();
        fixedAdapter.removeBoard();
        waitUntilStationWaitsOnFixedAdapter(round + 2);
    }
    // A board that is being flashed when the station ends is recorded as cancelled.
    fixedAdapter.newBoard();
    ASSERT_TRUE(fixedAdapter.waitUntil([](const ChipRecord& seen) { return seen.count(ChipMessage::DataBlock) > 0; }, 20s));
    ::kill(static_cast<pid_t>(station.processId()), SIGINT);
    ASSERT_TRUE(station.waitForFinished(10000));
    EXPECT_EQ(station.exitCode(), 0) << "no board failed";

    lines += QString::fromUtf8(station.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().startsWith(R"({"cancelled":1,"event":"summary","failed":0,"passed":6,)")) << lines.last().toStdString();
    EXPECT_EQ(lines.filter("\"event\":\"start\"").size(), 7);

    const std::vector<QStringList> rows = recordRows(recordPath);
    ASSERT_EQ(rows.size(), 8u);
    for (const QString& port : {withAdapter, fixed})
        EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [&](const QStringList& row) { return row[6] == port && row[3] == "passed"; }), 3);
    EXPECT_EQ(rows[7][3], "cancelled");
}

} // namespace
