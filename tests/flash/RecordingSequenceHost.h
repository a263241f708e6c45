#pragma once

#include "flash/SequenceHost.h"
#include "tests/flash/RecordingStatusSink.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

// Plays the window and the port for the flash sequence: keeps every effect in
// call order as one readable line, and hands out queued chunks as received bytes.
class RecordingSequenceHost : public SequenceHost
{
public:
    void log(const QString& line) override { effects.push_back("log: " + line.toStdString()); }

    void setLabel(InfoLabel label, const QString& text) override
    {
        effects.push_back(labelName(label) + ": " + text.toStdString());
    }

    // Control frames and requests appear byte for byte, block frames as their
    // header and length (their bytes are checked elsewhere).
    void send(const std::uint8_t* bytes, std::size_t length) override
    {
        frames.emplace_back(bytes, bytes + length);
        std::string line = "send:";
        const std::size_t shown = length > 8 ? 7 : length;
        for (std::size_t i = 0; i < shown; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
            line += hex;
        }
        if (length > 8)
            line += " ... (" + std::to_string(length) + " bytes)";
        effects.push_back(line);
    }

    int receive(char* buffer, int size) override
    {
        if (chunks.empty())
            return 0;
        std::string chunk = chunks.front();
        chunks.pop_front();
        if (chunk == kFailingRead)
            return -1;
        const int count = static_cast<int>(chunk.size()) < size ? static_cast<int>(chunk.size()) : size;
        std::memcpy(buffer, chunk.data(), static_cast<std::size_t>(count));
        return count;
    }

    void pause(unsigned int milliseconds) override
    {
        effects.push_back("pause: " + std::to_string(milliseconds));
    }

    void showReceived(const QString& text) override
    {
        effects.push_back("receive pane: " + text.toStdString());
    }

    void setActionButtonsEnabled(bool enabled) override
    {
        effects.push_back(enabled ? "buttons: enabled" : "buttons: disabled");
    }

    // Takes the effects recorded so far.
    std::vector<std::string> takeEffects()
    {
        std::vector<std::string> taken;
        taken.swap(effects);
        return taken;
    }

    static constexpr const char* kFailingRead = "<read fails>";

    std::vector<std::string> effects;
    std::vector<std::vector<std::uint8_t>> frames;
    std::deque<std::string> chunks;
};
