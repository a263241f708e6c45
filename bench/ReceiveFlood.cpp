// receive_flood: a chip that floods the window with 1 MiB of
// acknowledgement-shaped bytes while no run is in progress. Prints how long
// the window went without repainting its receive pane and without running
// its event loop, how long it took to show everything, and what the flood
// cost in memory.
#include "app/MainWindow.h"
#include "tests/support/ProcessResources.h"
#include "tests/support/PtyPair.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kAcknowledgements = 349'525; // 3 bytes each: 1 MiB less one byte
constexpr char kEndMarker[] = "FLOOD-END";
constexpr int kTickMs = 5;

// The longest time between two moments noted with note().
class LongestGap
{
public:
    void note()
    {
        if (clock_.isValid())
            longestMs_ = std::max(longestMs_, clock_.restart());
        else
            clock_.start();
        ++count_;
    }
    qint64 longestMs() const { return longestMs_; }
    int count() const { return count_; }

private:
    QElapsedTimer clock_;
    qint64 longestMs_ = 0;
    int count_ = 0;
};

class PaintWatch : public QObject
{
public:
    LongestGap gaps;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            gaps.note();
        return false;
    }
};

double megabytes(std::size_t bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QTemporaryDir settingsFolder; // the window remembers nothing of this
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());

    std::printf("load average: ");
    std::fflush(stdout);
    std::system("cut -d' ' -f1-3 /proc/loadavg");

    PtyPair pty; // outlives the window: its hang-up is no part of the figures
    MainWindow window(nullptr, [] { return std::vector<SerialPortInfo>(); });
    window.show();
    window.findChild<QComboBox*>("comboBoxPortName")->setCurrentText(QString::fromStdString(pty.slavePath()));
    window.findChild<QPushButton*>("pushButtonOpen")->click();
    auto* pane = window.findChild<QPlainTextEdit*>("plainTextEditReceive");
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    const std::size_t before = residentBytes();
    std::atomic<std::size_t> peak{before};
    std::atomic<bool> sampling{true};
    std::thread sampler([&] {
        while (sampling) {
            peak = std::max(peak.load(), residentBytes());
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });

    PaintWatch paints;
    pane->viewport()->installEventFilter(&paints);
    LongestGap ticks;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ticks.note(); });
    tick.start(kTickMs);

    std::vector<std::uint8_t> flood;
    for (std::size_t i = 0; i < kAcknowledgements; ++i)
        flood.insert(flood.end(), {0x55, 0x66, 0x33});
    flood.insert(flood.end(), kEndMarker, kEndMarker + sizeof kEndMarker - 1);
    QElapsedTimer shown;
    shown.start();
    qint64 writtenMs = 0;
    std::thread writer([&] {
        pty.write(flood);
        writtenMs = shown.elapsed();
    });
    while (!pane->document()->lastBlock().text().contains(QLatin1String(kEndMarker)))
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    const qint64 shownMs = shown.elapsed();
    writer.join();
    tick.stop();
    sampling = false;
    sampler.join();
    const std::size_t peakBytes = peak;

    std::printf("flood: %zu bytes, %zu acknowledgements, written in %lld ms, all shown after %lld ms\n", flood.size(),
                kAcknowledgements, static_cast<long long>(writtenMs), static_cast<long long>(shownMs));
    std::printf("longest gap between repaints of the receive pane: %lld ms (%d repaints)\n",
                static_cast<long long>(paints.gaps.longestMs()), paints.gaps.count());
    std::printf("longest gap between %d ms ticks of the event loop: %lld ms\n", kTickMs,
                static_cast<long long>(ticks.longestMs()));
    std::printf("resident memory: %.1f MB before, %.1f MB at the peak (+%.1f MB), %.1f MB after\n",
                megabytes(before), megabytes(peakBytes), megabytes(peakBytes - before), megabytes(residentBytes()));
    std::printf("goals: no gap over 250 ms, growth within 20 MB\n");
    return 0;
}
