#pragma once

#include "serialport/SerialPort.h"
#include "tests/support/ProcessResources.h"
#include "tests/support/PtyPair.h"

// Configures `port` for the slave side of `pty`.
inline void configure(CSerialPort& port, const PtyPair& pty, int baudRate = 115200,
                      unsigned int receiveBufferSize = 4096)
{
    port.configure(pty.slavePath().c_str(), baudRate, ParityNone, DataBits8, StopBitsOne, FlowControlNone,
                   receiveBufferSize);
}

// The threads of this process while it has no port (at most: the first
// port's thread may not quite have left), with what a process makes once (a
// sanitizer's helper thread) made by that port.
inline std::size_t threadsWithoutPorts(const PtyPair& pty)
{
    CSerialPort port;
    configure(port, pty);
    return port.openPort() ? (port.closePort(), countThreads()) : 0;
}
