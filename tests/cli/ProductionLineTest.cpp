// What a production line relies on: approved jobs, a record that traces every
// board and that several stations share, and boards that do not wait for
// each other.
#include "OrvanneFlashFixture.h"
#include "session/RunRecordFile.h"

#include <QDateTime>
#include <QDir>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>

namespace {

const QStringList kColumns{"start",       "end",      "duration_ms", "result", "reason",  "action",  "port",
                           "adapter",     "adapter_serial", "hardware_id", "image", "sha256", "bytes",  "blocks",
                           "job",         "station",  "operator",    "version", "pacing", "min_gap_ms"};

class ProductionLine : public OrvanneFlash
{
protected:
    // A job in a folder of its own that names the image by a relative path.
    QString writeJob(const QString& name, const QString& json) const
    {
        QDir(files.folder.path()).mkpath("jobs");
        return files.write("jobs/" + name + ".orvjob", json.toUtf8());
    }
};

TEST_F(ProductionLine, AJobFlashesItsApprovedImageWithItsSettingsAndIsRecorded)
{
    addChips(2);
    const QString recordPath = files.folder.filePath("runs.csv");
    const QString job = writeJob("line7", R"({"job": "Line 7, rev C", "image": "../image.bin", "sha256": ")" + files.sha256().toUpper()
                                 + R"(", "baud": 57600, "stop_bits": 2, "reply_timeout_s": 2, "pacing": "acknowledged", "min_gap_ms": 3})");
    const Outcome outcome = run(QStringList{"flash", "--job", job, "--record", recordPath, "--station", "=cmd|' /C calc'!A0",
                                            "--operator", "Ana"} + portOptions());
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.out.contains("acknowledged pacing, min gap 3 ms")) << outcome.out.toStdString();
    for (const auto& chip : chips)
        EXPECT_EQ(chip->image(), image);

    const std::vector<QStringList> rows = recordRows(recordPath);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], kColumns);
    for (const QStringList& row : {rows[1], rows[2]}) {
        ASSERT_EQ(row.size(), kColumns.size());
        EXPECT_EQ(QDateTime::fromString(row[0], Qt::ISODateWithMs).msecsTo(QDateTime::fromString(row[1], Qt::ISODateWithMs)),
                  row[2].toLongLong());
        EXPECT_EQ(row.mid(3, 3), (QStringList{"passed", "Flashing completed.", "flash"}));
        EXPECT_EQ(row.mid(11, 3), (QStringList{files.sha256(), "300", "2"}));
        // The station's name is no formula for a spreadsheet.
        EXPECT_EQ(row.mid(14, 3), (QStringList{"Line 7, rev C", "'=cmd|' /C calc'!A0", "Ana"}));
        EXPECT_EQ(row.mid(18), (QStringList{"acknowledged", "3"}));
    }
}

// Nothing reaches any chip, and no record is made, unless everything was
// accepted: options, job, image and every port.
TEST_F(ProductionLine, RefusalsNameTheirCauseAndWriteNothing)
{
    addChips(1);
    const QStringList port = portOptions();
    const QString neverPath = files.folder.filePath("never.csv");
    const QString good = R"("job": "j", "image": "../image.bin", "sha256": ")" + files.sha256() + '"';
    const auto flashJob = [&](const QString& name, const QString& json) {
        return QStringList{"flash", "--job", writeJob(name, json), "--record", neverPath} + port;
    };
    const struct
    {
        QStringList arguments;
        int exitCode;
        QString cause;
    } refusals[] = {
        {QStringList{"flash", files.folder.filePath("missing.bin")} + port, 2, "does not exist"},
        {QStringList{"flash", imagePath, "--parity", "sometimes"} + port, 2, "--parity"},
        {QStringList{"flash", files.folder.path()} + port, 3, "is a directory"},
        {QStringList{"flash", files.write("empty.bin", {})} + port, 3, "empty"},
        {QStringList{"flash", imagePath, "--record", neverPath, "--port", "/dev/orvanne-no-such-port"} + port, 3, "no such port"},
        {QStringList{"flash", files.write("app.bin", ":10000000F8FF0020C1000008C3000008C500000849\n")} + port, 3,
         "looks like an Intel HEX file; convert it"},
        {QStringList{"flash", imagePath, "--expect-sha256", QString(64, 'a')} + port, 3, "but " + QString(64, 'a') + " was approved"},
        {QStringList{"flash", imagePath, "--expect-sha256", "abc"} + port, 2, "is not a SHA-256"},
        {QStringList{"flash", imagePath, "--min-gap", "5"} + port, 2, "only with --pacing acknowledged"},
        {QStringList{"station", imagePath, "--keep-going"} + port, 2, "keeps going on its own"},
        {QStringList{"flash", "--job", files.folder.filePath("none.orvjob")} + port, 2, "none.orvjob\": no such file"},
        {flashJob("set", "{" + good + "}") + QStringList{"--baud", "9600"}, 2, "--baud: the job file sets it"},
        {flashJob("comma", "{" + good + ",\n \"baud\": 9600,,}"), 2, "line 2, column 16"},
        {flashJob("typo", "{" + good + ", \"stopbits\": 2}"), 2, "unknown key \"stopbits\""},
        {flashJob("parity", "{" + good + ", \"parity\": \"often\"}"), 2,
         "\"parity\": \"often\" is not one of none, odd, even, mark, space"},
        {flashJob("gone", R"({"job": "j", "image": "missing.bin", "sha256": ")" + files.sha256() + "\"}"), 2, "missing.bin does not exist"},
        {flashJob("short", R"({"job": "j", "image": "../image.bin", "sha256": "12ab"})"), 2, "\"sha256\" must be 64 hexadecimal digits"},
        {flashJob("nameless", R"({"image": "../image.bin"})"), 2, "\"job\" is missing"},
        {flashJob("other", R"({"job": "j", "image": "../image.bin", "sha256": ")" + QString(64, '0') + "\"}"), 3, "its SHA-256 is " + files.sha256()},
    };
    for (const auto& refusal : refusals) {
        const Outcome outcome = run(refusal.arguments);
        EXPECT_EQ(outcome.exitCode, refusal.exitCode) << refusal.arguments.join(' ').toStdString();
        EXPECT_TRUE(outcome.err.contains(refusal.cause)) << outcome.err.toStdString();
    }
    EXPECT_TRUE(chips[0]->record().events.empty()) << "a refused batch wrote to a chip";
    EXPECT_FALSE(QFileInfo::exists(neverPath)) << "the record is made by its first row only";
}

// The record is never the image, by name or by another name; a file with
// other columns is not appended to.
TEST_F(ProductionLine, ARecordThatCannotTakeTheRowsIsRefusedUntouched)
{
    addChips(1);
    const QString link = files.folder.filePath("link.csv");
    ASSERT_TRUE(QFile::link(imagePath, link));
    const QString foreign = files.write("other.csv", "time,port\r\n2026,COM3\r\n");
    // Another program holds this one locked, and keeps it so.
    const QString locked = files.write("locked.csv", {});
    const int lockedFd = ::open(QFile::encodeName(locked).constData(), O_RDONLY);
    ASSERT_EQ(flock(lockedFd, LOCK_EX), 0);
    const std::map<QString, QString> refusals{{imagePath, "it is the same file as " + imagePath},
                                              {link, "it is the same file as " + imagePath},
                                              {foreign, "it holds other columns (its first line is \"time,port\")"},
                                              {locked, "another program has held it locked for 5 s"}};
    for (const auto& [record, says] : refusals) {
        const Outcome outcome = run(QStringList{"flash", imagePath, "--record", record} + portOptions());
        EXPECT_EQ(outcome.exitCode, 2) << record.toStdString();
        EXPECT_TRUE(outcome.err.contains(says)) << outcome.err.toStdString();
    }
    ::close(lockedFd);
    EXPECT_EQ(QFileInfo(imagePath).size(), 300);
    EXPECT_EQ(QFileInfo(foreign).size(), 22);
    EXPECT_TRUE(chips[0]->record().events.empty());
}

// Ports that cannot be opened fail on their own, each with its row; the
// others are flashed.
TEST_F(ProductionLine, KeepGoingFlashesTheBoardsWhosePortsOpen)
{
    addChips(3);
    const QString recordPath = files.folder.filePath("runs.csv");
    const QString missing = files.folder.filePath("ttyUSB9");
    const QStringList ports = portOptions().mid(0, 2) + QStringList{"--port", missing} + portOptions().mid(2);
    const Outcome outcome = run(QStringList{"flash", imagePath, "--keep-going", "--record", recordPath} + ports);
    EXPECT_EQ(outcome.exitCode, 1);
    for (const auto& chip : chips)
        EXPECT_EQ(chip->image(), image);
    EXPECT_TRUE(outcome.out.contains("3 of 4 boards OK; FAILED: " + missing)) << outcome.out.toStdString();
    const std::vector<QStringList> rows = recordRows(recordPath);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [&](const QStringList& row) {
                  return row[6] == missing && row[3] == "failed" && row[4].startsWith("Port not opened: no such port");
              }), 1);
}

// Two stations append to one record at once, each row from its own process
// as soon as both are ready: every row whole on its own line, one header.
TEST_F(ProductionLine, TwoProcessesShareTheRecordWithoutABrokenLine)
{
    const QString recordPath = files.folder.filePath("shared.csv");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    std::vector<pid_t> writers;
    for (const char* station : {"A", "B"}) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            char go;
            bool written = ::read(ready[0], &go, 1) == 1;
            RecordedRun run;
            run.start = run.end = QDateTime::currentDateTimeUtc();
            run.reason = "Port not opened: no such port: unplugged, or a wrong name (not exist error, code 12)";
            run.station = station;
            const RunRecordFile record(recordPath);
            QString error;
            for (int row = 0; row < 300 && written; ++row) {
                run.port = QStringLiteral("ttyUSB%1").arg(row);
                written = record.append(run, error);
            }
            _exit(written ? 0 : 1);
        }
        writers.push_back(pid);
    }
    ASSERT_EQ(::write(ready[1], "gg", 2), 2);
    for (const pid_t pid : writers) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::vector<QStringList> rows = recordRows(recordPath);
    ASSERT_EQ(rows.size(), 601u);
    EXPECT_EQ(rows[0], kColumns);
    for (std::size_t i = 1; i < rows.size(); ++i)
        ASSERT_EQ(rows[i].size(), kColumns.size()) << rows[i].join(',').toStdString();
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const QStringList& row) { return row[15] == "A"; }), 300);
}

} // namespace
