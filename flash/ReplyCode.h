#pragma once

#include <QString>


// What one chunk received from the bootloader means to the flash sequence. The
// values carry the digits of the acknowledgement's third byte in hexadecimal.
enum class ReplyCode : int {
    Unrecognised = 1,
    BootReady = 32,
    BlockWritten = 33,
    TransferEnded = 34,
    BootExited = 35,
    FactoryResetDone = 36,
};

// Only an acknowledgement at the very start of the chunk counts; bytes after it
// are ignored. Safe for any n, including chunks too short to hold one.
ReplyCode classifyReply(const char* bytes, int n);

// The bytes an acknowledgement of this code occupies at the start of a chunk:
// 6 for BootReady, 3 for the others.
int replyLength(ReplyCode code);

// Whether the n bytes are the beginning of an acknowledgement that more bytes
// could still complete (55, 55 66, 55 66 3N, and a boot-ready reply up to its
// fifth byte).
bool isReplyPrefix(const char* bytes, int n);

// The receive pane's text for a chunk: every byte decoded in the local 8-bit
// encoding, then reduced to the characters an operator can read off a
// bootloader banner. Callable from any thread.
QString replyDisplayText(const char* bytes, int n);
