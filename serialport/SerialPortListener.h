#pragma once

namespace kavrio {

// Told by a port's background reception that received bytes are waiting, or
// that the device went away. Implemented by the port's owner; the port never
// owns its listener.
//
// Who calls, on which thread:
// - onReadEvent: the port's event thread (asynchronous mode), or with a
//   notify delay above 0 its timer thread;
// - onPortLost: the event thread; in synchronous mode, which has no event
//   thread, the thread whose send or receive found the device gone, before
//   that call returns.
// Never with the port's lock held, and one call at a time per port: calls
// never overlap, whichever thread makes them.
//
// Closed means closed. Once closePort, detachListener or the port's
// destructor has returned, no call of this listener is running and none
// will start; a pending delayed read call is dropped. They wait for a call
// under way on another thread, so a listener must not wait for the thread
// that closes its port (no blocking hand-off to it). A loss that races a
// close is delivered completely before closePort returns, or not at all.
//
// From inside a call a listener may close, reopen or destroy its port, or
// detach itself: the call cannot wait for itself, so those return at once,
// with the port closed; the call under way finishes normally, no other call
// follows it, and the thread that made it ends without touching the port
// again. The listener must outlive the calls it is making.
class CSerialPortListener
{
public:
    virtual ~CSerialPortListener() = default;

    // portName: the name the port was opened by, valid for the duration of
    // the call, even if the port is reconfigured or destroyed meanwhile.
    // readBufferLen: bytes held in the port's receive buffer at the moment of
    // the call (with a notify delay: when the delay began).
    virtual void onReadEvent(const char* portName, unsigned int readBufferLen) = 0;

    // Once per loss, after the port has closed the device: isPortOpen() is
    // false, lastErrorCode() is ResultReadFailed, and send fails with
    // ResultWriteFailed until the port is opened again, which works once the
    // device is back. portName as for onReadEvent.
    virtual void onPortLost([[maybe_unused]] const char* portName) {}
};

} // namespace kavrio
