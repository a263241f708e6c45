// The window's own actions: the About boxes, Clear, choosing the firmware file
// and the queued receive path.
#include "app/MainWindow.h"
#include "tests/support/WindowTestHelpers.h"
#include "tests/support/ModalAnswerer.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class MainWindowActions : public testing::Test
{
protected:
    template <typename T>
    T& widget(const char* name)
    {
        return child<T>(window, name);
    }

    MainWindow window;
    ModalAnswerer answerer;
};

TEST_F(MainWindowActions, ClearResetsPanesProgressAndInfoLabelsOnly)
{
    window.logMessage("status line");
    emit window.emitUpdateReceive(QStringLiteral("reply"));
    ASSERT_TRUE(processEventsUntil(
        [&] { return !widget<QPlainTextEdit>("plainTextEditReceive").toPlainText().isEmpty(); }));
    widget<QProgressBar>("progressBar").setValue(37);
    for (const char* name : {"label_FileSize", "label_TotalBlocks", "label_CurrenBlock",
                             "label_Action", "labelFirmware_1"})
        widget<QLabel>(name).setText(QStringLiteral("changed"));
    widget<QPushButton>("pushButtonSend").setEnabled(true);

    widget<QPushButton>("pushButtonClear").click();

    EXPECT_TRUE(widget<QPlainTextEdit>("plainTextEditSend").toPlainText().isEmpty());
    EXPECT_TRUE(widget<QPlainTextEdit>("plainTextEditReceive").toPlainText().isEmpty());
    EXPECT_EQ(widget<QProgressBar>("progressBar").value(), 0);
    EXPECT_EQ(widget<QLabel>("label_FileSize").text(), "File size:");
    EXPECT_EQ(widget<QLabel>("label_TotalBlocks").text(), "Total memory blocks:");
    EXPECT_EQ(widget<QLabel>("label_CurrenBlock").text(), "Current memory block:");
    EXPECT_EQ(widget<QLabel>("label_Action").text(), "Action:");
    EXPECT_EQ(widget<QLabel>("labelFirmware_1").text(), "changed");
    EXPECT_TRUE(widget<QPushButton>("pushButtonSend").isEnabled());
}

TEST_F(MainWindowActions, LoadFileShowsTheChosenPathAndCancellingForgetsIt)
{
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString path = directory.filePath(QStringLiteral("image.bin"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)); // empty: the choice does not read it
    file.close();
    auto& flash = widget<QPushButton>("pushButtonSend");
    auto& shownPath = widget<QLabel>("labelFirmware_1");

    answerer.armToChooseFile(path);
    widget<QPushButton>("pushButtonLoadFirmware").click();

    ASSERT_TRUE(answerer.answered());
    EXPECT_EQ(answerer.title(), "Open Firmware Files");
    EXPECT_EQ(shownPath.text(), path);
    EXPECT_FALSE(shownPath.text().contains('\\'));
    EXPECT_TRUE(flash.isEnabled());
    EXPECT_EQ(widget<QLabel>("label_FileSize").text(), "File size:");

    answerer.arm();
    widget<QPushButton>("pushButtonLoadFirmware").click();

    ASSERT_TRUE(answerer.answered());
    EXPECT_EQ(shownPath.text(), "No file loaded");
    EXPECT_FALSE(flash.isEnabled());
}

TEST_F(MainWindowActions, ReceivedTextIsAppendedLaterAtTheEndInOrder)
{
    auto& pane = widget<QPlainTextEdit>("plainTextEditReceive");
    auto& bar = widget<QProgressBar>("progressBar");
    bar.setValue(37);
    emit window.emitUpdateReceive(QStringLiteral("first"));
    EXPECT_TRUE(pane.toPlainText().isEmpty()) << "appended before the event loop ran";
    ASSERT_TRUE(processEventsUntil([&] { return !pane.toPlainText().isEmpty(); }));

    pane.moveCursor(QTextCursor::Start); // as if the operator had clicked into the text
    emit window.emitUpdateReceive(QStringLiteral("second\nthird"));
    emit window.emitUpdateReceive(QStringLiteral("fourth"));
    ASSERT_TRUE(processEventsUntil([&] { return pane.toPlainText().endsWith("fourth"); }));

    EXPECT_EQ(pane.toPlainText(), "first\nsecond\nthird\nfourth");
    EXPECT_TRUE(pane.textCursor().atEnd());
    EXPECT_EQ(bar.value(), 37) << "with no image loaded yet the bar keeps its value";
}

} // namespace
