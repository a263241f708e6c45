#include "serialport/windows/SerialPortWinBase.h"

#include "serialport/DelayedNotifier.h"
#include "serialport/LineFraming.h"
#include "serialport/TextField.h"

#include <cstring>

namespace {

// The size of COMMCONFIG with one provider character, passed to every SetCommConfig.
constexpr DWORD kCommConfigSize = 52;

// A write of n bytes may take up to n * 100 + 500 ms; then send returns what
// went out. Reads return at once with what is queued.
constexpr DWORD kWriteTimeoutPerByteMs = 100;
constexpr DWORD kWriteTimeoutConstantMs = 500;

constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;

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

// Every field that shapes the line is set, so nothing another program left
// in the device (DSR flow control, an error character, odd XON/XOFF
// characters) stays in force. The XON/XOFF limits are the driver's own.
void fillLineSettings(DCB& dcb, int baudRate, int parity, int dataBits, int stopBits, int flowControl)
{
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = static_cast<DWORD>(baudRate);
    dcb.ByteSize = static_cast<BYTE>(dataBits);
    dcb.Parity = static_cast<BYTE>(parity);
    dcb.StopBits = static_cast<BYTE>(stopBits);
    dcb.fBinary = 1;
    dcb.fParity = parity != ParityNone;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 1; // our writes do not wait for our own reading
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fAbortOnError = 0;
    dcb.XonChar = kXon;
    dcb.XoffChar = kXoff;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    setFlowControlBits(dcb, flowControl);
}

bool isValidBuffer(const void* buffer, int size)
{
    return size >= 0 && (buffer != nullptr || size == 0);
}

} // namespace

CSerialPortWinBase::CSerialPortWinBase()
    : receiveBuffer_(std::make_unique<kavrio::RingBuffer<char>>(receiveBufferSize_))
{
    setNotifyHighWater(notifyHighWaterFor(receiveBufferSize_));
}

CSerialPortWinBase::CSerialPortWinBase(const char* portName) : CSerialPortWinBase()
{
    storePortName(portName);
}

CSerialPortWinBase::~CSerialPortWinBase()
{
    closePort();
    releaseRetiredThreads();
    // A delayed call may still be pending; it must not reach this backend's
    // receive buffer once it is gone.
    notifier().stop();
}

void CSerialPortWinBase::configure(const char* portName, int baudRate, SerialParity parity,
                                   SerialDataBits dataBits, SerialStopBits stopBits,
                                   SerialFlowControl flowControl, unsigned int receiveBufferSize)
{
    if (isPortOpen()) {
        setLastError(ResultAlreadyOpen);
        return;
    }
    if (!storePortName(portName))
        return;
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
    waitForRetiredThreads();
    if (portName_[0] == '\0') {
        setLastError(ResultInvalidParam);
        return false;
    }

    Guard guard(lock());
    // The whole name goes into the path: cutting it would open another device.
    char path[4 + sizeof portName_] = "\\\\.\\";
    std::strcat(path, portName_);
    WCHAR widePath[sizeof path];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, sizeof path) == 0) {
        setLastError(ResultOpenFailed);
        return false;
    }
    const HANDLE device = CreateFileW(widePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      isAsynchronous() ? FILE_FLAG_OVERLAPPED : 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND: setLastError(ResultNotExist); break;
        case ERROR_ACCESS_DENIED: setLastError(ResultAccessDenied); break;
        default: setLastError(ResultOpenFailed); break;
        }
        return false;
    }
    // From here on a failure closes the device with the session.
    const auto session = std::make_shared<PortSession>(device);

    DWORD configSize = kCommConfigSize;
    config_.dwSize = kCommConfigSize;
    GetCommConfig(device, &config_, &configSize);
    GetCommState(device, &config_.dcb);
    fillLineSettings(config_.dcb, baudRate_, parity_, dataBits_, stopBits_, flowControl_);
    if (!SetCommConfig(device, &config_, configSize)) {
        setLastError(ResultInvalidParam);
        return false;
    }
    PurgeComm(device, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    receiveBuffer_->clear();
    COMMPROP properties{};
    if (GetCommProperties(device, &properties))
        session->inputQueueSize = properties.dwCurrentRxQueue;

    timeouts_.ReadIntervalTimeout = MAXDWORD;
    timeouts_.ReadTotalTimeoutMultiplier = 0;
    timeouts_.ReadTotalTimeoutConstant = 0;
    timeouts_.WriteTotalTimeoutMultiplier = kWriteTimeoutPerByteMs;
    timeouts_.WriteTotalTimeoutConstant = kWriteTimeoutConstantMs;
    SetCommTimeouts(device, &timeouts_);
    if (isAsynchronous() && !SetCommMask(device, EV_RXCHAR)) {
        setLastError(ResultInvalidParam);
        return false;
    }

    std::lock_guard<std::mutex> sessionGuard(sessionMutex_);
    if (isAsynchronous() && !startEventThread(session)) {
        setLastError(ResultInnerError);
        return false;
    }
    session_ = session;
    portLost_ = false;
    return true;
}

void CSerialPortWinBase::closePort()
{
    if (const std::shared_ptr<PortSession> session = takeSession())
        endSession(session);
}

bool CSerialPortWinBase::isPortOpen()
{
    std::lock_guard<std::mutex> guard(sessionMutex_);
    return session_ != nullptr;
}

int CSerialPortWinBase::receivedByteCount()
{
    Guard guard(lock());
    const std::shared_ptr<PortSession> session = currentSession();
    if (!session)
        return 0;
    if (isAsynchronous())
        return static_cast<int>(receiveBuffer_->usedCount());
    DWORD errors = 0;
    COMSTAT status{};
    ClearCommError(session->device, &errors, &status);
    return static_cast<int>(status.cbInQue);
}

int CSerialPortWinBase::receive(void* buffer, int size)
{
    if (!isValidBuffer(buffer, size)) {
        setLastError(ResultInvalidParam);
        return -1;
    }
    if (size == 0)
        return 0;
    Guard guard(lock());
    const std::shared_ptr<PortSession> session = currentSession();
    if (!session) {
        setLastError(ResultNotOpen);
        return -1;
    }
    if (isAsynchronous())
        return static_cast<int>(receiveBuffer_->take(static_cast<char*>(buffer), static_cast<unsigned int>(size)));

    DWORD count = 0;
    if (!ReadFile(session->device, buffer, static_cast<DWORD>(size), &count, nullptr)) {
        setLastError(ResultReadFailed);
        return -1;
    }
    return static_cast<int>(count);
}

int CSerialPortWinBase::receiveAll(void* buffer)
{
    return receive(buffer, receivedByteCount());
}

int CSerialPortWinBase::receiveLine(void* buffer, int size)
{
    if (!isValidBuffer(buffer, size))
        setLastError(ResultInvalidParam);
    else
        setLastError(isPortOpen() ? ResultNotImplemented : ResultNotOpen);
    return -1;
}

// Returns what was written; a write that stopped short (time-out, close)
// also sets ResultWriteFailed.
int CSerialPortWinBase::send(const void* data, int size)
{
    if (!isValidBuffer(data, size)) {
        setLastError(ResultInvalidParam);
        return -1;
    }
    Guard guard(lock());
    const std::shared_ptr<PortSession> session = currentSession();
    if (!session) {
        setLastError(portLost_ ? ResultWriteFailed : ResultNotOpen);
        return -1;
    }
    int count;
    if (isAsynchronous()) {
        DWORD error;
        count = session->write(data, static_cast<DWORD>(size), error);
    } else {
        DWORD written = 0;
        const BOOL done = WriteFile(session->device, data, static_cast<DWORD>(size), &written, nullptr);
        count = done ? static_cast<int>(written) : -1;
    }
    if (count < size)
        setLastError(ResultWriteFailed);
    return count;
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
    const std::shared_ptr<PortSession> session = currentSession();
    return session && FlushFileBuffers(session->device) == TRUE;
}

bool CSerialPortWinBase::discardInput()
{
    Guard guard(lock());
    const std::shared_ptr<PortSession> session = currentSession();
    return session && PurgeComm(session->device, PURGE_RXCLEAR) == TRUE;
}

bool CSerialPortWinBase::discardOutput()
{
    Guard guard(lock());
    const std::shared_ptr<PortSession> session = currentSession();
    return session && PurgeComm(session->device, PURGE_TXCLEAR) == TRUE;
}

void CSerialPortWinBase::setDeviceName(const char* name)
{
    storePortName(name);
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
    applyConfiguration();
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
    if (const std::shared_ptr<PortSession> session = currentSession())
        EscapeCommFunction(session->device, set ? SETDTR : CLRDTR);
}

void CSerialPortWinBase::driveRts(bool set)
{
    Guard guard(lock());
    if (const std::shared_ptr<PortSession> session = currentSession())
        EscapeCommFunction(session->device, set ? SETRTS : CLRRTS);
}

std::shared_ptr<PortSession> CSerialPortWinBase::currentSession()
{
    std::lock_guard<std::mutex> guard(sessionMutex_);
    return session_;
}

bool CSerialPortWinBase::storePortName(const char* name)
{
    if (name != nullptr && std::strlen(name) >= sizeof portName_) {
        setLastError(ResultInvalidParam);
        portName_[0] = '\0';
        return false;
    }
    copyTextField(portName_, name);
    return true;
}

bool CSerialPortWinBase::isAsynchronous() const
{
    return ioMode() == IoModeAsynchronous;
}

// Fails harmlessly while the port is closed.
BOOL CSerialPortWinBase::applyConfiguration()
{
    const std::shared_ptr<PortSession> session = currentSession();
    return session && SetCommConfig(session->device, &config_, kCommConfigSize);
}
