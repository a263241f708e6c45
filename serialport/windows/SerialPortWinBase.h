#pragma once

#include "serialport/RingBuffer.h"
#include "serialport/SerialPortBase.h"
#include "serialport/windows/Win32Api.h"

#include <atomic>
#include <memory>

// The serial backend on the Win32 communications API (and, through the POSIX
// layer, on Linux ttys). In asynchronous mode an open port runs an event
// thread that moves received bytes into a ring buffer and tells the listener.
class CSerialPortWinBase final : public CSerialPortBase
{
public:
    CSerialPortWinBase();
    explicit CSerialPortWinBase(const char* portName);
    // Closes an open port and waits for its event thread: no thread outlives
    // the backend. Must not run on the port's own event thread (a listener
    // must not destroy its port).
    ~CSerialPortWinBase() override;

    // Refused on an open port (last error ResultAlreadyOpen, nothing changed):
    // the event thread is filling the receive buffer that this would replace.
    void configure(const char* portName, int baudRate, SerialParity parity,
                   SerialDataBits dataBits, SerialStopBits stopBits,
                   SerialFlowControl flowControl, unsigned int receiveBufferSize) override;
    bool openPort() override;
    // Waits for the event thread to end before the device is closed, unless
    // called on that thread itself.
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

private:
    static unsigned __stdcall commEventLoop(void* backend);
    void runEventLoop();
    void receiveQueuedBytes(HANDLE device);
    void notifyListener(unsigned int usedCount, bool bufferFull);

    bool isAsynchronous() const;
    int readFromDevice(char* buffer, int size);
    int transferOverlapped(bool writing, void* buffer, int size, OVERLAPPED& overlapped);
    BOOL applyConfiguration();
    bool startEventThread();
    void endEventThread();
    void joinRetiredEventThread();
    bool isRunningOnThisThread(unsigned int generation) const;

    struct EventThread
    {
        HANDLE handle = INVALID_HANDLE_VALUE;
        unsigned int generation = 0;
    };

    char portName_[256] = {};
    int baudRate_ = 9600;
    int parity_ = ParityNone;
    int dataBits_ = DataBits8;
    int stopBits_ = StopBitsOne;
    int flowControl_ = FlowControlNone;
    unsigned int receiveBufferSize_ = kDefaultReceiveBufferSize;
    std::atomic<HANDLE> device_{INVALID_HANDLE_VALUE};
    EventThread eventThread_;
    EventThread retiredEventThread_; // ended its port from its own listener call
    OVERLAPPED eventWaitOverlapped_{};
    OVERLAPPED readOverlapped_{};
    OVERLAPPED writeOverlapped_{};
    COMMCONFIG config_{};
    COMMTIMEOUTS timeouts_{};
    std::atomic<bool> running_{false};
    // Counts opens, so that an event thread whose port was closed from its own
    // listener call never works on a later open of the same backend.
    std::atomic<unsigned int> openGeneration_{0};
    std::unique_ptr<kavrio::RingBuffer<char>> receiveBuffer_;
};
