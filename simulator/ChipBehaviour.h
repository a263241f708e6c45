#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

// How the simulated chip answers: as a sound bootloader, or with one fault a
// program talking to it has to live through. One mode at a time; each mode
// reads only the fields named in its comment. The hardware settings after
// the modes hold with every mode; their defaults give a chip on an ideal line
// that writes in no time.
struct ChipBehaviour
{
    enum class Mode
    {
        Normal,
        Silent,     // answers nothing; only the form of each frame is checked
        HangUp,     // closes its side once block atBlock has come, unanswered
        Split,      // every answer in two writes: splitAt bytes, a pause of splitGap, the rest
        Banner,     // writes the banner text when a program has opened the port (notice 10 05)
        Slow,       // every answer after replyDelay
        Restart,    // answers block atBlock once with boot-ready; the image then starts afresh
        WrongReply, // answers block atBlock once with 55 66 35 instead of 55 66 33
        Noise,      // 1 to 16 bytes from noiseSeed, never 0x55, right after every answer
    };

    Mode mode = Mode::Normal;
    std::uint16_t atBlock = 1;
    std::size_t splitAt = 1; // clamped to 1 .. length - 1 of each answer
    std::chrono::milliseconds splitGap{30};
    std::string banner = "Boot-loader ver 2.5!\r\n";
    std::chrono::milliseconds replyDelay{500};
    std::uint32_t noiseSeed = 1;

    // The line's speed in both directions, 10 bits a byte (8N1): a byte from
    // the program is in once its wire time has passed after the one before
    // it, and answers leave byte by byte at the same pace. 0: no wire, bytes
    // pass at once and each answer goes in one write.
    std::uint32_t wireBaud = 0;
    // How long writing an accepted block takes, from when its frame is wholly
    // in; the chip answers after it, and takes no frame meanwhile: what comes
    // waits until the write is over.
    std::chrono::milliseconds writeTime{0};
    // Bytes that come in while a block is being written are lost, as on a
    // bootloader that cannot receive during a flash write, and counted in the
    // record. The first lost byte ends all answering, as the frame it cuts
    // short would: a program that sent too soon gets no answer, never a
    // damaged block taken for a sound one.
    bool busyDrop = false;
    // The chip answers a block first and writes it afterwards: unsafe for a
    // program that sends the next frame as soon as the answer is in.
    bool ackBeforeWrite = false;
    // A frame that comes sooner than the pause the program has to keep after
    // what came before it is a violation (HostPauses.h). Off for a program
    // that paces itself by the answers.
    bool expectProtocolPauses = false;

    static ChipBehaviour silent() { return of(Mode::Silent); }
    static ChipBehaviour hangUpAfterBlock(std::uint16_t block) { return atBlockOf(Mode::HangUp, block); }
    static ChipBehaviour splitReplies(std::size_t at, std::chrono::milliseconds gap)
    {
        ChipBehaviour behaviour = of(Mode::Split);
        behaviour.splitAt = at;
        behaviour.splitGap = gap;
        return behaviour;
    }
    static ChipBehaviour bootBanner(std::string text)
    {
        ChipBehaviour behaviour = of(Mode::Banner);
        behaviour.banner = std::move(text);
        return behaviour;
    }
    static ChipBehaviour slowReplies(std::chrono::milliseconds delay)
    {
        ChipBehaviour behaviour = of(Mode::Slow);
        behaviour.replyDelay = delay;
        return behaviour;
    }
    static ChipBehaviour restartAtBlock(std::uint16_t block) { return atBlockOf(Mode::Restart, block); }
    static ChipBehaviour wrongReplyAtBlock(std::uint16_t block) { return atBlockOf(Mode::WrongReply, block); }
    static ChipBehaviour noise(std::uint32_t seed)
    {
        ChipBehaviour behaviour = of(Mode::Noise);
        behaviour.noiseSeed = seed;
        return behaviour;
    }

private:
    static ChipBehaviour of(Mode mode)
    {
        ChipBehaviour behaviour;
        behaviour.mode = mode;
        return behaviour;
    }
    static ChipBehaviour atBlockOf(Mode mode, std::uint16_t block)
    {
        ChipBehaviour behaviour = of(mode);
        behaviour.atBlock = block;
        return behaviour;
    }
};
