// orvanne-flash flashing batches of simulated chips: every board at once,
// each failing alone, refusals before any byte goes out, and the ways a run
// is ended from outside.
#include "OrvanneFlashFixture.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TtyLineView.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/resource.h>

#include <csignal>

namespace {

using namespace std::chrono_literals;

TEST_F(OrvanneFlash, FlashesEightChipsAtOnceAndRecordsEveryRun)
{
    const QString recordPath = files.folder.filePath("runs.csv");
    addChips(8);
    const Outcome outcome = run(QStringList{"flash", imagePath, "--record", recordPath} + portOptions());
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    for (const auto& chip : chips) {
        EXPECT_EQ(chip->protocolError(), "");
        EXPECT_EQ(chip->image(), image) << chip->slavePath();
    }
    const std::vector<QStringList> rows = recordRows(recordPath);
    ASSERT_EQ(rows.size(), 9u) << "one header, then one row per port";
    for (std::size_t i = 1; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].mid(3, 2) + rows[i].mid(10, 1), (QStringList{"passed", "Flashing completed.", imagePath}));
    // A reset says what it did, not "Flashing completed.".
    const Outcome reset = run(QStringList{"reset"} + portOptions());
    EXPECT_EQ(reset.exitCode, 0);
    EXPECT_EQ(reset.out.count("OK, Factory reset completed."), 8) << reset.out.toStdString();
}

TEST_F(OrvanneFlash, ASilentChipAndALostPortFailAloneWhileTheOthersComplete)
{
    addChips(1, ChipBehaviour::silent());
    addChips(1, ChipBehaviour::hangUpAfterBlock(1));
    addChips(3);
    const QString recordPath = files.folder.filePath("runs.csv");
    const Outcome outcome =
        run(QStringList{"flash", imagePath, "--json", "--timeout", "0.5", "--record", recordPath} + portOptions());
    EXPECT_EQ(outcome.exitCode, 1);

    QStringList lines = outcome.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.takeLast().startsWith(R"({"cancelled":0,"event":"summary","failed":2,"passed":3,)"));
    std::map<std::string, QJsonObject> lastEvent;
    for (const QString& line : lines) {
        QJsonParseError error;
        const QJsonObject event = QJsonDocument::fromJson(line.toUtf8(), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        EXPECT_TRUE(event.contains("elapsed_ms")) << line.toStdString();
        lastEvent[event["port"].toString().toStdString()] = event;
    }
    ASSERT_EQ(lastEvent.size(), chips.size());
    const QJsonObject silent = lastEvent[chips[0]->slavePath()];
    EXPECT_EQ(silent["event"], "failed");
    EXPECT_EQ(silent["result"], "no-answer");
    EXPECT_TRUE(silent["reason"].toString().startsWith("No answer from the chip"));
    // The deadline asked for, not the default of 5 s, on the flasher's own clock.
    EXPECT_GE(silent["elapsed_ms"].toInt(), 500);
    EXPECT_LT(silent["elapsed_ms"].toInt(), 3500);
    EXPECT_EQ(lastEvent[chips[1]->slavePath()]["result"], "port-lost");
    for (std::size_t i = 2; i < chips.size(); ++i) {
        EXPECT_EQ(chips[i]->image(), image);
        const QJsonObject done = lastEvent[chips[i]->slavePath()];
        EXPECT_EQ(done["event"], "done");
        EXPECT_EQ(done["result"], "ok");
    }
    // Each row has its board's own times: the silent board's run ended first.
    std::map<QString, QDateTime> ends;
    for (const QStringList& row : recordRows(recordPath))
        ends[row[6]] = QDateTime::fromString(row[1], Qt::ISODateWithMs);
    const QDateTime silentEnd = ends[QString::fromStdString(chips[0]->slavePath())];
    for (std::size_t i = 2; i < chips.size(); ++i)
        EXPECT_LT(silentEnd, ends[QString::fromStdString(chips[i]->slavePath())]);
}

TEST_F(OrvanneFlash, TheLineSettingsAskedForReachTheLine)
{
    const std::pair<QStringList, bool> lines[] = {{{"--baud", "1200", "--stop-bits", "1.5", "--data-bits", "5"}, true},
                                                  {{"--baud", "115200"}, false}};
    for (const auto& [options, extraStopBit] : lines) {
        PtyPair pty;
        QProcess process;
        process.start(ORVANNE_FLASH, QStringList{"flash", imagePath, "--timeout", "1", "--port",
                                                 QString::fromStdString(pty.slavePath())} + options);
        // The boot-mode request has gone out: the port is open with the settings.
        ASSERT_EQ(pty.read(4, 10s), (std::vector<std::uint8_t>{0x10, 0x05, 0x10, 0x66}))
            << options.join(' ').toStdString() << ": " << process.readAllStandardError().toStdString();
        const TtyLineView seen = TtyLineView::ofSlaveOf(pty.masterFd());
        EXPECT_EQ(seen.baudRate, options[1].toUInt());
        EXPECT_EQ(seen.extraStopBit, extraStopBit) << options.join(' ').toStdString();
        process.kill();
        process.waitForFinished(10000);
    }
}

// A board that cannot be traced must not pass as a success.
TEST_F(OrvanneFlash, ARunThatCannotBeRecordedFails)
{
    addChips(1);
    const QString recordPath = files.folder.filePath("runs.csv");
    ASSERT_EQ(run(QStringList{"flash", imagePath, "--record", recordPath} + portOptions()).exitCode, 0);
    const qint64 recorded = QFileInfo(recordPath).size();
    // The file may not grow by a whole row: as on a full disk, the write fails.
    const Outcome outcome = run(QStringList{"flash", imagePath, "--record", recordPath} + portOptions(), [recorded] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(recorded + 10), static_cast<rlim_t>(recorded + 10)};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_TRUE(outcome.err.contains("could not be recorded")) << outcome.err.toStdString();
    EXPECT_EQ(chips[0]->image(), image) << "the board itself was flashed";
    EXPECT_EQ(QFileInfo(recordPath).size(), recorded) << "the torn row was cut off, or the next one would be glued to it";
}

// Ctrl-C, SIGTERM and a closed terminal's SIGHUP cancel every run, which is
// recorded as cancelled; a reader of the output that goes away ends the
// output, not the runs.
TEST_F(OrvanneFlash, SignalsCancelTheRunsAndAClosedPipeEndsOnlyTheOutput)
{
    const QString recordPath = files.folder.filePath("runs.csv");
    for (const int signal : {SIGTERM, SIGHUP}) {
        chips.clear();
        addChips(2, ChipBehaviour::silent());
        QProcess process;
        process.start(ORVANNE_FLASH, QStringList{"flash", imagePath, "--record", recordPath} + portOptions());
        for (const auto& chip : chips)
            ASSERT_TRUE(chip->waitUntil([](const ChipRecord& seen) { return seen.count(ChipMessage::BootModeRequest) == 1; }, 10s));
        ::kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(process.exitCode(), 130);
        EXPECT_EQ(process.readAllStandardOutput().count("CANCELLED, Run cancelled."), 2) << "not FAILED";
    }
    const std::vector<QStringList> rows = recordRows(recordPath);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[4][3], "cancelled");

    chips.clear();
    addChips(2);
    // From a shell whose reader takes the first line only; QProcess's own
    // process ignores SIGPIPE, which a child would inherit.
    QProcess shell;
    shell.setChildProcessModifier([] { std::signal(SIGPIPE, SIG_DFL); });
    shell.start("bash", QStringList{"-c", R"("$0" "$@" | head -n 1 >/dev/null; echo "${PIPESTATUS[0]}")", ORVANNE_FLASH,
                                    "flash", imagePath, "--record", recordPath} + portOptions());
    ASSERT_TRUE(shell.waitForFinished(20000));
    EXPECT_EQ(shell.readAllStandardOutput().trimmed(), "0") << "not killed by SIGPIPE (141)";
    for (const auto& chip : chips)
        EXPECT_EQ(chip->image(), image);
    EXPECT_EQ(recordRows(recordPath).size(), 7u) << "both boards recorded";
}

// The two commands together, as a person tries them without hardware.
TEST_F(OrvanneFlash, WhatOrvanneChipsimReceivesIsTheFileFlashed)
{
    const QString received = files.folder.filePath("received.bin");
    QProcess chipsim;
    chipsim.start(ORVANNE_CHIPSIM, {"--once", "--image-out", received});
    while (!chipsim.canReadLine())
        ASSERT_TRUE(chipsim.waitForReadyRead(10000));
    // The chip waits for the flasher to close the port, so its last answer is read.
    EXPECT_EQ(run({"flash", imagePath, "--port", QString::fromUtf8(chipsim.readLine()).trimmed()}).exitCode, 0);
    ASSERT_TRUE(chipsim.waitForFinished(10000));
    EXPECT_EQ(chipsim.exitCode(), 0);
    QFile file(received);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), image);
}

} // namespace
