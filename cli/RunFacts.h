#pragma once

#include "flash/DialogueReport.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>

// The image of a flash batch as a record traces it: every board gets these
// very bytes.
struct ImageFacts
{
    QString path; // absolute
    QString sha256;
    std::uint32_t bytes = 0;
    std::uint32_t blockCount = 0;
};

// How far one board's run has got.
struct BoardProgress
{
    QString port;
    std::uint32_t block = 0;      // the block written last; 0 before the first
    std::uint32_t blockCount = 0; // 0 in a factory reset
    std::chrono::milliseconds elapsed{0};
    std::optional<std::chrono::milliseconds> timeLeft; // nothing while the run cannot tell
    std::optional<RunResult> result;       // once the run has ended
};
