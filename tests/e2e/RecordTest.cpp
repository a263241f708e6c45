// The window's record of its runs, against the chip simulator: one row per
// run in the command line's columns, and no run that passes as recorded when
// its row cannot be written.
#include "session/RunRecordFile.h"
#include "session/Version.h"
#include "simulator/ChipSimulator.h"
#include "tests/support/WindowDriver.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

class Record : public testing::Test
{
protected:
    Record() : image(700, '\0')
    {
        for (int i = 0; i < image.size(); ++i)
            image[i] = static_cast<char>(i * 13 + 1);
        imagePath = write("image.bin", image);
        driver.answerer.armToChooseFile(recordPath);
        driver.widget<QAction>("actionRecordFile").trigger();
    }

    QString write(const QString& name, const QByteArray& bytes)
    {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return file.fileName();
    }

    void openPort()
    {
        driver.typePort(QString::fromStdString(chip.slavePath()));
        driver.press("pushButtonOpen");
    }

    // The record's rows, each by its columns' names.
    std::vector<std::map<QString, QString>> rows()
    {
        QFile file(recordPath);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
        EXPECT_EQ(lines.value(0) + "\r\n", RunRecordFile::kHeader);
        const QStringList columns = lines.value(0).split(',');
        std::vector<std::map<QString, QString>> found;
        for (const QString& line : lines.mid(1)) {
            const QStringList fields = line.split(',');
            EXPECT_EQ(fields.size(), columns.size()) << line.toStdString();
            found.emplace_back();
            for (int i = 0; i < columns.size() && i < fields.size(); ++i)
                found.back()[columns[i]] = fields[i];
        }
        return found;
    }

    QTemporaryDir folder;
    QString recordPath = folder.filePath("runs.csv");
    QByteArray image;
    QString imagePath;
    ChipSimulator chip;
    WindowDriver driver;
};

TEST_F(Record, AFlashWritesOneRowWithTheWindowsFactsAndItsOwnTimes)
{
    const QString sha256 = QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex();
    driver.window->openJob(write("line7.orvjob", QStringLiteral(R"({"job": "Line 7", "image": "image.bin",
        "sha256": "%1", "pacing": "protocol"})").arg(sha256).toUtf8()));
    openPort();
    const QDateTime before = QDateTime::currentDateTimeUtc();
    driver.press("pushButtonSend");
    ASSERT_TRUE(processEventsUntil([&] { return driver.progress() > 0; }));
    const QDateTime during = QDateTime::currentDateTimeUtc();
    ASSERT_EQ(driver.waitForRunEnd(), "Flashing completed.");
    const QDateTime after = QDateTime::currentDateTimeUtc();

    const auto recorded = rows();
    ASSERT_EQ(recorded.size(), 1u);
    std::map<QString, QString> row = recorded[0];
    const QDateTime start = QDateTime::fromString(row["start"], Qt::ISODateWithMs);
    const QDateTime end = QDateTime::fromString(row["end"], Qt::ISODateWithMs);
    EXPECT_TRUE(before <= start && start < during && during < end && end <= after) << row["start"].toStdString();
    for (const char* column : {"start", "end", "duration_ms", "adapter", "adapter_serial", "hardware_id"})
        row.erase(column);
    EXPECT_EQ(row, (std::map<QString, QString>{
                       {"result", "passed"}, {"reason", "Flashing completed."}, {"action", "flash"},
                       {"port", QString::fromStdString(chip.slavePath())}, {"image", imagePath},
                       {"sha256", sha256}, {"bytes", "700"}, {"blocks", "3"}, {"job", "Line 7"},
                       {"station", defaultStationName()}, {"operator", defaultOperatorName()},
                       {"version", ORVANNE_VERSION_TEXT}, {"pacing", "protocol"}, {"min_gap_ms", ""}}));
}

// Refused before anything is sent while the record is unusable; a run whose
// row cannot be written after all flashes the board but does not show DONE.
TEST_F(Record, ARunWhoseRowCannotBeWrittenIsNeverShownAsDone)
{
    driver.chooseFirmware(imagePath);
    openPort();
    const QStringList portOpened = driver.logLines();
    write("runs.csv", "other,columns\r\n");
    driver.pressAndAnswer("pushButtonSend");
    EXPECT_TRUE(driver.answerer.text().startsWith("Runs cannot be recorded in " + recordPath)) << driver.answerer.text();
    EXPECT_EQ(driver.logLines(), portOpened) << "nothing was sent";

    QFile::remove(recordPath);
    driver.press("pushButtonSend");
    QDir(folder.path()).mkdir("runs.csv"); // as a full disk would, the row's write fails
    ASSERT_EQ(driver.waitForRunEnd(), "Flashing completed.");
    EXPECT_EQ(chip.image(), std::vector<std::uint8_t>(image.begin(), image.end()));
    EXPECT_EQ(driver.text("labelVerdictWord"), "NOT RECORDED");
    EXPECT_TRUE(driver.logLines().last().startsWith("The run could not be recorded in " + recordPath)) << driver.logLines().last();
}

} // namespace
