// What a production line relies on: approved jobs, a record that traces every
// board and that several stations share, and boards that do not wait for
// each other.
#include "OrvanneFlashFixture.h"
#include "session/RunRecordFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

namespace {

const QStringList kColumns{"start",       "end",      "duration_ms", "result", "reason",  "action",  "port",
                           "adapter",     "adapter_serial", "hardware_id", "image", "sha256", "bytes",  "blocks",
                           "job",         "station",  "operator",    "version", "pacing", "min_gap_ms"};

class ProductionLine : public OrvanneFlash
{
protected:
    QString sha256() const
    {
        return QString::fromLatin1(QCryptographicHash::hash(QByteArray(reinterpret_cast<const char*>(image.data()),
                                                                       static_cast<qsizetype>(image.size())),
                                                            QCryptographicHash::Sha256)
                                       .toHex());
    }

    // A job in a folder of its own that names the image by a relative path.
    QString writeJob(const QString& json) const
    {
        QDir(folder.path()).mkpath("jobs");
        return writeFile("jobs/line7.orvjob", json.toUtf8());
    }
};

TEST_F(ProductionLine, AJobFlashesItsApprovedImageWithItsSettingsAndIsRecorded)
{
    addChips(2);
    const QString recordPath = folder.filePath("runs.csv");
    const QString job = writeJob(R"({"job": "Line 7, rev C", "image": "../firmware.bin", "sha256": ")" + sha256().toUpper()
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
        const QDateTime start = QDateTime::fromString(row[0], Qt::ISODateWithMs);
        const QDateTime end = QDateTime::fromString(row[1], Qt::ISODateWithMs);
        EXPECT_EQ(start.msecsTo(end), row[2].toLongLong());
        EXPECT_EQ(row.mid(3, 3), (QStringList{"passed", "Flashing completed.", "flash"}));
        EXPECT_EQ(row.mid(11, 3), (QStringList{sha256(), "300", "2"}));
        EXPECT_EQ(row[14], "Line 7, rev C");
        EXPECT_EQ(row[15], "'=cmd|' /C calc'!A0") << "no formula for a spreadsheet";
        EXPECT_EQ(row[16], "Ana");
        EXPECT_EQ(row.mid(18), (QStringList{"acknowledged", "3"}));
    }
    EXPECT_NE(rows[1][6], rows[2][6]) << "one row per board";

    // The job's settings are approved as they stand.
    const Outcome overridden = run(QStringList{"flash", "--job", job, "--baud", "9600"} + portOptions());
    EXPECT_EQ(overridden.exitCode, 2);
    EXPECT_TRUE(overridden.err.contains("--baud: the job file sets it")) << overridden.err.toStdString();
}

TEST_F(ProductionLine, BadJobsAndAnImageNotApprovedAreRefusedBeforeAnyPortOpens)
{
    addChips(1);
    const QString recordPath = folder.filePath("runs.csv");
    const QString good = R"("job": "j", "image": "../firmware.bin", "sha256": ")" + sha256() + '"';
    const struct
    {
        QString json;
        int exitCode;
        QString says;
    } jobs[] = {
        {"{" + good + ",\n \"baud\": 9600,,}", 2, "line 2, column 16"},
        {"{" + good + ", \"stopbits\": 2}", 2, "unknown key \"stopbits\""},
        {"{" + good + ", \"parity\": \"often\"}", 2, "\"parity\": \"often\" is not one of none, odd, even, mark, space"},
        {R"({"job": "j", "image": "missing.bin", "sha256": ")" + sha256() + "\"}", 2, "missing.bin does not exist"},
        {R"({"job": "j", "image": "../firmware.bin", "sha256": "12ab"})", 2, "\"sha256\" must be 64 hexadecimal digits"},
        {R"({"image": "../firmware.bin"})", 2, "\"job\" is missing"},
        {R"({"job": "j", "image": "../firmware.bin", "sha256": ")" + QString(64, '0') + "\"}", 3, "its SHA-256 is " + sha256()},
    };
    for (const auto& job : jobs) {
        const Outcome outcome = run(QStringList{"flash", "--job", writeJob(job.json), "--record", recordPath} + portOptions());
        EXPECT_EQ(outcome.exitCode, job.exitCode) << job.json.toStdString();
        EXPECT_TRUE(outcome.err.contains(job.says)) << outcome.err.toStdString();
    }
    const Outcome missing = run(QStringList{"flash", "--job", folder.filePath("none.orvjob")} + portOptions());
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.contains("none.orvjob\": no such file")) << missing.err.toStdString();
    EXPECT_TRUE(chips[0]->record().events.empty()) << "a refused job wrote to a chip";
    EXPECT_FALSE(QFileInfo::exists(recordPath)) << "the record is made by its first row only";
}

// The record is never the image, by name or by another name; a file with
// other columns is not appended to.
TEST_F(ProductionLine, ARecordThatCannotTakeTheRowsIsRefusedUntouched)
{
    addChips(1);
    const QString link = folder.filePath("link.csv");
    ASSERT_TRUE(QFile::link(imagePath, link));
    const QString foreign = writeFile("other.csv", "time,port\r\n2026,COM3\r\n");
    // Another program holds this one locked, and keeps it so.
    const QString locked = writeFile("locked.csv", {});
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
    QFile firmware(imagePath);
    ASSERT_TRUE(firmware.open(QIODevice::ReadOnly));
    EXPECT_EQ(firmware.readAll().size(), 300);
    EXPECT_EQ(QFileInfo(foreign).size(), 22);
    EXPECT_TRUE(chips[0]->record().events.empty());
}

// Ports that cannot be opened fail on their own, each with its row; the
// others are flashed.
TEST_F(ProductionLine, KeepGoingFlashesTheBoardsWhosePortsOpen)
{
    addChips(3);
    const QString recordPath = folder.filePath("runs.csv");
    const QString missing = folder.filePath("ttyUSB9");
    QStringList ports = portOptions();
    ports.insert(2, "--port");
    ports.insert(3, missing);
    const Outcome outcome = run(QStringList{"flash", imagePath, "--keep-going", "--record", recordPath} + ports);
    EXPECT_EQ(outcome.exitCode, 1);
    for (const auto& chip : chips)
        EXPECT_EQ(chip->image(), image);
    EXPECT_TRUE(outcome.out.contains("3 of 4 boards OK; FAILED: " + missing)) << outcome.out.toStdString();
    const std::vector<QStringList> rows = recordRows(recordPath);
    ASSERT_EQ(rows.size(), 5u);
    int failed = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (rows[i][6] == missing) {
            ++failed;
            EXPECT_EQ(rows[i][3], "failed");
            EXPECT_TRUE(rows[i][4].startsWith("Port not opened: no such port")) << rows[i][4].toStdString();
        }
    }
    EXPECT_EQ(failed, 1);
}

// Two stations append to one record at once, each row from its own process
// as soon as both are ready: every row whole on its own line, one header.
TEST_F(ProductionLine, TwoProcessesShareTheRecordWithoutABrokenLine)
{
    const QString recordPath = folder.filePath("shared.csv");
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
    std::map<QString, int> perStation;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), kColumns.size()) << rows[i].join(',').toStdString();
        ++perStation[rows[i][15]];
    }
    EXPECT_EQ(perStation["A"], 300);
    EXPECT_EQ(perStation["B"], 300);
}

} // namespace
