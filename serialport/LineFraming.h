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
