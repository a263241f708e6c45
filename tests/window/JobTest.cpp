// Approved jobs in the window: a job's settings are applied and locked until
// it is closed, and an image that is not the approved one is never sent.
#include "simulator/ChipSimulator.h"
#include "tests/support/ImageFolder.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TtyLineView.h"
#include "tests/support/WindowDriver.h"

#include <QAction>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class Jobs : public testing::Test
{
protected:
    QString writeJob(const QString& sha256, const QString& image = "image.bin", const QString& name = "line7.orvjob")
    {
        return files.write(name, QStringLiteral(R"({"job": "Line 7", "image": "%1", "sha256": "%2",
            "baud": 9600, "parity": "even", "data_bits": 7, "stop_bits": "2", "reply_timeout_s": 0.5,
            "pacing": "acknowledged", "min_gap_ms": 5})")
                                     .arg(image, sha256)
                                     .toUtf8());
    }

    bool settingsFree()
    {
        for (const char* name : {"comboBoxBaudrate", "comboBoxParity", "comboBoxDataBit", "comboBoxStopBit"})
            if (!driver.widget<QComboBox>(name).isEnabled())
                return false;
        return driver.widget<QPushButton>("pushButtonLoadFirmware").isEnabled()
               && driver.widget<QAction>("actionPacingProtocol").isEnabled();
    }

    ImageFolder files{600};
    WindowDriver driver;
};

TEST_F(Jobs, AJobAppliesAndLocksItsSettingsUntilItIsClosed)
{
    PtyPair pty;
    driver.typePort(QString::fromStdString(pty.slavePath()));
    driver.press("pushButtonOpen");
    driver.answerer.arm();
    driver.window->openJob(writeJob(files.sha256()));
    EXPECT_TRUE(driver.answerer.text().startsWith("Close the port")) << "the port is open with other settings";
    EXPECT_TRUE(settingsFree());
    driver.press("pushButtonOpen");

    driver.answerer.armToChooseFile(files.folder.filePath("line7.orvjob"));
    driver.widget<QAction>("actionOpenJob").trigger();
    EXPECT_EQ(driver.text("labelJob"), "Job: Line 7");
    EXPECT_TRUE(driver.window->windowTitle().endsWith(" - job Line 7"));
    EXPECT_EQ(driver.text("labelFirmware_1"), files.imagePath);
    EXPECT_FALSE(settingsFree());
    EXPECT_TRUE(driver.widget<QAction>("actionPacingAcknowledged").isChecked());
    driver.press("pushButtonOpen");
    const TtyLineView line = TtyLineView::ofSlaveOf(pty.masterFd());
    EXPECT_EQ(line.baudRate, 9600u);
    EXPECT_TRUE(line.extraStopBit);

    driver.widget<QAction>("actionCloseJob").trigger();
    EXPECT_TRUE(settingsFree());
    EXPECT_TRUE(driver.widget<QLabel>("labelJob").isHidden());
}

TEST_F(Jobs, AJobThatCannotBeUsedChangesNothing)
{
    const QString wrongSha256(64, 'a');
    for (const QString& job : {files.folder.filePath("missing.orvjob"), files.write("bad.orvjob", "{\"job\": "),
                               writeJob(wrongSha256, "missing.bin", "no-image.orvjob"), writeJob(wrongSha256)}) {
        driver.answerer.arm();
        driver.window->openJob(job);
        EXPECT_TRUE(driver.answerer.text().startsWith("The job " + job + " cannot be used: ")) << driver.answerer.text();
        EXPECT_EQ(driver.text("labelFirmware_1"), "No file loaded");
        EXPECT_TRUE(driver.widget<QLabel>("labelJob").isHidden());
        EXPECT_TRUE(settingsFree());
    }
    EXPECT_TRUE(driver.answerer.text().contains("is not the job's approved image")) << driver.answerer.text();
}

// The image is held to the job again when Flash reads it: it may have changed
// since the job was opened. The run keeps the job's reply time-out.
TEST_F(Jobs, AnImageChangedAfterTheJobWasOpenedIsNotSent)
{
    ChipSimulator chip(ChipBehaviour::slowReplies(1500ms));
    driver.window->openJob(writeJob(files.sha256()));
    driver.typePort(QString::fromStdString(chip.slavePath()));
    driver.press("pushButtonOpen");
    const QStringList portOpened = driver.logLines();
    QByteArray changed = files.image;
    changed[0] = '\0';
    files.write("image.bin", changed);
    driver.pressAndAnswer("pushButtonSend");
    EXPECT_TRUE(driver.answerer.text().contains("is not the job's approved image")) << driver.answerer.text();
    EXPECT_EQ(driver.logLines(), portOpened) << "no run started";

    files.write("image.bin", files.image);
    driver.press("pushButtonSend");
    EXPECT_TRUE(driver.waitForRunEnd().startsWith("No answer")) << "the job's 0.5 s, not the default 5 s";
}

} // namespace
