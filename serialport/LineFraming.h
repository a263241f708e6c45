#pragma once

// Whether a character frame is one Windows accepts: 5 to 8 data bits with one
// stop bit, 1.5 stop bits only with 5 data bits, 2 stop bits only with more.
// The values are those of SerialDataBits and SerialStopBits (and of the DCB).
constexpr bool isFramingAccepted(int dataBits, int stopBits)
{
    if (dataBits < 5 || dataBits > 8)
        return false;
    switch (stopBits) {
    case 0: return true;
    case 1: return dataBits == 5;
    case 2: return dataBits != 5;
    default: return false;
    }
}

// The most bits one character takes on the wire: the start bit, the data
// bits, a parity bit and the stop bits (1.5 counted as 2).
constexpr unsigned int bitsPerCharacter(int dataBits, int parity, int stopBits)
{
    return 1u + static_cast<unsigned int>(dataBits) + (parity != 0 ? 1u : 0u) + (stopBits == 0 ? 1u : 2u);
}

// How long a write of `bytes` may take before it counts as stalled: its time
// on the wire at `baudRate`, rounded up, and kWriteSlackMs for the driver,
// flow control and a busy system. Never more than 0xFFFFFFFE ms (0xFFFFFFFF
// means "for ever" to Win32).
constexpr unsigned int kWriteSlackMs = 2000;
constexpr unsigned int writeTimeoutMs(unsigned long long bytes, int baudRate, unsigned int bitsPerChar)
{
    const unsigned long long bitsPerSecond = baudRate > 0 ? static_cast<unsigned long long>(baudRate) : 1;
    const unsigned long long wireMs = (bytes * bitsPerChar * 1000 + bitsPerSecond - 1) / bitsPerSecond;
    const unsigned long long total = wireMs + kWriteSlackMs;
    return total < 0xFFFFFFFFull ? static_cast<unsigned int>(total) : 0xFFFFFFFEu;
}
