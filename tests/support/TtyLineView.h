#pragma once

struct termios2;

// Line settings decoded from the kernel's termios2, independently of the code
// under test: of a given termios2, or of a pty's slave side read through its
// master (the kernel forwards termios requests on a master to its slave).
struct TtyLineView
{
    unsigned int baudRate = 0;
    int dataBits = 0;
    char parity = '?'; // 'N', 'O', 'E', 'M' (mark), 'S' (space)
    bool extraStopBit = false; // CSTOPB: 2 stop bits, or 1.5 with 5 data bits
    bool raw = false; // no echo, no line editing, no translation

    static TtyLineView of(const termios2& tty);
    static TtyLineView ofSlaveOf(int masterFd);
};
