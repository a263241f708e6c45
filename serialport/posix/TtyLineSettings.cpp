#include "serialport/posix/TtyLineSettings.h"

#ifndef __linux__
#error "tty line settings are implemented for Linux (termios2) only"
#endif

#include "serialport/LineFraming.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace {

bool isValid(const DCB& dcb)
{
    return dcb.BaudRate != 0 && dcb.Parity <= SPACEPARITY && isFramingAccepted(dcb.ByteSize, dcb.StopBits);
}

tcflag_t characterSizeFlag(BYTE byteSize)
{
    switch (byteSize) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

BYTE byteSizeOf(tcflag_t cflag)
{
    switch (cflag & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
    }
}

// With CMSPAR the parity bit is constant: PARODD selects mark (1), else space (0).
tcflag_t parityFlags(BYTE parity)
{
    switch (parity) {
    case ODDPARITY: return PARENB | PARODD;
    case EVENPARITY: return PARENB;
    case MARKPARITY: return PARENB | CMSPAR | PARODD;
    case SPACEPARITY: return PARENB | CMSPAR;
    default: return 0;
    }
}

BYTE parityOf(tcflag_t cflag)
{
    if (!(cflag & PARENB))
        return NOPARITY;
    if (cflag & CMSPAR)
        return (cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    return (cflag & PARODD) ? ODDPARITY : EVENPARITY;
}

// The rates termios names, with their codes.
struct StandardSpeed
{
    DWORD baudRate;
    tcflag_t code;
};
constexpr StandardSpeed kStandardSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

// The speed bits of c_cflag for a rate: its standard code, else BOTHER.
tcflag_t speedFlag(DWORD baudRate)
{
    for (const StandardSpeed& speed : kStandardSpeeds) {
        if (speed.baudRate == baudRate)
            return speed.code;
    }
    return BOTHER;
}

DWORD errorFromErrno()
{
    return errno == EBADF || errno == ENOTTY ? ERROR_INVALID_HANDLE : ERROR_GEN_FAILURE;
}

// The DCB that describes `tty`.
void dcbForTermios2(const termios2& tty, DCB& dcb)
{
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = tty.c_ospeed;
    dcb.fBinary = 1;
    dcb.fParity = (tty.c_iflag & INPCK) ? 1 : 0;
    dcb.fOutxCtsFlow = (tty.c_cflag & CRTSCTS) ? 1 : 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = (tty.c_iflag & IXON) ? 1 : 0;
    dcb.fInX = (tty.c_iflag & IXOFF) ? 1 : 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = (tty.c_cflag & CRTSCTS) ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = 0;
    dcb.ByteSize = byteSizeOf(tty.c_cflag);
    dcb.Parity = parityOf(tty.c_cflag);
    if (tty.c_cflag & CSTOPB)
        dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    else
        dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = static_cast<char>(tty.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(tty.c_cc[VSTOP]);
    dcb.EofChar = static_cast<char>(tty.c_cc[VEOF]);
}

} // namespace

DWORD termios2ForDcb(const DCB& dcb, termios2& tty)
{
    if (!isValid(dcb))
        return ERROR_INVALID_PARAMETER;

    // Raw bytes both ways: no line editing, echo, signals or translation.
    tty.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | INPCK);
    tty.c_oflag &= ~OPOST;
    tty.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tty.c_cc[VMIN] = 0;
    tty.c_cc[VTIME] = 0;

    // Modem status lines are ignored, as a Windows COM port does.
    tty.c_cflag &= ~(CBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tty.c_cflag |= CREAD | CLOCAL | characterSizeFlag(dcb.ByteSize) | parityFlags(dcb.Parity);
    if (dcb.StopBits != ONESTOPBIT)
        tty.c_cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        tty.c_cflag |= CRTSCTS;
    if (dcb.Parity != NOPARITY && dcb.fParity)
        tty.c_iflag |= INPCK;
    if (dcb.fOutX)
        tty.c_iflag |= IXON;
    if (dcb.fInX)
        tty.c_iflag |= IXOFF;
    if (dcb.XonChar != dcb.XoffChar) {
        tty.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
        tty.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    }

    // BOTHER carries the rate as a number, so 14400 and 56000 work like 9600.
    // No input speed of its own: the input follows the output.
    tty.c_cflag &= ~(CBAUD << IBSHIFT);
    tty.c_cflag |= speedFlag(dcb.BaudRate);
    tty.c_ispeed = dcb.BaudRate;
    tty.c_ospeed = dcb.BaudRate;
    return ERROR_SUCCESS;
}

DWORD readTtyLineSettings(int fd, DCB& dcb)
{
    termios2 tty{};
    if (ioctl(fd, TCGETS2, &tty) != 0)
        return errorFromErrno();
    dcbForTermios2(tty, dcb);
    return ERROR_SUCCESS;
}

DWORD applyTtyLineSettings(int fd, const DCB& dcb)
{
    termios2 tty{};
    if (ioctl(fd, TCGETS2, &tty) != 0)
        return errorFromErrno();
    const DWORD error = termios2ForDcb(dcb, tty);
    if (error != ERROR_SUCCESS)
        return error;
    if (ioctl(fd, TCSETS2, &tty) != 0)
        return errno == EINVAL ? ERROR_INVALID_PARAMETER : errorFromErrno();
    return ERROR_SUCCESS;
}

SavedTtyLine::SavedTtyLine(int fd) : settings_(std::make_unique<termios2>())
{
    if (ioctl(fd, TCGETS2, settings_.get()) != 0)
        settings_.reset();
}

SavedTtyLine::~SavedTtyLine() = default;

// A tty that went away refuses; there is nothing left to put back then.
void SavedTtyLine::restore(int fd) const
{
    if (settings_)
        ioctl(fd, TCSETS2, settings_.get());
}
