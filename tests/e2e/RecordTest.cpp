// The window's record of its runs, against the chip simulator: one row per
// run in the command line's columns, and no run that passes as recorded when
// its row cannot be written.
#include "session/RunRecordFile.h"
#include "session/Version.h"
#include "simulator/ChipSimulator.h"
#include "tests/support/ImageFolder.h"
#include "tests/support/WindowDriver.h"

#include <QAction>
#include <QDir>

#include <gtest/gtest.h>

namespace {

class Record : public testing::Test
{
protected:
    Record()
    {
        driver.answerer.armToChooseFile(recordPath);
        driver.widget<QAction>("actionRecordFile").trigger();
        driver.typePort(QString::fromStdString(chip.slavePath()));
    }

    ImageFolder files{700};
    QString recordPath = files.folder.filePath("runs.csv");
    ChipSimulator chip;
    WindowDriver driver;
};

TEST_F(Record, AFlashWritesOneRowWithTheWindowsFactsAndItsOwnTimes)
{
    driver.window->openJob(files.write("line7.orvjob", QStringLiteral(R"({"job": "Line 7", "image": "image.bin",
        "sha256": "%1"})").arg(files.sha256()).toUtf8()));
    driver.press("pushButtonOpen");
    const QDateTime before = QDateTime::currentDateTimeUtc();
    driver.press("pushButtonSend");
    ASSERT_TRUE(processEventsUntil([&] { return driver.progress() > 0; }));
    const QDateTime during = QDateTime::currentDateTimeUtc();
    ASSERT_EQ(driver.waitForRunEnd(), "Flashing completed.");
    const QDateTime after = QDateTime::currentDateTimeUtc();

    QFile file(recordPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0] + "\r\n", RunRecordFile::kHeader);
    const QStringList row = lines[1].split(',');
    const QDateTime start = QDateTime::fromString(row[0], Qt::ISODateWithMs);
    const QDateTime end = QDateTime::fromString(row[1], Qt::ISODateWithMs);
    EXPECT_TRUE(before <= start && start < during && during < end && end <= after) << lines[1];
    EXPECT_EQ(row.mid(3), (QStringList{"passed", "Flashing completed.", "flash", QString::fromStdString(chip.slavePath()),
                                       "", "", "", files.imagePath, files.sha256(), "700", "3", "Line 7",
                                       defaultStationName(), defaultOperatorName(), ORVANNE_VERSION_TEXT, "protocol",
                                       ""}));
}

// Refused before anything is sent while the record is unusable; a run whose
// row cannot be written after all flashes the board but does not show DONE.
TEST_F(Record, ARunWhoseRowCannotBeWrittenIsNeverShownAsDone)
{
    driver.chooseFirmware(files.imagePath);
    driver.press("pushButtonOpen");
    const QStringList portOpened = driver.logLines();
    files.write("runs.csv", "other,columns\r\n");
    driver.pressAndAnswer("pushButtonSend");
    EXPECT_TRUE(driver.answerer.text().startsWith("Runs cannot be recorded in " + recordPath)) << driver.answerer.text();
    EXPECT_EQ(driver.logLines(), portOpened) << "nothing was sent";

    QFile::remove(recordPath);
    driver.press("pushButtonSend");
    QDir(files.folder.path()).mkdir("runs.csv"); // as on a full disk, the row's write fails
    ASSERT_EQ(driver.waitForRunEnd(), "Flashing completed.");
    EXPECT_EQ(chip.image(), std::vector<std::uint8_t>(files.image.begin(), files.image.end()));
    EXPECT_EQ(driver.text("labelVerdictWord"), "NOT RECORDED");
    EXPECT_TRUE(driver.logLines().last().startsWith("The run could not be recorded in " + recordPath));
}

} // namespace
