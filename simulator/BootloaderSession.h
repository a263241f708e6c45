#pragma once

#include "simulator/ChipBehaviour.h"
#include "simulator/ChipFrameParser.h"
#include "simulator/ChipRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ChipAnswer
{
    ChipMessage message;
    std::vector<std::uint8_t> bytes;
};

// What the chip does about one frame: answer it or keep quiet, write an
// accepted block into its flash, or hang up.
struct ChipReaction
{
    std::optional<ChipAnswer> answer;
    bool hangUp = false;
    bool writesBlock = false;
};

// The bootloader's side of the dialogue, without the line: which frame may
// come when, what the chip answers, and the faults of the dialogue it commits
// (silence, hang-up, banner, restart, wrong reply), and, when asked, whether
// the program kept its pauses. How answers go onto the line, and how long
// writing takes, is the simulator's business.
class BootloaderSession
{
public:
    explicit BootloaderSession(ChipBehaviour behaviour);

    // Takes a well-formed frame, which record.events already ends with. One
    // that does not fit the dialogue so far is described in
    // record.protocolError and gets no answer; the payload of an accepted
    // block goes into record.image.
    ChipReaction handle(const ChipFrame& frame, ChipRecord& record);

private:
    enum class Phase { Reset, BootMode, Transferring, TransferEnded, FactoryResetDone, Exited };

    ChipReaction grantBootMode(ChipRecord& record);
    ChipReaction takeBlock(const ChipFrame& frame, ChipRecord& record);
    ChipReaction enter(Phase phase, ChipMessage answer);
    ChipReaction refuse(const std::string& what, ChipRecord& record) const;
    std::string blockSequenceError(std::uint16_t block) const;
    std::string whereInTheDialogue() const;
    bool faultStrikesAt(std::uint16_t block, ChipBehaviour::Mode mode);
    ChipAnswer answer(ChipMessage message) const;

    ChipBehaviour behaviour_; // not const: a new board gets a new session
    Phase phase_ = Phase::Reset;
    std::uint32_t nextBlock_ = 1;
    std::size_t previousBlockLength_ = 0;
    bool faultCommitted_ = false;
};
