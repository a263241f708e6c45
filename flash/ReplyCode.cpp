#include "flash/ReplyCode.h"

#include <QRegularExpression>

namespace {

constexpr unsigned char kReplyLead = 0x55;
constexpr unsigned char kReplySecond = 0x66;
constexpr int kBootReadyLength = 6;
constexpr int kAcknowledgementLength = 3;

unsigned char byteAt(const char* bytes, int k)
{
    return static_cast<unsigned char>(bytes[k]);
}

// The third byte of an acknowledgement: 0x32 (boot ready) to 0x36 (factory reset done).
bool isAcknowledgedCommand(unsigned char command)
{
    return command >= 0x32 && command <= 0x36;
}

} // namespace

// The acknowledgement stands at the very start of the chunk: 55 66 followed by
// 33 to 36, or by 32 with a sixth byte of 00. Later bytes are not looked at.
ReplyCode classifyReply(const char* bytes, int n)
{
    if (n < kAcknowledgementLength || byteAt(bytes, 0) != kReplyLead || byteAt(bytes, 1) != kReplySecond)
        return ReplyCode::Unrecognised;
    switch (byteAt(bytes, 2)) {
    case 0x32:
        return n >= kBootReadyLength && byteAt(bytes, 5) == 0x00 ? ReplyCode::BootReady
                                                                  : ReplyCode::Unrecognised;
    case 0x33: return ReplyCode::BlockWritten;
    case 0x34: return ReplyCode::TransferEnded;
    case 0x35: return ReplyCode::BootExited;
    case 0x36: return ReplyCode::FactoryResetDone;
    default: return ReplyCode::Unrecognised;
    }
}

int replyLength(ReplyCode code)
{
    return code == ReplyCode::BootReady ? kBootReadyLength : kAcknowledgementLength;
}

bool isReplyPrefix(const char* bytes, int n)
{
    if (n < 1 || n >= kBootReadyLength || byteAt(bytes, 0) != kReplyLead)
        return false;
    if (n >= 2 && byteAt(bytes, 1) != kReplySecond)
        return false;
    if (n >= 3 && !isAcknowledgedCommand(byteAt(bytes, 2)))
        return false;
    // Three bytes complete every acknowledgement but the boot-ready one.
    return n < kAcknowledgementLength || byteAt(bytes, 2) == 0x32;
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
