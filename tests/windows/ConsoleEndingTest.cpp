// What Windows does to orvanne-flash when its console is closed or the
// session ends while a run is in progress, played against the real program:
// the run must be cancelled and its record row written before Windows ends
// the process. Windows delivers a closed console by starting a thread at
// kernelbase's CtrlRoutine in the process, and the end of the session as
// WM_QUERYENDSESSION and WM_ENDSESSION to its top-level windows; it ends the
// process once the answer has come, or after 5 s without one. This test does
// the same. The chip on the port never answers, so the run lasts until it is
// cancelled. CI runs it under wine (on an X display, for the window):
//   ORVANNE_FLASH       orvanne-flash.exe
//   ORVANNE_CHIP_PORT   the port of a chip that never answers
//   ORVANNE_CHIP_IMAGE  an image to flash
#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

namespace {

// How long Windows waits for the answer before it ends the process.
constexpr DWORD kWindowsGraceMs = 5000;

class ConsoleEndingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(record_.isValid());
        const QString flasher = qEnvironmentVariable("ORVANNE_FLASH");
        const QString port = qEnvironmentVariable("ORVANNE_CHIP_PORT");
        const QString image = qEnvironmentVariable("ORVANNE_CHIP_IMAGE");
        ASSERT_FALSE(flasher.isEmpty() || port.isEmpty() || image.isEmpty())
            << "set ORVANNE_FLASH, ORVANNE_CHIP_PORT and ORVANNE_CHIP_IMAGE";
        port_ = port;
        program_.setProcessChannelMode(QProcess::MergedChannels);
        program_.start(flasher, {QStringLiteral("flash"), image, QStringLiteral("--port"), port,
                                 QStringLiteral("--record"), recordPath(), QStringLiteral("--timeout"),
                                 QStringLiteral("120")});
        ASSERT_TRUE(program_.waitForStarted()) << program_.errorString().toStdString();
        ASSERT_TRUE(waitForOutput(port + QStringLiteral(": started"))) << output_.toStdString();
    }

    void TearDown() override
    {
        program_.kill();
        program_.waitForFinished();
    }

    // Delivers the notice with `deliver`, which returns once the program has
    // answered or Windows' grace has run out; then ends the program as
    // Windows would, and expects the cancelled run on screen and on record.
    void expectRunRecordedBeforeTheEnd(const std::function<void()>& deliver)
    {
        deliver();
        program_.kill();
        program_.waitForFinished();
        output_ += program_.readAll();
        EXPECT_TRUE(output_.contains("Run cancelled.")) << output_.toStdString();

        QFile record(recordPath());
        ASSERT_TRUE(record.open(QIODevice::ReadOnly)) << "no record written";
        const QList<QByteArray> lines = record.readAll().trimmed().split('\n');
        ASSERT_EQ(lines.size(), 2) << "a header and one row";
        // Columns are found by their header so that new columns do not break the check.
        const QList<QByteArray> header = lines[0].trimmed().split(',');
        const QList<QByteArray> fields = lines[1].trimmed().split(',');
        ASSERT_EQ(fields.size(), header.size()) << lines[1].toStdString();
        EXPECT_EQ(fields[header.indexOf("port")], port_.toUtf8());
        EXPECT_EQ(fields[header.indexOf("result")], "cancelled");
    }

    bool waitForOutput(const QString& text)
    {
        const QDeadlineTimer deadline(60'000);
        while (!output_.contains(text.toUtf8())) {
            if (!program_.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
                return false;
            output_ += program_.readAll();
        }
        return true;
    }

    QString recordPath() const { return record_.filePath(QStringLiteral("record.csv")); }

    QTemporaryDir record_;
    QString port_;
    QProcess program_;
    QByteArray output_;
};

TEST_F(ConsoleEndingTest, ClosingTheConsoleCancelsTheRunAndRecordsIt)
{
    expectRunRecordedBeforeTheEnd([this] {
        // The system DLLs sit at the same address in every process.
        auto* ctrlRoutine = reinterpret_cast<LPTHREAD_START_ROUTINE>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernelbase.dll"), "CtrlRoutine")));
        ASSERT_NE(ctrlRoutine, nullptr);
        const HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(program_.processId()));
        ASSERT_NE(process, nullptr);
        const HANDLE notice = CreateRemoteThread(process, nullptr, 0, ctrlRoutine,
                                                 reinterpret_cast<void*>(static_cast<ULONG_PTR>(CTRL_CLOSE_EVENT)),
                                                 0, nullptr);
        ASSERT_NE(notice, nullptr) << GetLastError();
        WaitForSingleObject(notice, kWindowsGraceMs);
        CloseHandle(notice);
        CloseHandle(process);
    });
}

TEST_F(ConsoleEndingTest, SigningOutCancelsTheRunAndRecordsIt)
{
    expectRunRecordedBeforeTheEnd([this] {
        HWND window = nullptr;
        DWORD owner = 0;
        do {
            window = FindWindowExW(nullptr, window, L"OrvanneFlashSessionEnd", nullptr);
            GetWindowThreadProcessId(window, &owner);
        } while (window && owner != static_cast<DWORD>(program_.processId()));
        ASSERT_NE(window, nullptr) << "the program has no window that hears of the session's end";

        DWORD_PTR mayEnd = FALSE;
        SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, kWindowsGraceMs, &mayEnd);
        EXPECT_TRUE(mayEnd);
        SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, kWindowsGraceMs, nullptr);
    });
}

} // namespace
