#pragma once

namespace kavrio {

// Told by a port's background reception that received bytes are waiting.
// Called on the port's event thread (or on its delayed-notify timer thread),
// never on the thread that drives the port, and never with the port's lock held.
class CSerialPortListener
{
public:
    virtual ~CSerialPortListener() = default;

    // portName: the port's stored name, valid for the duration of the call.
    // readBufferLen: bytes held in the port's receive buffer at the moment of the call.
    virtual void onReadEvent(const char* portName, unsigned int readBufferLen) = 0;
};

} // namespace kavrio
