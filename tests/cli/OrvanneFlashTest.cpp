// orvanne-flash as a production line calls it: a subprocess flashing
// simulated chips on pseudo-terminals, judged by what the chips received, its
// exit status and what it printed.
#include "simulator/ChipSimulator.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TtyLineView.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <memory>

namespace {

using namespace std::chrono_literals;

struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

class OrvanneFlash : public testing::Test
{
protected:
    // Two blocks, the second one short: each run costs the chip's pauses.
    void SetUp() override
    {
        for (int i = 0; i < 300; ++i)
            image.push_back(static_cast<std::uint8_t>(i * 7 + 3));
        imagePath = folder.filePath("firmware.bin");
        QFile file(imagePath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
    }

    void addChips(std::size_t count, ChipBehaviour behaviour = {})
    {
        for (std::size_t i = 0; i < count; ++i)
            chips.push_back(std::make_unique<ChipSimulator>(behaviour));
    }

    QStringList portOptions() const
    {
        QStringList options;
        for (const auto& chip : chips)
            options << "--port" << QString::fromStdString(chip->slavePath());
        return options;
    }

    static Outcome run(const QStringList& arguments, const std::function<void()>& inChild = {})
    {
        QProcess process;
        if (inChild)
            process.setChildProcessModifier(inChild);
        process.start(ORVANNE_FLASH, arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }

    QTemporaryDir folder;
    QString imagePath;
    std::vector<std::uint8_t> image;
    std::vector<std::unique_ptr<ChipSimulator>> chips;
};

TEST_F(OrvanneFlash, FlashesOneTwoAndEightChipsAtOnceAndRecordsEveryRun)
{
    const QString recordPath = folder.filePath("runs.csv");
    int expectedRows = 0;
    for (const std::size_t boards : {1, 2, 8}) {
        chips.clear();
        addChips(boards);
        const Outcome outcome = run(QStringList{"flash", imagePath, "--record", recordPath} + portOptions());
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
        for (const auto& chip : chips) {
            EXPECT_EQ(chip->protocolError(), "");
            EXPECT_EQ(chip->image(), image) << chip->slavePath();
        }
        expectedRows += static_cast<int>(boards);
    }
    QFile record(recordPath);
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(record.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + expectedRows) << "one header, then one row per port and run";
    EXPECT_TRUE(lines[0].startsWith("time,port,"));
    EXPECT_EQ(lines.filter(",ok,Flashing completed.,").size(), expectedRows);
    EXPECT_EQ(lines.filter(QFileInfo(imagePath).absoluteFilePath()).size(), expectedRows);
}

TEST_F(OrvanneFlash, ASilentChipAndALostPortFailAloneWhileTheOthersComplete)
{
    addChips(1, ChipBehaviour::silent());
    addChips(1, ChipBehaviour::hangUpAfterBlock(1));
    addChips(3);
    const Outcome outcome = run(QStringList{"flash", imagePath, "--json", "--timeout", "1"} + portOptions());
    EXPECT_EQ(outcome.exitCode, 1);

    std::map<std::string, QJsonObject> lastEvent;
    for (const QString& line : outcome.out.split('\n', Qt::SkipEmptyParts)) {
        QJsonParseError error;
        const QJsonObject event = QJsonDocument::fromJson(line.toUtf8(), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        for (const char* field : {"event", "port", "block", "blocks", "elapsed_ms"})
            EXPECT_TRUE(event.contains(field)) << field << " in " << line.toStdString();
        lastEvent[event["port"].toString().toStdString()] = event;
    }
    ASSERT_EQ(lastEvent.size(), chips.size());
    const QJsonObject silent = lastEvent[chips[0]->slavePath()];
    EXPECT_EQ(silent["event"], "failed");
    EXPECT_EQ(silent["result"], "no-answer");
    EXPECT_TRUE(silent["reason"].toString().startsWith("No answer from the chip"));
    // The deadline asked for, not the default of 5 s, on the flasher's own clock.
    EXPECT_GE(silent["elapsed_ms"].toInt(), 1000);
    EXPECT_LT(silent["elapsed_ms"].toInt(), 4000);
    EXPECT_EQ(lastEvent[chips[1]->slavePath()]["result"], "port-lost");
    for (std::size_t i = 2; i < chips.size(); ++i) {
        EXPECT_EQ(chips[i]->image(), image);
        const QJsonObject done = lastEvent[chips[i]->slavePath()];
        EXPECT_EQ(done["event"], "done");
        EXPECT_EQ(done["result"], "ok");
    }
}

TEST_F(OrvanneFlash, TheLineSettingsAskedForReachTheLine)
{
    const struct
    {
        QStringList options;
        bool extraStopBit;
    } lines[] = {
        {{"--baud", "57600", "--stop-bits", "2"}, true},
        {{"--baud", "1200", "--stop-bits", "1.5", "--data-bits", "5"}, true},
        {{"--baud", "115200"}, false},
    };
    for (const auto& line : lines) {
        PtyPair pty;
        QProcess process;
        process.start(ORVANNE_FLASH, QStringList{"flash", imagePath, "--timeout", "1", "--port",
                                                 QString::fromStdString(pty.slavePath())} + line.options);
        // The boot-mode request has gone out: the port is open with the settings.
        ASSERT_EQ(pty.read(4, 10s), (std::vector<std::uint8_t>{0x10, 0x05, 0x10, 0x66}))
            << line.options.join(' ').toStdString() << ": " << process.readAllStandardError().toStdString();
        const TtyLineView seen = TtyLineView::ofSlaveOf(pty.masterFd());
        EXPECT_EQ(seen.baudRate, line.options[1].toUInt());
        EXPECT_EQ(seen.extraStopBit, line.extraStopBit) << line.options.join(' ').toStdString();
        process.kill();
        process.waitForFinished(10000);
    }
}

// A board that cannot be traced must not pass as a success.
TEST_F(OrvanneFlash, ARunThatCannotBeRecordedFails)
{
    addChips(1);
    const QString recordPath = folder.filePath("runs.csv");
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
}

// Nothing reaches any chip unless everything was accepted: options, image
// and every port.
TEST_F(OrvanneFlash, RefusalsNameTheirCauseAndWriteNothing)
{
    addChips(1);
    const QStringList port = portOptions();
    const QString emptyPath = folder.filePath("empty.bin");
    ASSERT_TRUE(QFile(emptyPath).open(QIODevice::WriteOnly));
    const struct
    {
        QStringList arguments;
        int exitCode;
        QString cause;
    } refusals[] = {
        {QStringList{"flash", folder.filePath("missing.bin")} + port, 2, "does not exist"},
        {QStringList{"flash", imagePath, "--parity", "sometimes"} + port, 2, "--parity"},
        {QStringList{"flash", folder.path()} + port, 3, "is a directory"},
        {QStringList{"flash", emptyPath} + port, 3, "empty"},
        {QStringList{"flash", imagePath, "--port", "/dev/orvanne-no-such-port"} + port, 3, "no such port"},
    };
    for (const auto& refusal : refusals) {
        const Outcome outcome = run(refusal.arguments);
        EXPECT_EQ(outcome.exitCode, refusal.exitCode) << refusal.arguments.join(' ').toStdString();
        EXPECT_TRUE(outcome.err.contains(refusal.cause)) << outcome.err.toStdString();
    }
    EXPECT_TRUE(chips[0]->record().events.empty()) << "a refused batch wrote to a chip";
}

TEST_F(OrvanneFlash, TerminationCancelsTheRunsAndExitsWith130)
{
    addChips(2, ChipBehaviour::silent());
    QProcess process;
    process.start(ORVANNE_FLASH, QStringList{"flash", imagePath} + portOptions());
    for (const auto& chip : chips)
        ASSERT_TRUE(chip->waitUntil([](const ChipRecord& seen) { return seen.count(ChipMessage::BootModeRequest) == 1; }, 10s));
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_EQ(process.readAllStandardOutput().count("FAILED, Run cancelled."), 2);
}

// The two commands together, as a person tries them without hardware.
TEST_F(OrvanneFlash, WhatOrvanneChipsimReceivesIsTheFileFlashed)
{
    const QString received = folder.filePath("received.bin");
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
