#pragma once

#include "serialport/RingBuffer.h"
#include "serialport/SerialPortBase.h"
#include "serialport/windows/PortSession.h"
#include "serialport/windows/Win32Api.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

// The serial backend on the Win32 communications API (and, through the POSIX
// layer, on Linux ttys). In asynchronous mode an open port runs an event
// thread that moves received bytes into a ring buffer and tells the listener;
// when the device goes away, the thread closes the port and tells the
// listener once (onPortLost).
//
// A port name must fit its 256-byte field: a longer one is refused with
// ResultInvalidParam and leaves the port without a name, so that openPort
// fails rather than open another device. Negative sizes and null buffers
// are refused with ResultInvalidParam.
class CSerialPortWinBase final : public CSerialPortBase
{
public:
    CSerialPortWinBase();
    explicit CSerialPortWinBase(const char* portName);
    // Closes an open port and waits for its event thread as closePort does.
    // It may run inside a listener call on the event thread: that thread
    // then ends without touching the backend again.
    ~CSerialPortWinBase() override;

    // Refused on an open port (last error ResultAlreadyOpen, nothing changed):
    // the event thread is filling the receive buffer that this would replace.
    void configure(const char* portName, int baudRate, SerialParity parity,
                   SerialDataBits dataBits, SerialStopBits stopBits,
                   SerialFlowControl flowControl, unsigned int receiveBufferSize) override;
    // Starts a fresh session: the receive buffer is emptied, the line
    // configured in full.
    bool openPort() override;
    // Cancels the device's pending I/O and waits for the event thread to end
    // (unless called on that thread itself), at most kCloseWaitMs: a driver
    // that never completes a wait leaves the thread, which keeps the device
    // open until it ends, but does not hold up the caller.
    void closePort() override;
    bool isPortOpen() override;
    int receivedByteCount() override;
    int receive(void* buffer, int size) override;
    int receiveAll(void* buffer) override;
    int receiveLine(void* buffer, int size) override;
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

    static constexpr DWORD kCloseWaitMs = 2000;

private:
    struct EventThreadStart;
    static unsigned __stdcall commEventLoop(void* start);
    void runEventLoop(const std::shared_ptr<PortSession>& session);
    DWORD receiveQueuedBytes(PortSession& session);
    DWORD readIntoReceiveBuffer(PortSession& session, DWORD wanted);
    void notifyListener(unsigned int usedCount, bool bufferFull);
    void endLostPort(const std::shared_ptr<PortSession>& session);

    bool startEventThread(const std::shared_ptr<PortSession>& session);
    std::shared_ptr<PortSession> takeSession(const PortSession* expected = nullptr);
    void endSession(const std::shared_ptr<PortSession>& session);
    bool lockOutWriters(PortSession& session, std::chrono::steady_clock::time_point deadline);
    void waitForRetiredThreads();
    void releaseRetiredThreads();

    std::shared_ptr<PortSession> currentSession();
    bool storePortName(const char* name);
    bool isAsynchronous() const;
    BOOL applyConfiguration();

    char portName_[256] = {};
    int baudRate_ = 9600;
    int parity_ = ParityNone;
    int dataBits_ = DataBits8;
    int stopBits_ = StopBitsOne;
    int flowControl_ = FlowControlNone;
    unsigned int receiveBufferSize_ = kDefaultReceiveBufferSize;
    COMMCONFIG config_{};
    COMMTIMEOUTS timeouts_{};
    std::unique_ptr<kavrio::RingBuffer<char>> receiveBuffer_;
    std::vector<char> overflowChunk_; // what a full receive buffer cannot take in one read

    // Never held across a wait or a device call.
    std::mutex sessionMutex_;
    std::shared_ptr<PortSession> session_; // null while the port is closed
    // Sessions whose event thread may still run: it closed its own port, or
    // outlived closePort's wait.
    std::vector<std::shared_ptr<PortSession>> retiredSessions_;
    std::atomic<bool> portLost_{false}; // until the next open: send fails with ResultWriteFailed
};
