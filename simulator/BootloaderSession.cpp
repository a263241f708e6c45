#include "simulator/BootloaderSession.h"

#include "simulator/HostPauses.h"

#include <utility>

namespace {

constexpr std::size_t kFullBlockLength = 256;

} // namespace

BootloaderSession::BootloaderSession(ChipBehaviour behaviour)
    : behaviour_(std::move(behaviour))
{
}

ChipReaction BootloaderSession::handle(const ChipFrame& frame, ChipRecord& record)
{
    // A mute chip follows no dialogue; the record still shows what came.
    if (behaviour_.mode == ChipBehaviour::Mode::Silent)
        return {};
    if (behaviour_.expectProtocolPauses) {
        const std::string tooSoon = hostPauseViolation(record.events);
        if (!tooSoon.empty())
            return refuse(tooSoon, record);
    }

    switch (frame.message) {
    case ChipMessage::BootModeRequest:
        return grantBootMode(record);
    case ChipMessage::DataBlock:
        return takeBlock(frame, record);
    case ChipMessage::EndOfTransfer:
        if (phase_ != Phase::Transferring)
            return refuse("end-of-transfer frame " + whereInTheDialogue(), record);
        return enter(Phase::TransferEnded, ChipMessage::TransferEnded);
    case ChipMessage::ExitBootMode:
        if (phase_ != Phase::TransferEnded && phase_ != Phase::FactoryResetDone)
            return refuse("exit-boot-mode frame " + whereInTheDialogue(), record);
        return enter(Phase::Exited, ChipMessage::BootExited);
    case ChipMessage::FactoryReset:
        if (phase_ != Phase::BootMode)
            return refuse("factory-reset frame " + whereInTheDialogue(), record);
        return enter(Phase::FactoryResetDone, ChipMessage::FactoryResetDone);
    default: // the port-open notice asks for nothing; a booting chip greets it
        if (behaviour_.mode == ChipBehaviour::Mode::Banner)
            return {answer(ChipMessage::Banner)};
        return {};
    }
}

ChipReaction BootloaderSession::grantBootMode(ChipRecord& record)
{
    record.image.clear();
    nextBlock_ = 1;
    return enter(Phase::BootMode, ChipMessage::BootReady);
}

ChipReaction BootloaderSession::takeBlock(const ChipFrame& frame, ChipRecord& record)
{
    const std::string error = blockSequenceError(frame.block);
    if (!error.empty())
        return refuse(error, record);

    // In sequence, each payload belongs at (block - 1) * 256: right after the previous one.
    record.image.insert(record.image.end(), frame.payload.begin(), frame.payload.end());
    ++nextBlock_;
    previousBlockLength_ = frame.payload.size();

    if (faultStrikesAt(frame.block, ChipBehaviour::Mode::Restart))
        return grantBootMode(record);
    if (faultStrikesAt(frame.block, ChipBehaviour::Mode::HangUp))
        return {std::nullopt, true};
    // A wrong reply is the answer's fault alone: the block is written all the
    // same, so the dialogue goes on from here if the program carries on.
    const bool wrongReply = faultStrikesAt(frame.block, ChipBehaviour::Mode::WrongReply);
    ChipReaction reaction = enter(Phase::Transferring, wrongReply ? ChipMessage::BootExited : ChipMessage::BlockWritten);
    reaction.writesBlock = true;
    return reaction;
}

ChipReaction BootloaderSession::enter(Phase phase, ChipMessage answerMessage)
{
    phase_ = phase;
    return {answer(answerMessage)};
}

ChipReaction BootloaderSession::refuse(const std::string& what, ChipRecord& record) const
{
    record.protocolError = what;
    return {};
}

std::string BootloaderSession::blockSequenceError(std::uint16_t block) const
{
    const std::string frame = "block frame " + std::to_string(block);
    if (phase_ != Phase::BootMode && phase_ != Phase::Transferring)
        return frame + " " + whereInTheDialogue();
    if (block != nextBlock_)
        return frame + " where block " + std::to_string(nextBlock_) + " was expected";
    if (phase_ == Phase::Transferring && previousBlockLength_ != kFullBlockLength)
        return frame + " after block " + std::to_string(block - 1) + " of " + std::to_string(previousBlockLength_)
               + " bytes: only the last block may be shorter than 256";
    return {};
}

std::string BootloaderSession::whereInTheDialogue() const
{
    switch (phase_) {
    case Phase::Reset: return "before boot mode was granted";
    case Phase::BootMode: return "right after boot mode was granted";
    case Phase::Transferring: return "during the transfer";
    case Phase::TransferEnded: return "after the end of transfer";
    case Phase::FactoryResetDone: return "after the factory reset";
    case Phase::Exited: return "after boot mode was exited";
    }
    return {};
}

bool BootloaderSession::faultStrikesAt(std::uint16_t block, ChipBehaviour::Mode mode)
{
    if (faultCommitted_ || behaviour_.mode != mode || block != behaviour_.atBlock)
        return false;
    faultCommitted_ = true;
    return true;
}

ChipAnswer BootloaderSession::answer(ChipMessage message) const
{
    switch (message) {
    case ChipMessage::BootReady: return {message, {0x55, 0x66, 0x32, 0x02, 0x05, 0x00}};
    case ChipMessage::BlockWritten: return {message, {0x55, 0x66, 0x33}};
    case ChipMessage::TransferEnded: return {message, {0x55, 0x66, 0x34}};
    case ChipMessage::BootExited: return {message, {0x55, 0x66, 0x35}};
    case ChipMessage::FactoryResetDone: return {message, {0x55, 0x66, 0x36}};
    default: // Banner
        return {ChipMessage::Banner, {behaviour_.banner.begin(), behaviour_.banner.end()}};
    }
}
