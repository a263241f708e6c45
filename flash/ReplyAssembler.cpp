#include "flash/ReplyAssembler.h"

namespace {

bool startsReply(const std::string& bytes, std::size_t at)
{
    const char* start = bytes.data() + at;
    const int length = static_cast<int>(bytes.size() - at);
    return classifyReply(start, length) != ReplyCode::Unrecognised || isReplyPrefix(start, length);
}

// Where the next acknowledgement, or the kept beginning of one, starts after
// the unrecognised bytes at the front; the end when none does.
std::size_t endOfUnrecognised(const std::string& bytes)
{
    std::size_t at = 1;
    while (at < bytes.size() && !startsReply(bytes, at))
        ++at;
    return at;
}

} // namespace

std::vector<ReplyAssembler::Piece> ReplyAssembler::take(const char* bytes, int n)
{
    if (n > 0)
        pending_.append(bytes, static_cast<std::size_t>(n));
    std::vector<Piece> pieces;
    while (!pending_.empty()) {
        const int length = static_cast<int>(pending_.size());
        const ReplyCode code = classifyReply(pending_.data(), length);
        if (code == ReplyCode::Unrecognised && isReplyPrefix(pending_.data(), length))
            break;
        const std::size_t pieceLength = code == ReplyCode::Unrecognised
            ? endOfUnrecognised(pending_)
            : static_cast<std::size_t>(replyLength(code));
        pieces.push_back({pending_.substr(0, pieceLength), code});
        pending_.erase(0, pieceLength);
    }
    return pieces;
}

std::optional<ReplyAssembler::Piece> ReplyAssembler::flush()
{
    if (pending_.empty())
        return std::nullopt;
    Piece piece{std::move(pending_), ReplyCode::Unrecognised};
    pending_.clear();
    return piece;
}
