#pragma once

#include <QString>

#include <string>

// What one chunk received from the bootloader means to the flash sequence. The
// values carry the digits of the acknowledgement's third byte in hexadecimal.
enum ReplyCode {
    Unrecognised = 1,
    BootReady = 32,
    BlockWritten = 33,
    TransferEnded = 34,
    BootExited = 35,
    FactoryResetDone = 36,
};

// "0xHH " for each byte, upper-case digits; empty for n <= 0.
std::string toHexText(const char* bytes, int n);

// Only an acknowledgement at the very start of the chunk counts; bytes after it
// are ignored. Safe for any n, including chunks too short to hold one.
ReplyCode classifyReply(const char* bytes, int n);

// The receive pane's text for a chunk: every byte decoded in the local 8-bit
// encoding, then reduced to the characters an operator can read off a
// bootloader banner. Callable from any thread.
QString replyDisplayText(const char* bytes, int n);
