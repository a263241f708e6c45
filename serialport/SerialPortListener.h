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

    // The port went away (an adapter unplugged, a peer hung up): called once,
    // on the port's event thread, after the library has closed the port.
    virtual void onPortLost(const char* /*portName*/) {}
};

} // namespace kavrio
