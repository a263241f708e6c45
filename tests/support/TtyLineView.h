#pragma once

// The line settings of a pty's slave side, read through its master (the
// kernel forwards termios requests on a master to its slave) and decoded
// independently of the code under test.
struct TtyLineView
{
    unsigned int baudRate = 0;
    unsigned int speedCode = 0; // the termios speed (B9600 ...; BOTHER for a rate given as a number)
    bool extraStopBit = false; // CSTOPB: 2 stop bits, or 1.5 with 5 data bits
    bool raw = false;          // no echo, no line editing, no translation

    static TtyLineView ofSlaveOf(int masterFd);
};
