#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// How the simulated chip answers: as a sound bootloader, or with one of the
// faults the program has to live through.
struct ChipBehaviour
{
    enum class Fault
    {
        None,
        StaySilent,                      // answers nothing at all
        JunkInsteadOfBootReady,          // prints junkText for the boot-mode request, then nothing
        BootReadyInsteadOfBlockWritten,  // at atBlock, once; the program then starts again at block 1
        BootExitedInsteadOfBlockWritten, // at atBlock, once; the run is over
        SplitReplies,                    // every answer in two writes, splitGap apart
        HangUpAfterBlock,                // closes the line once block atBlock has come
    };

    Fault fault = Fault::None;
    std::uint16_t atBlock = 0;
    std::string junkText = "Boot-loader ver 2.5!\r\n";
    std::chrono::milliseconds splitGap{30};

    static ChipBehaviour staySilent() { return with(Fault::StaySilent); }
    static ChipBehaviour junkInsteadOfBootReady() { return with(Fault::JunkInsteadOfBootReady); }
    static ChipBehaviour repeatBootReadyAtBlock(std::uint16_t block)
    {
        return with(Fault::BootReadyInsteadOfBlockWritten, block);
    }
    static ChipBehaviour exitBootModeAtBlock(std::uint16_t block)
    {
        return with(Fault::BootExitedInsteadOfBlockWritten, block);
    }
    static ChipBehaviour splitReplies() { return with(Fault::SplitReplies); }
    static ChipBehaviour hangUpAfterBlock(std::uint16_t block) { return with(Fault::HangUpAfterBlock, block); }

private:
    static ChipBehaviour with(Fault fault, std::uint16_t atBlock = 0)
    {
        ChipBehaviour behaviour;
        behaviour.fault = fault;
        behaviour.atBlock = atBlock;
        return behaviour;
    }
};
