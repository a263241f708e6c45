#pragma once

#include "flash/FlashDialogue.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

// Plays the driver for a FlashDialogue on a clock of its own: carries out
// each step at once, pauses by moving the clock on, and keeps every effect
// as one readable line ("log: ...", "send: 10 66", "pause: 5").
class DialogueScript
{
public:
    using TimePoint = FlashDialogue::TimePoint;

    void startFlashOf(std::size_t size, const std::vector<std::uint8_t>& bytes)
    {
        ImageLoad load;
        load.path = QStringLiteral("firmware.bin");
        load.measuredSize = static_cast<std::uint32_t>(size);
        load.image = std::make_shared<const FirmwareImage>(bytes);
        carryOut(dialogue.startFlash(load));
    }

    std::vector<std::string> reply(const std::string& bytes)
    {
        carryOut(dialogue.received(bytes.data(), bytes.size(), now));
        return take();
    }

    // Moves the clock on and lets a due deadline act.
    std::vector<std::string> wait(std::chrono::milliseconds duration)
    {
        now += duration;
        carryOut(dialogue.timePassed(now));
        return take();
    }

    void carryOut(FlashDialogue::Step step)
    {
        for (;;) {
            record(step.reports);
            if (!step.frame.empty()) {
                frames.push_back(step.frame);
                effects.push_back(sendText(step.frame));
                record(dialogue.written(step.ticket, writesGoOutWhole, now).reports);
            }
            // A run that ended has cut its pauses.
            if (step.pause.count() > 0 && dialogue.isRunning()) {
                effects.push_back("pause: " + std::to_string(step.pause.count()));
                now += step.pause;
            }
            if (!step.resume)
                break;
            step = dialogue.resume(step.ticket, now);
        }
        dialogue.settled(now);
    }

    std::vector<std::string> take()
    {
        std::vector<std::string> taken;
        taken.swap(effects);
        return taken;
    }

    // Only the writes, pauses and the run's start and end.
    static std::vector<std::string> actions(const std::vector<std::string>& effects)
    {
        std::vector<std::string> kept;
        for (const std::string& effect : effects)
            if (effect.rfind("send", 0) == 0 || effect.rfind("pause", 0) == 0 || effect.rfind("run", 0) == 0)
                kept.push_back(effect);
        return kept;
    }

    FlashDialogue dialogue;
    TimePoint now = TimePoint() + std::chrono::hours(1);
    bool writesGoOutWhole = true;
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<std::string> effects;
    std::optional<RunResult> result;

private:
    // Requests and control frames byte for byte, block frames by number and size.
    static std::string sendText(const std::vector<std::uint8_t>& frame)
    {
        if (frame.size() > 8)
            return "send: block " + std::to_string(frame[3] << 8 | frame[4]) + " (" + std::to_string(frame.size())
                   + " bytes)";
        std::string line = "send:";
        for (const std::uint8_t byte : frame) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02X", byte);
            line += hex;
        }
        return line;
    }

    void record(const std::vector<DialogueReport>& reports)
    {
        static const char* const kLabels[] = {"label_FileSize", "label_TotalBlocks", "label_CurrenBlock",
                                              "label_Action"};
        for (const DialogueReport& report : reports) {
            if (const auto* line = std::get_if<LogLine>(&report))
                effects.push_back("log: " + line->text.toStdString());
            else if (const auto* label = std::get_if<LabelText>(&report))
                effects.push_back(std::string(kLabels[static_cast<int>(label->label)]) + ": "
                                  + label->text.toStdString());
            else if (const auto* text = std::get_if<ReceivedText>(&report))
                effects.push_back("receive pane: " + text->text.toStdString());
            else if (std::holds_alternative<RunStarted>(report))
                effects.push_back("run started");
            else if (const auto* sent = std::get_if<BlockSent>(&report))
                effects.push_back("block sent: " + std::to_string(sent->block) + "/" + std::to_string(sent->blockCount));
            else if (const auto* ended = std::get_if<RunEnded>(&report)) {
                result = ended->result;
                effects.push_back("run ended: " + ended->result.reason.toStdString());
            } else if (std::holds_alternative<ChipAnswered>(report))
                effects.push_back("chip answered");
            else if (const auto* closed = std::get_if<PortClosed>(&report))
                effects.push_back("port closed: " + closed->portName.toStdString());
        }
    }
};
