// The station loop: boards put in place one after the other on each port,
// flashed, recorded and counted, until Ctrl-C.
#include "OrvanneFlashFixture.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <csignal>
#include <future>

namespace {

using namespace std::chrono_literals;

// A fixture port whose adapter sits on the board: taking the board away
// takes the port with it, and the next board brings a port of its own under
// the same name.
class BoardWithAdapter
{
public:
    explicit BoardWithAdapter(QString path) : path_(std::move(path)) {}

    void putInPlace()
    {
        chip_ = std::make_unique<ChipSimulator>();
        ASSERT_TRUE(QFile::link(QString::fromStdString(chip_->slavePath()), path_));
    }

    void takeAway()
    {
        QFile::remove(path_);
        chip_.reset();
    }

    ChipSimulator& chip() { return *chip_; }

private:
    QString path_;
    std::unique_ptr<ChipSimulator> chip_;
};

TEST_F(OrvanneFlash, AStationFlashesBoardAfterBoardOnEachPortUntilCtrlC)
{
    const QString recordPath = folder.filePath("runs.csv");
    std::vector<BoardWithAdapter> boards;
    boards.emplace_back(folder.filePath("fixture0"));
    boards.emplace_back(folder.filePath("fixture1"));
    QProcess station;
    station.start(ORVANNE_FLASH, {"station", imagePath, "--json", "--record", recordPath, "--port",
                                  folder.filePath("fixture0"), "--port", folder.filePath("fixture1")});
    for (int round = 0; round < 3; ++round) {
        for (BoardWithAdapter& board : boards)
            board.putInPlace();
        // What each chip holds when it has acknowledged the exit; the
        // station's next question whether the board is still there (it asks
        // once it has taken that answer) starts a new image.
        std::vector<std::future<std::vector<std::uint8_t>>> flashed;
        for (BoardWithAdapter& board : boards) {
            flashed.push_back(std::async(std::launch::async, [&board] {
                std::vector<std::uint8_t> kept;
                board.chip().waitUntil([&](const ChipRecord& seen) {
                    const auto exited = std::find_if(seen.events.begin(), seen.events.end(), [](const ChipEvent& event) {
                        return event.message == ChipMessage::BootExited;
                    });
                    const bool askedAgain = std::any_of(exited, seen.events.end(), [](const ChipEvent& event) {
                        return event.message == ChipMessage::BootModeRequest;
                    });
                    if (exited != seen.events.end() && !askedAgain)
                        kept = seen.image;
                    return exited != seen.events.end() && askedAgain;
                }, 30s);
                return kept;
            }));
        }
        for (std::size_t i = 0; i < boards.size(); ++i) {
            EXPECT_EQ(flashed[i].get(), image) << "round " << round << ", port " << i;
            boards[i].takeAway();
        }
    }
    // A board that is being flashed when the station ends is recorded as cancelled.
    boards[0].putInPlace();
    ASSERT_TRUE(boards[0].chip().waitUntil([](const ChipRecord& seen) { return seen.count(ChipMessage::DataBlock) > 0; }, 20s));
    ::kill(static_cast<pid_t>(station.processId()), SIGINT);
    ASSERT_TRUE(station.waitForFinished(10000));
    EXPECT_EQ(station.exitCode(), 0) << "no board failed";

    const QStringList lines = QString::fromUtf8(station.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    const QJsonObject summary = QJsonDocument::fromJson(lines.last().toUtf8()).object();
    EXPECT_EQ(summary["event"], "summary");
    EXPECT_EQ(summary["passed"], 6);
    EXPECT_EQ(summary["cancelled"], 1);
    EXPECT_EQ(summary["failed"], 0);
    EXPECT_EQ(lines.filter("\"event\":\"start\"").size(), 7);

    const std::vector<QStringList> rows = recordRows(recordPath);
    ASSERT_EQ(rows.size(), 8u);
    std::map<QString, int> passedPerPort;
    for (std::size_t i = 1; i < 7; ++i)
        passedPerPort[rows[i][6]] += rows[i][3] == "passed" ? 1 : 0;
    EXPECT_EQ(passedPerPort[folder.filePath("fixture0")], 3);
    EXPECT_EQ(passedPerPort[folder.filePath("fixture1")], 3);
    EXPECT_EQ(rows[7][3], "cancelled");
}

} // namespace
