#include "serialport/windows/SerialPortWinBase.h"

#include "serialport/DelayedNotifier.h"
#include "serialport/LineFraming.h"
#include "serialport/TextField.h"

#include <cstring>
#include <mutex>

namespace {

// The size of COMMCONFIG with one provider character, passed to every SetCommConfig.
constexpr DWORD kCommConfigSize = 52;

using Guard = std::lock_guard<std::recursive_mutex>;

// Sets the DCB's flow-control bits; false, with the DCB unchanged, for a
// value that names no flow control.
bool setFlowControlBits(DCB& dcb, int flowControl)
{
    switch (flowControl) {
    case FlowControlNone:
        dcb.fOutxCtsFlow = 0;
        dcb.fOutX = 0;
        dcb.fInX = 0;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        return true;
    case FlowControlHardware:
        dcb.fOutxCtsFlow = 1;
        dcb.fOutX = 0;
        dcb.fInX = 0;
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        return true;
    case FlowControlSoftware:
        dcb.fOutxCtsFlow = 0;
        dcb.fOutX = 1;
        dcb.fInX = 1;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        return true;
    default:
        return false;
    }
}

} // namespace

CSerialPortWinBase::CSerialPortWinBase()
    : receiveBuffer_(std::make_unique<kavrio::RingBuffer<char>>(receiveBufferSize_))
{
    setNotifyHighWater(notifyHighWaterFor(receiveBufferSize_));
    eventWaitOverlapped_.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

CSerialPortWinBase::CSerialPortWinBase(const char* portName) : CSerialPortWinBase()
{
    copyTextField(portName_, portName);
}

CSerialPortWinBase::~CSerialPortWinBase()
{
    closePort();
    joinRetiredEventThread();
    // A delayed call may still be pending; it must not reach this backend's
    // receive buffer once it is gone.
    notifier().stop();
    CloseHandle(eventWaitOverlapped_.hEvent);
}

void CSerialPortWinBase::configure(const char* portName, int baudRate, SerialParity parity,
                                   SerialDataBits dataBits, SerialStopBits stopBits,
                                   SerialFlowControl flowControl, unsigned int receiveBufferSize)
{
    if (isPortOpen()) {
        setLastError(ResultAlreadyOpen);
        return;
    }
    copyTextField(portName_, portName);
    baudRate_ = baudRate;
    parity_ = parity;
    dataBits_ = dataBits;
    stopBits_ = stopBits;
    flowControl_ = flowControl;
    receiveBufferSize_ = receiveBufferSize;
    setNotifyHighWater(notifyHighWaterFor(receiveBufferSize));
    Guard guard(lock());
    receiveBuffer_ = std::make_unique<kavrio::RingBuffer<char>>(receiveBufferSize);
}

bool CSerialPortWinBase::openPort()
{
    // Opening an open port closes it. That happens before the lock is taken:
    // closing waits for the event thread, which may itself be waiting for the lock.
    if (isPortOpen()) {
        setLastError(ResultOpenFailed);
        closePort();
        return false;
    }
    joinRetiredEventThread();

    Guard guard(lock());
    // The whole name goes into the path: cutting it would open another device.
    char path[4 + sizeof portName_] = "\\\\.\\";
    std::strcat(path, portName_);
    WCHAR widePath[sizeof path];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, sizeof path) == 0) {
        setLastError(ResultOpenFailed);
        return false;
    }

    DWORD configSize = kCommConfigSize;
    config_.dwSize = kCommConfigSize;
    device_ = CreateFileW(widePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          isAsynchronous() ? FILE_FLAG_OVERLAPPED : 0, nullptr);
    if (device_ == INVALID_HANDLE_VALUE) {
        switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND: setLastError(ResultNotExist); break;
        case ERROR_ACCESS_DENIED: setLastError(ResultAccessDenied); break;
        default: setLastError(ResultOpenFailed); break;
        }
        return false;
    }

    GetCommConfig(device_, &config_, &configSize);
    GetCommState(device_, &config_.dcb);
    DCB& dcb = config_.dcb;
    dcb.BaudRate = static_cast<DWORD>(baudRate_);
    dcb.ByteSize = static_cast<BYTE>(dataBits_);
    dcb.Parity = static_cast<BYTE>(parity_);
    dcb.StopBits = static_cast<BYTE>(stopBits_);
    dcb.fBinary = 1;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fNull = 0;
    dcb.fAbortOnError = 0;
    setFlowControlBits(dcb, flowControl_);
    if (!SetCommConfig(device_, &config_, configSize)) {
        setLastError(ResultInvalidParam);
        closePort();
        return false;
    }
    PurgeComm(device_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);

    timeouts_.ReadIntervalTimeout = MAXDWORD; // reads return at once with what is queued
    timeouts_.ReadTotalTimeoutMultiplier = 0;
    timeouts_.ReadTotalTimeoutConstant = 0;
    if (!isAsynchronous()) {
        timeouts_.WriteTotalTimeoutMultiplier = 100;
        timeouts_.WriteTotalTimeoutConstant = 500;
        SetCommTimeouts(device_, &timeouts_);
        return true;
    }
    timeouts_.WriteTotalTimeoutMultiplier = 0;
    timeouts_.WriteTotalTimeoutConstant = 0;
    SetCommTimeouts(device_, &timeouts_);

    if (!SetCommMask(device_, EV_RXCHAR)) {
        setLastError(ResultInvalidParam);
        closePort();
        return false;
    }
    if (!startEventThread()) {
        setLastError(ResultInnerError);
        closePort();
        return false;
    }
    return true;
}

void CSerialPortWinBase::closePort()
{
    const HANDLE device = device_;
    if (device == INVALID_HANDLE_VALUE)
        return;
    running_ = false;
    // An empty mask completes the event thread's pending wait, and the purge
    // aborts a write it may be blocked in; then it can be waited for.
    SetCommMask(device, 0);
    PurgeComm(device, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    endEventThread();
    CloseHandle(device);
    device_ = INVALID_HANDLE_VALUE;
    ResetEvent(eventWaitOverlapped_.hEvent);
}

bool CSerialPortWinBase::isPortOpen()
{
    return device_ != INVALID_HANDLE_VALUE;
}

int CSerialPortWinBase::receivedByteCount()
{
    if (!isPortOpen())
        return 0;
    if (!isAsynchronous()) {
        DWORD errors = 0;
        COMSTAT status{};
        ClearCommError(device_, &errors, &status);
        return static_cast<int>(status.cbInQue);
    }
    Guard guard(lock());
    return static_cast<int>(receiveBuffer_->usedCount());
}

int CSerialPortWinBase::receive(void* buffer, int size)
{
    Guard guard(lock());
    if (size <= 0)
        return 0;
    if (!isPortOpen()) {
        setLastError(ResultNotOpen);
        return -1;
    }
    if (isAsynchronous())
        return static_cast<int>(
            receiveBuffer_->take(static_cast<char*>(buffer), static_cast<unsigned int>(size)));

    DWORD count = 0;
    if (!ReadFile(device_, buffer, static_cast<DWORD>(size), &count, nullptr)) {
        setLastError(ResultReadFailed);
        return -1;
    }
    return static_cast<int>(count);
}

int CSerialPortWinBase::receiveAll(void* buffer)
{
    return receive(buffer, receivedByteCount());
}

int CSerialPortWinBase::receiveLine(void*, int)
{
    Guard guard(lock());
    setLastError(isPortOpen() ? ResultNotImplemented : ResultNotOpen);
    return -1;
}

int CSerialPortWinBase::send(const void* data, int size)
{
    Guard guard(lock());
    if (!isPortOpen()) {
        setLastError(ResultNotOpen);
        return -1;
    }
    if (isAsynchronous())
        return transferOverlapped(true, const_cast<void*>(data), size, writeOverlapped_);

    DWORD count = 0;
    if (!WriteFile(device_, data, static_cast<DWORD>(size), &count, nullptr)) {
        setLastError(ResultWriteFailed);
        return -1;
    }
    return static_cast<int>(count);
}

void CSerialPortWinBase::setReservedSwitch(bool)
{
}

void CSerialPortWinBase::setNotifyDelay(int milliseconds)
{
    storeNotifyDelay(milliseconds);
}

void CSerialPortWinBase::setNotifyMinimum(int bytes)
{
    storeNotifyMinimum(bytes);
}

bool CSerialPortWinBase::flushOutput()
{
    Guard guard(lock());
    return isPortOpen() && FlushFileBuffers(device_) == TRUE;
}

bool CSerialPortWinBase::discardInput()
{
    Guard guard(lock());
    return isPortOpen() && PurgeComm(device_, PURGE_RXCLEAR) == TRUE;
}

bool CSerialPortWinBase::discardOutput()
{
    Guard guard(lock());
    return isPortOpen() && PurgeComm(device_, PURGE_TXCLEAR) == TRUE;
}

void CSerialPortWinBase::setDeviceName(const char* name)
{
    copyTextField(portName_, name);
}

const char* CSerialPortWinBase::deviceName()
{
    return portName_;
}

void CSerialPortWinBase::setBaud(int bitsPerSecond)
{
    Guard guard(lock());
    baudRate_ = bitsPerSecond;
    config_.dcb.BaudRate = static_cast<DWORD>(bitsPerSecond);
    applyConfiguration(); // fails harmlessly while the port is closed
}

int CSerialPortWinBase::baud()
{
    return baudRate_;
}

void CSerialPortWinBase::setParityMode(SerialParity parity)
{
    Guard guard(lock());
    parity_ = parity;
    if (!isPortOpen())
        return;
    config_.dcb.Parity = static_cast<BYTE>(parity);
    if (parity == ParityNone)
        config_.dcb.fParity = 0;
    else if (parity >= ParityOdd && parity <= ParitySpace)
        config_.dcb.fParity = 1;
    applyConfiguration();
}

SerialParity CSerialPortWinBase::parityMode()
{
    return static_cast<SerialParity>(parity_);
}

// A frame Windows refuses is stored for the next open but not sent to an
// open device.
void CSerialPortWinBase::setDataBitCount(SerialDataBits dataBits)
{
    Guard guard(lock());
    dataBits_ = dataBits;
    if (isPortOpen() && isFramingAccepted(dataBits, stopBits_)) {
        config_.dcb.ByteSize = static_cast<BYTE>(dataBits);
        applyConfiguration();
    }
}

SerialDataBits CSerialPortWinBase::dataBitCount()
{
    return static_cast<SerialDataBits>(dataBits_);
}

void CSerialPortWinBase::setStopBitMode(SerialStopBits stopBits)
{
    Guard guard(lock());
    stopBits_ = stopBits;
    if (isPortOpen() && isFramingAccepted(dataBits_, stopBits)) {
        config_.dcb.StopBits = static_cast<BYTE>(stopBits);
        applyConfiguration();
    }
}

SerialStopBits CSerialPortWinBase::stopBitMode()
{
    return static_cast<SerialStopBits>(stopBits_);
}

void CSerialPortWinBase::setFlowMode(SerialFlowControl flowControl)
{
    Guard guard(lock());
    flowControl_ = flowControl;
    if (isPortOpen() && setFlowControlBits(config_.dcb, flowControl))
        applyConfiguration();
}

SerialFlowControl CSerialPortWinBase::flowMode()
{
    return static_cast<SerialFlowControl>(flowControl_);
}

// Only records the size while open; the buffer itself is sized by the
// constructors and configure.
void CSerialPortWinBase::setReceiveBufferSize(unsigned int bytes)
{
    Guard guard(lock());
    if (isPortOpen())
        receiveBufferSize_ = bytes;
}

unsigned int CSerialPortWinBase::receiveBufferSize()
{
    return receiveBufferSize_;
}

void CSerialPortWinBase::driveDtr(bool set)
{
    Guard guard(lock());
    if (isPortOpen())
        EscapeCommFunction(device_, set ? SETDTR : CLRDTR);
}

void CSerialPortWinBase::driveRts(bool set)
{
    Guard guard(lock());
    if (isPortOpen())
        EscapeCommFunction(device_, set ? SETRTS : CLRRTS);
}

bool CSerialPortWinBase::isAsynchronous() const
{
    return ioMode() == IoModeAsynchronous;
}

int CSerialPortWinBase::readFromDevice(char* buffer, int size)
{
    Guard guard(lock());
    if (!isPortOpen()) {
        setLastError(ResultNotOpen);
        return -1;
    }
    return transferOverlapped(false, buffer, size, readOverlapped_);
}

// One overlapped read or write, waited for until it completes. The caller
// holds the lock, so a write and the event thread's read never overlap.
int CSerialPortWinBase::transferOverlapped(bool writing, void* buffer, int size,
                                           OVERLAPPED& overlapped)
{
    overlapped.Internal = 0;
    overlapped.InternalHigh = 0;
    overlapped.Offset = 0;
    overlapped.OffsetHigh = 0;
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    DWORD count = 0;
    const BOOL done = writing
        ? WriteFile(device_, buffer, static_cast<DWORD>(size), &count, &overlapped)
        : ReadFile(device_, buffer, static_cast<DWORD>(size), &count, &overlapped);
    int result = static_cast<int>(count);
    if (!done) {
        if (GetLastError() == ERROR_IO_PENDING) {
            GetOverlappedResult(device_, &overlapped, &count, TRUE);
            result = static_cast<int>(count);
        } else {
            setLastError(writing ? ResultWriteFailed : ResultReadFailed);
            result = -1;
        }
    }
    CloseHandle(overlapped.hEvent);
    overlapped.hEvent = nullptr;
    return result;
}

BOOL CSerialPortWinBase::applyConfiguration()
{
    return SetCommConfig(device_, &config_, kCommConfigSize);
}
