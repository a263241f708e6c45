#pragma once

#include "serialport/RingBuffer.h"
#include "serialport/SerialPortBase.h"
#include "serialport/windows/CommEventLoop.h"
#include "serialport/windows/SessionKeeper.h"
#include "serialport/windows/Win32Api.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

// The serial backend on the Win32 communications API (and, through the POSIX
// layer, on Linux ttys). In asynchronous mode an open port runs an event
// thread (CommEventLoop) that moves received bytes into a ring buffer and
// tells the listener; each open is a session (SessionKeeper). When the
// device goes away, the port closes itself and tells the listener once
// (onPortLost); the listener contract is in SerialPortListener.h.
//
// A port name must fit its 256-byte field: a longer one is refused with
// ResultInvalidParam and leaves the port without a name, so that openPort
// fails rather than open another device. Negative sizes and null buffers
// are refused with ResultInvalidParam.
class CSerialPortWinBase final : public CSerialPortBase, private CommEventHandler
{
public:
    CSerialPortWinBase();
    explicit CSerialPortWinBase(const char* portName);
    // Closes the port as closePort does. It may run inside a listener call:
    // the thread making it then ends without touching the backend again.
    ~CSerialPortWinBase() override;

    // Refused on an open port (last error ResultAlreadyOpen, nothing changed):
    // the event thread is filling the receive buffer that this would replace.
    void configure(const char* portName, int baudRate, SerialParity parity,
                   SerialDataBits dataBits, SerialStopBits stopBits,
                   SerialFlowControl flowControl, unsigned int receiveBufferSize) override;
    // Starts a fresh session: the receive buffer is emptied, the line
    // configured in full. A name that already has the device prefix ("\\.\")
    // is taken as it is. Fails with ResultCloseFailed while an earlier
    // session of the same port still holds the device (a driver that never
    // completed its wait).
    bool openPort() override;
    // Stops the event thread, cancels the device's pending I/O and closes it,
    // and returns once no listener call is running or can start (see
    // SerialPortListener.h). The event thread is waited for at most
    // SessionKeeper::kCloseWaitMs, unless closePort runs on it.
    void closePort() override;
    bool isPortOpen() override;
    int receivedByteCount() override;
    // Synchronous mode: a read that fails for any reason but a time-out or
    // a cancel ends the port as lost (see SerialPortListener.h).
    int receive(void* buffer, int size) override;
    int receiveAll(void* buffer) override;
    int receiveLine(void* buffer, int size) override;
    // Returns the bytes that went out, -1 if none could be written. Neither
    // holds the port's lock nor stops reception while it waits. A write
    // that stalls (its time on the wire at the baud rate and 2 s, see
    // LineFraming.h) ends short with ResultTimeout; one that fails, or is
    // cut by closePort, with ResultWriteFailed. A failure of the device
    // itself ends the port as lost.
    int send(const void* data, int size) override;
    void setReservedSwitch(bool on) override;
    void setNotifyDelay(int milliseconds) override;
    void setNotifyMinimum(int bytes) override;
    bool flushOutput() override;
    bool discardInput() override;
    bool discardOutput() override;
    void setDeviceName(const char* name) override;
    const char* deviceName() override;
    void setBaud(int bitsPerSecond) override;
    int baud() override;
    void setParityMode(SerialParity parity) override;
    SerialParity parityMode() override;
    void setDataBitCount(SerialDataBits dataBits) override;
    SerialDataBits dataBitCount() override;
    void setStopBitMode(SerialStopBits stopBits) override;
    SerialStopBits stopBitMode() override;
    void setFlowMode(SerialFlowControl flowControl) override;
    SerialFlowControl flowMode() override;
    void setReceiveBufferSize(unsigned int bytes) override;
    unsigned int receiveBufferSize() override;
    void driveDtr(bool set) override;
    void driveRts(bool set) override;

private:
    // CommEventHandler, on the event thread.
    DWORD receiveQueuedBytes(PortSession& session) override;
    void endLostPort(const std::shared_ptr<PortSession>& session) override;

    DWORD readIntoReceiveBuffer(PortSession& session, DWORD wanted);
    void notifyListener(const PortSession& session, unsigned int usedCount, bool bufferFull);
    void reportDeviceGone(const std::shared_ptr<PortSession>& session);

    bool storePortName(const char* name);
    bool isAsynchronous() const;
    BOOL applyLineSettings();

    std::mutex nameMutex_; // the name is written by configure and read by openPort on any thread
    char portName_[256] = {};
    int baudRate_ = 9600;
    int parity_ = ParityNone;
    int dataBits_ = DataBits8;
    int stopBits_ = StopBitsOne;
    int flowControl_ = FlowControlNone;
    unsigned int receiveBufferSize_ = kDefaultReceiveBufferSize;
    DCB dcb_{}; // the line as the device has it; every setter edits and sends it back
    std::unique_ptr<kavrio::RingBuffer<char>> receiveBuffer_;
    std::vector<char> overflowChunk_; // what a full receive buffer cannot take in one read

    SessionKeeper sessions_;
    std::atomic<bool> portLost_{false}; // until the next open: send fails with ResultWriteFailed
};
