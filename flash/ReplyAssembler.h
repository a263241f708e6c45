#pragma once

#include "flash/ReplyCode.h"

#include <optional>
#include <string>
#include <vector>

// Cuts the bytes received from the chip into what the sequence reacts to:
// whole acknowledgements, and the unrecognised bytes between them, however
// the reads happened to split them. An acknowledgement may arrive in pieces
// (a UART or adapter delivering 3 + 3 bytes), share a read with the next one,
// or follow a banner in the same read.
class ReplyAssembler
{
public:
    struct Piece
    {
        std::string bytes;
        ReplyCode code;
    };

    // Appends a received chunk and returns the pieces it completes, in order.
    // A trailing beginning of an acknowledgement (at most five bytes) is kept
    // back to be joined with the next chunk.
    std::vector<Piece> take(const char* bytes, int n);

    // Gives up waiting for the rest of a kept beginning: it becomes an
    // unrecognised piece. Nothing while nothing is kept.
    std::optional<Piece> flush();

    bool holdsPrefix() const { return !pending_.empty(); }

private:
    std::string pending_;
};
