#pragma once

namespace kavrio {

// Told by a port's background reception that received bytes are waiting, or
// that the device went away. Called on the port's event thread (read events
// also on its delayed-notify timer thread when a notify delay is set), never
// on the thread that drives the port, and never with the port's lock held.
// From a call on the event thread a listener may close, reopen or destroy
// its port; the port's name is not valid after it is destroyed.
class CSerialPortListener
{
public:
    virtual ~CSerialPortListener() = default;

    // portName: the port's stored name, valid for the duration of the call.
    // readBufferLen: bytes held in the port's receive buffer at the moment of the call.
    virtual void onReadEvent(const char* portName, unsigned int readBufferLen) = 0;

    // Once per loss, after the port has closed the device: isPortOpen() is
    // false, lastErrorCode() is ResultReadFailed, and send fails with
    // ResultWriteFailed until the port is opened again, which works once the
    // device is back.
    virtual void onPortLost([[maybe_unused]] const char* portName) {}
};

} // namespace kavrio
