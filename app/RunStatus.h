#pragma once

#include "flash/DialogueReport.h"
#include "flash/DialogueSettings.h"

#include <QElapsedTimer>
#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>

class QColor;
class QLabel;
class QStatusBar;

// How a run ended, in the words the status bar and the verdict band share.
struct RunVerdict
{
    bool completed = false;
    QString outcome; // "Flashing completed in 0:04", or the reason and the time
    // Of the image flashed; nothing for a factory reset or a failed run.
    std::optional<std::uint32_t> imageSize;
    QString imageSha256;
    // False when the run's row could not be written to the record: even a
    // completed run then shows in red.
    bool recorded = true;

    // "700 bytes · SHA-256 12f6b82c…" with the hash's first `hashDigits`;
    // empty without an image.
    QString imageText(int hashDigits) const;
};

// The status bar's account of a run: while it runs, where it stands, how long
// it has taken, how long the pauses still ahead will take, how fast the
// blocks go and which pacing it keeps; at its end, the total time, and the
// outcome in green or red, with the image's size and SHA-256 for a flash
// that succeeded. The colours are derived from the palette's text colour, so
// that a dark theme stays readable.
class RunStatus
{
public:
    explicit RunStatus(QStatusBar& bar);

    void started(bool factoryReset, Pacing pacing);
    void blockSent(std::uint32_t block, std::uint32_t blockCount);
    // Refreshes the times while a run is in progress; timeLeft is nothing
    // while the run cannot tell it.
    void tick(std::optional<std::chrono::milliseconds> timeLeft);
    // sha256: of the run's image; empty for a factory reset.
    RunVerdict ended(const RunResult& result, const QString& sha256);
    // A refusal outside a run, e.g. of a dropped file.
    void refused(const QString& reason);

private:
    void show(const QString& text, const QColor& colour);
    QColor textColour() const;
    std::optional<double> kibPerSecond() const;

    QLabel* label_;
    QElapsedTimer clock_;
    QElapsedTimer sinceFirstBlock_;
    bool running_ = false;
    bool factoryReset_ = false;
    Pacing pacing_ = Pacing::Protocol;
    std::uint32_t block_ = 0;
    std::uint32_t blockCount_ = 0;
};
