#pragma once

#include "serialport/SerialPortListener.h"

#include <atomic>
#include <memory>
#include <mutex>

// Line settings. The numbers are those of the Win32 DCB, so the Windows backend
// stores them unchanged.
enum SerialParity : int {
    ParityNone = 0,
    ParityOdd = 1,
    ParityEven = 2,
    ParityMark = 3,
    ParitySpace = 4,
};

enum SerialDataBits : int {
    DataBits5 = 5,
    DataBits6 = 6,
    DataBits7 = 7,
    DataBits8 = 8,
};

enum SerialStopBits : int {
    StopBitsOne = 0,
    StopBitsOneAndHalf = 1,
    StopBitsTwo = 2,
};

enum SerialFlowControl : int {
    FlowControlNone = 0,
    FlowControlHardware = 1, // RTS/CTS
    FlowControlSoftware = 2, // XON/XOFF
};

// Any non-zero value counts as synchronous.
enum SerialIoMode : int {
    IoModeAsynchronous = 0,
    IoModeSynchronous = 1,
};

// Error codes kept as a port's last error; serialResultText gives their fixed texts.
enum SerialResult : int {
    ResultUnknownError = -1,
    ResultSuccess = 0,
    ResultGeneralError = 1,
    ResultNotImplemented = 2,
    ResultInnerError = 3, // the event thread could not be started
    ResultNullPointer = 4,
    ResultInvalidParam = 5, // also: the device refused the configuration
    ResultAccessDenied = 6,
    ResultOutOfMemory = 7,
    ResultTimeout = 8,
    ResultNotInit = 9,
    ResultInitFailed = 10,
    ResultAlreadyExist = 11,
    ResultNotExist = 12,
    ResultAlreadyOpen = 13,
    ResultNotOpen = 14,
    ResultOpenFailed = 15,
    ResultCloseFailed = 16,
    ResultWriteFailed = 17,
    ResultReadFailed = 18,
};

// The fixed, static text of an error code; "undefined error code" outside -1..18.
const char* serialResultText(int code);

// The notify high water that goes with a receive buffer size: 80 %, truncated.
constexpr int notifyHighWaterFor(unsigned int receiveBufferSize)
{
    return static_cast<int>(static_cast<double>(receiveBufferSize) * 0.8);
}

class DelayedNotifier;
class ListenerGate;

// The abstract backend of a serial port. A platform backend implements the
// pure operations; this class keeps what every backend shares: the last error,
// the I/O mode, the notification settings, the recursive lock, the gate to
// the listener and the delayed notifier.
class CSerialPortBase
{
public:
    static constexpr int kDefaultNotifyDelayMs = 50;
    static constexpr unsigned int kDefaultReceiveBufferSize = 4096;

    CSerialPortBase();
    virtual ~CSerialPortBase();

    CSerialPortBase(const CSerialPortBase&) = delete;
    CSerialPortBase& operator=(const CSerialPortBase&) = delete;

    virtual void configure(const char* portName, int baudRate, SerialParity parity,
                           SerialDataBits dataBits, SerialStopBits stopBits,
                           SerialFlowControl flowControl, unsigned int receiveBufferSize) = 0;
    virtual void setIoMode(SerialIoMode mode);
    virtual bool openPort() = 0;
    virtual void closePort() = 0;
    virtual bool isPortOpen() = 0;
    virtual int receivedByteCount() = 0;
    virtual int receive(void* buffer, int size) = 0;
    virtual int receiveAll(void* buffer) = 0;
    virtual int receiveLine(void* buffer, int size) = 0;
    virtual int send(const void* data, int size) = 0;
    virtual void setReservedSwitch(bool on) = 0;
    virtual void setNotifyDelay(int milliseconds) = 0;
    virtual int notifyDelay();
    virtual void setNotifyMinimum(int bytes) = 0;
    virtual int notifyMinimum();
    virtual void setNotifyHighWater(int bytes);
    virtual int notifyHighWater();
    virtual bool flushOutput() = 0;
    virtual bool discardInput() = 0;
    virtual bool discardOutput() = 0;
    virtual int lastErrorCode();
    virtual const char* lastErrorText();
    virtual void resetLastError();
    virtual void setDeviceName(const char* name) = 0;
    virtual const char* deviceName() = 0;
    virtual void setBaud(int bitsPerSecond) = 0;
    virtual int baud() = 0;
    virtual void setParityMode(SerialParity parity) = 0;
    virtual SerialParity parityMode() = 0;
    virtual void setDataBitCount(SerialDataBits dataBits) = 0;
    virtual SerialDataBits dataBitCount() = 0;
    virtual void setStopBitMode(SerialStopBits stopBits) = 0;
    virtual SerialStopBits stopBitMode() = 0;
    virtual void setFlowMode(SerialFlowControl flowControl) = 0;
    virtual SerialFlowControl flowMode() = 0;
    virtual void setReceiveBufferSize(unsigned int bytes) = 0;
    virtual unsigned int receiveBufferSize() = 0;
    virtual void driveDtr(bool set) = 0;
    virtual void driveRts(bool set) = 0;

    // A null listener gives ResultInvalidParam and keeps the earlier one;
    // neither call touches the last error. detachListener drops a pending
    // delayed call and returns once no listener call is running (one that
    // the caller itself is making aside): see SerialPortListener.h.
    int attachListener(kavrio::CSerialPortListener* listener);
    int detachListener();

protected:
    void setLastError(int code);
    int ioMode() const;
    // Every listener call passes it; shared with the threads that call.
    const std::shared_ptr<ListenerGate>& gate() const;
    std::recursive_mutex& lock();
    DelayedNotifier& notifier();
    // Backends store the delay and minimum through these (their setters are pure).
    void storeNotifyDelay(int milliseconds);
    void storeNotifyMinimum(int bytes);

private:
    // The event thread and the timer thread read these while the owner's
    // thread may change them, hence atomics.
    std::atomic<int> lastError_{ResultSuccess};
    std::atomic<int> ioMode_{IoModeAsynchronous};
    std::atomic<int> notifyDelay_{kDefaultNotifyDelayMs};
    std::atomic<int> notifyMinimum_{1};
    std::atomic<int> notifyHighWater_{notifyHighWaterFor(kDefaultReceiveBufferSize)};
    std::recursive_mutex lock_;
    std::shared_ptr<ListenerGate> gate_;
    std::unique_ptr<DelayedNotifier> notifier_;
};
