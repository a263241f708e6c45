#pragma once

#include "flash/SequenceHost.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Plays the window and the port for the flash protocol: keeps every effect in
// call order as one readable line ("log: ...", "send: 10 66", "pause: 5"),
// never sleeps, and hands out queued chunks as received bytes. Effects may
// come from the sequence's timer thread, so they are kept under a lock.
class RecordingHost : public SequenceHost
{
public:
    void log(const QString& line) override { record("log: " + line.toStdString()); }
    void setLabel(InfoLabel label, const QString& text) override
    {
        static const char* const kNames[] = {"label_FileSize", "label_TotalBlocks",
                                             "label_CurrenBlock", "label_Action"};
        record(std::string(kNames[static_cast<int>(label)]) + ": " + text.toStdString());
    }
    // Requests and control frames byte for byte, block frames by number and size.
    void send(const std::uint8_t* bytes, std::size_t length) override
    {
        frames.emplace_back(bytes, bytes + length);
        std::string line = "send:";
        if (length > 8)
            line += " block " + std::to_string(bytes[3] << 8 | bytes[4]) + " (" + std::to_string(length) + " bytes)";
        for (std::size_t i = 0; length <= 8 && i < length; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
            line += hex;
        }
        record(line);
    }
    int receive(char* buffer, int size) override
    {
        if (chunks.empty())
            return 0;
        const std::string chunk = chunks.front();
        chunks.pop_front();
        const int count = std::min(static_cast<int>(chunk.size()), size);
        std::memcpy(buffer, chunk.data(), static_cast<std::size_t>(count));
        return count;
    }
    void pause(unsigned int milliseconds) override { record("pause: " + std::to_string(milliseconds)); }
    void showReceived(const QString& text) override { record("receive pane: " + text.toStdString()); }
    void runStarted() override { record("run started"); }
    void blockSent(std::uint32_t, std::uint32_t) override {}
    void runEnded(const RunResult& result) override
    {
        outcome = result.outcome;
        record("run ended: " + result.reason.toStdString());
    }

    // Waits until an effect recorded so far and not yet taken equals
    // `effect`; it may come from the sequence's timer thread.
    bool waitFor(const std::string& effect)
    {
        std::unique_lock<std::mutex> guard(mutex_);
        return changed_.wait_for(guard, std::chrono::seconds(10), [&] {
            return std::find(effects.begin(), effects.end(), effect) != effects.end();
        });
    }

    std::vector<std::string> takeEffects()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        std::vector<std::string> taken;
        taken.swap(effects);
        return taken;
    }

    std::vector<std::vector<std::uint8_t>> frames;
    std::deque<std::string> chunks;
    std::optional<RunOutcome> outcome;

private:
    void record(std::string effect)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        effects.push_back(std::move(effect));
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> effects;
};
