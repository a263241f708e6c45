// The chip's check that the host keeps its pauses, played by a host that
// writes a frame, pauses, and only then reads the answer. The chip has a wire
// and a write time, so its answers come well after the frames: a pause runs
// from the host's write, not from the frame's last byte or from the answer.
#include "simulator/HostPauses.h"
#include "tests/simulator/ChipOnLine.h"

#include <regex>
#include <thread>
#include <tuple>

namespace {

using namespace chip_test;
using std::chrono::milliseconds;

struct Step
{
    Bytes frame;
    milliseconds pause;
};

const std::vector<Step> kPunctualRun = {
    {kBootModeRequest, 5ms},          {kBlockOneOfFF, 100ms},      {blockFrame(2, Bytes(256, 2)), 300ms},
    {blockFrame(3, Bytes(7, 3)), 5ms}, {kEndOfTransfer, 5ms},       {kExitBootMode, 5ms},
};

void playHost(ProgramEnd& host, const std::vector<Step>& steps, milliseconds afterBootReady)
{
    for (const Step& step : steps) {
        host.send(step.frame);
        std::this_thread::sleep_for(step.pause);
        const std::size_t answerLength = step.frame == kBootModeRequest ? 6 : 3;
        ASSERT_EQ(host.receive(answerLength).size(), answerLength);
        if (step.frame == kBootModeRequest)
            std::this_thread::sleep_for(afterBootReady);
    }
}

// How many steps of the punctual run a host takes as it should; a hasty host
// leaves out the last one's pause and sends the next frame as soon as the
// answer is in.
TEST(HostPauses, AFrameSoonerThanItsPauseIsAViolationAndAPunctualHostIsNotFlagged)
{
    const std::tuple<std::size_t, std::string> hosts[] = {
        {kPunctualRun.size(), ""},
        {1, "block 1 came [0-9]+ ms after the boot-ready answer; the host must pause 1000 ms"},
        {2, "block 2 came [0-9]+ ms after block 1; the host must pause 100 ms"},
        {3, "block 3 came [0-9]+ ms after block 2; the host must pause 300 ms"},
    };
    ChipBehaviour watching;
    watching.expectProtocolPauses = true;
    watching.wireBaud = 115200;
    watching.writeTime = 50ms;
    for (const auto& [keptSteps, complaint] : hosts) {
        const bool hasty = !complaint.empty();
        SCOPED_TRACE(hasty ? complaint : "a punctual host");
        ChipOnLine bench(watching);
        std::vector<Step> steps(kPunctualRun.begin(), kPunctualRun.begin() + std::ptrdiff_t(keptSteps));
        if (hasty)
            steps.back().pause = 0ms;
        playHost(bench, steps, keptSteps == 1 ? 0ms : 1000ms);
        if (hasty)
            bench.send(kPunctualRun.at(keptSteps).frame);
        ASSERT_TRUE(bench.chip.waitUntil([&](const ChipRecord& r) { return r.protocolError.empty() != hasty; }, kPatience));
        EXPECT_TRUE(std::regex_match(bench.chip.protocolError(), std::regex(complaint))) << bench.chip.protocolError();
        EXPECT_EQ(bench.receive(3, kSilence).size(), 0u);
    }
}

// The check alone, on records made up to show stamps as late as a loaded
// machine makes them.
TEST(HostPauses, AShortGapIsAViolationWhenTooShortForALateStampOrConfirmedByAnAnswer)
{
    using M = ChipMessage;
    const auto t = std::chrono::steady_clock::now();
    // Block 2 went 100 ms after block 1, which was answered at once, and was
    // stamped 10 ms late; block 3 went 300 ms after block 2.
    std::vector<ChipEvent> events = {{M::BootReady, 0, t},          {M::DataBlock, 1, t + 1000ms},
                                     {M::BlockWritten, 0, t + 1001ms}, {M::DataBlock, 2, t + 1110ms},
                                     {M::BlockWritten, 0, t + 1111ms}, {M::DataBlock, 3, t + 1400ms}};
    EXPECT_EQ(hostPauseViolation(events), "");
    events.back().time = t + 1370ms;
    EXPECT_EQ(hostPauseViolation(events), "block 3 came 260 ms after block 2; the host must pause 300 ms");

    // The 5 ms pause after the end of transfer left out: a gap that a late
    // stamp could explain, but not the answer to block 3 that came before.
    const auto u = t + 1400ms;
    events.back().time = u;
    events.insert(events.end(), {{M::BlockWritten, 0, u + 200us}, {M::EndOfTransfer, 0, u + 400us},
                                 {M::TransferEnded, 0, u + 600us}, {M::ExitBootMode, 0, u + 800us}});
    EXPECT_EQ(hostPauseViolation(events),
              "the exit-boot-mode frame came 0 ms after the end-of-transfer frame; the host must pause 5 ms");
}

} // namespace
