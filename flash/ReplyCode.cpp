#include "flash/ReplyCode.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace {

constexpr int kHexGroupLength = 5; // "0xHH "
constexpr int kDecidingBytes = 6; // a boot-ready reply ends with its sixth byte
constexpr std::size_t kPrefixLength = 14; // "0x55 0x66 0x3N", the first three bytes
constexpr std::size_t kBootReadyTailPosition = (kDecidingBytes - 1) * kHexGroupLength;

struct Acknowledgement {
    const char* prefix;
    ReplyCode code;
};

// Tried in this order. Once the boot-ready prefix matches, its sixth byte
// alone decides; no later entry is tried.
constexpr std::array<Acknowledgement, 5> kAcknowledgements{{
    {"0x55 0x66 0x32", BootReady},
    {"0x55 0x66 0x33", BlockWritten},
    {"0x55 0x66 0x34", TransferEnded},
    {"0x55 0x66 0x35", BootExited},
    {"0x55 0x66 0x36", FactoryResetDone},
}};

bool startsWith(const std::string& text, const char* prefix)
{
    return text.size() >= kPrefixLength && text.compare(0, kPrefixLength, prefix) == 0;
}

} // namespace

std::string toHexText(const char* bytes, int n)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    if (n <= 0)
        return text;
    text.reserve(static_cast<std::size_t>(n) * kHexGroupLength);
    for (int k = 0; k < n; ++k) {
        const auto byte = static_cast<unsigned char>(bytes[k]);
        text += "0x";
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
        text += ' ';
    }
    return text;
}

ReplyCode classifyReply(const char* bytes, int n)
{
    // A reply of a whole receive buffer can be kilobytes long; no byte after
    // the sixth can change the result, so only those are rendered.
    const std::string text = toHexText(bytes, std::min(n, kDecidingBytes));
    for (const Acknowledgement& acknowledgement : kAcknowledgements) {
        if (!startsWith(text, acknowledgement.prefix))
            continue;
        if (acknowledgement.code != BootReady)
            return acknowledgement.code;
        const bool hasZeroSixthByte = text.size() > kBootReadyTailPosition
            && text.compare(kBootReadyTailPosition, 4, "0x00") == 0;
        return hasZeroSixthByte ? BootReady : Unrecognised;
    }
    return Unrecognised;
}

QString replyDisplayText(const char* bytes, int n)
{
    // The receive pane's long-standing filter, which reads oddly: ".-a" is a
    // range from the full stop to the small a, followed by a literal hyphen, so
    // of the small letters only "a" and "z" stay. Compiled once; matching with
    // a const expression is safe on any thread.
    static const QRegularExpression unreadable("[^.-a-zA-Z\\d\\s]");
    if (n <= 0)
        return QString();
    return QString::fromLocal8Bit(bytes, n).remove(unreadable);
}
