// reply_fuzz: flashes a few hundred images through the flash dialogue into
// the simulated chip's dialogue, in process and on a virtual clock, with random
// bytes and planted beginnings of replies on the line between the chip's
// answers, cut into reads at random points. Counts how each run ended and,
// above all, false successes: "Flashing completed." although the chip did not
// receive the whole image and acknowledge the exit. Exits 1 if there is one.
//   reply_fuzz [runs] [first seed]
#include "flash/FlashDialogue.h"
#include "simulator/BootloaderSession.h"
#include "simulator/ChipFrameParser.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <string>

namespace {

// The chip's side in process: frames go through the simulator's parser and
// dialogue as they are written; answers, with noise around them, queue up on
// the line for the dialogue to read.
class FuzzedLine
{
public:
    explicit FuzzedLine(std::uint32_t seed) : random_(seed), session_(ChipBehaviour{}) {}

    void write(const std::vector<std::uint8_t>& frame)
    {
        for (std::size_t i = 0; i < frame.size() && record_.protocolError.empty(); ++i) {
            const ChipFrameParser::Status status = parser_.take(frame[i], std::chrono::steady_clock::now());
            if (status == ChipFrameParser::Status::Violation)
                record_.protocolError = parser_.violation();
            if (status != ChipFrameParser::Status::FrameComplete)
                continue;
            const ChipReaction reaction = session_.handle(parser_.frame(), record_);
            if (reaction.answer) {
                exitAcknowledged_ = exitAcknowledged_ || reaction.answer->message == ChipMessage::BootExited;
                addNoise();
                line_.append(reaction.answer->bytes.begin(), reaction.answer->bytes.end());
                addNoise();
            }
        }
    }

    // The next read: anything from one byte to all that waits.
    std::string read()
    {
        if (line_.empty())
            return {};
        const std::size_t count = std::uniform_int_distribution<std::size_t>(1, line_.size())(random_);
        std::string chunk = line_.substr(0, count);
        line_.erase(0, count);
        return chunk;
    }

    const ChipRecord& chip() const { return record_; }
    bool exitAcknowledged() const { return exitAcknowledged_; }

private:
    // Random bytes, sometimes ending in the beginning of a reply; three bytes
    // of one are a whole stray acknowledgement, as a glitch or a confused
    // chip may send.
    void addNoise()
    {
        static const std::string kPrefixes[] = {
            "\x55", "\x55\x66", "\x55\x66\x32", std::string("\x55\x66\x32\x02\x05", 5),
            "\x55\x66\x33", "\x55\x66\x34", "\x55\x66\x35", "\x55\x66\x36"};
        const int count = std::uniform_int_distribution<int>(0, 12)(random_);
        for (int i = 0; i < count; ++i)
            line_ += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random_));
        if (std::uniform_int_distribution<int>(0, 3)(random_) == 0)
            line_ += kPrefixes[std::uniform_int_distribution<std::size_t>(0, std::size(kPrefixes) - 1)(random_)];
    }

    std::mt19937 random_;
    ChipFrameParser parser_;
    BootloaderSession session_;
    ChipRecord record_;
    bool exitAcknowledged_ = false;
    std::string line_;
};

// Carries out the dialogue's steps on the line, with every pause passing at
// once on the virtual clock; returns the run's result once it has one.
class VirtualDriver
{
public:
    explicit VirtualDriver(FuzzedLine& line) : line_(line) {}

    void carryOut(FlashDialogue::Step step)
    {
        for (;;) {
            keepResult(step);
            if (!step.frame.empty()) {
                line_.write(step.frame);
                keepResult(dialogue.written(step.ticket, true, now_));
            }
            now_ += step.pause;
            if (!step.resume)
                break;
            step = dialogue.resume(step.ticket, now_);
        }
        dialogue.settled(now_);
    }

    // Reads what the line holds, or lets the next deadline come.
    void next()
    {
        const std::string chunk = line_.read();
        if (!chunk.empty()) {
            carryOut(dialogue.received(chunk.data(), chunk.size(), now_));
        } else if (const std::optional<FlashDialogue::TimePoint> due = dialogue.nextDeadline()) {
            now_ = *due;
            carryOut(dialogue.timePassed(now_));
        }
    }

    FlashDialogue dialogue;
    std::optional<RunResult> result;

private:
    void keepResult(const FlashDialogue::Step& step)
    {
        for (const DialogueReport& report : step.reports)
            if (const auto* ended = std::get_if<RunEnded>(&report))
                result = ended->result;
    }

    FuzzedLine& line_;
    FlashDialogue::TimePoint now_{};
};

const char* outcomeName(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::Completed: return "completed";
    case RunOutcome::ImageRefused: return "image refused";
    case RunOutcome::NoAnswer: return "no answer (timed out)";
    case RunOutcome::Cancelled: return "cancelled";
    case RunOutcome::PortLost: return "port lost";
    case RunOutcome::Failed: return "failed";
    }
    return "?";
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 300;
    const std::uint32_t firstSeed = argc > 2 ? static_cast<std::uint32_t>(std::atoi(argv[2])) : 1;
    std::map<std::string, int> endings;
    int falseSuccesses = 0;
    for (std::uint32_t seed = firstSeed; seed < firstSeed + static_cast<std::uint32_t>(runs); ++seed) {
        FuzzedLine line(seed);
        std::mt19937 sizes(seed);
        std::vector<std::uint8_t> image(std::uniform_int_distribution<std::size_t>(1, 8 * 256)(sizes));
        for (std::uint8_t& byte : image)
            byte = static_cast<std::uint8_t>(sizes());

        VirtualDriver driver(line);
        driver.carryOut(driver.dialogue.startFlash(std::make_shared<const FirmwareImage>(image)));
        while (!driver.result)
            driver.next();
        const RunResult result = *driver.result;
        const bool whole = line.chip().image == image && line.exitAcknowledged();
        if (result.outcome == RunOutcome::Completed && !whole) {
            ++falseSuccesses;
            std::printf("FALSE SUCCESS with seed %u: %s\n", seed, line.chip().protocolError.c_str());
        }
        ++endings[outcomeName(result.outcome)];
    }

    std::printf("reply_fuzz: %d flash runs (seeds %u to %u), 1 to 8 blocks each, noise and planted\n"
                "reply beginnings around every answer, reads cut at random points\n",
                runs, firstSeed, firstSeed + static_cast<std::uint32_t>(runs) - 1);
    for (const auto& [ending, count] : endings)
        std::printf("  %-24s %5d\n", ending.c_str(), count);
    std::printf("  false successes          %5d   (target: 0)\n", falseSuccesses);
    return falseSuccesses == 0 ? 0 : 1;
}
