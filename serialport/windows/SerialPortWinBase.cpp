#include "serialport/windows/SerialPortWinBase.h"

#include "serialport/DelayedNotifier.h"
#include "serialport/LineFraming.h"
#include "serialport/PortName.h"
#include "serialport/TextField.h"
#include "serialport/windows/DeviceErrors.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;

using Guard = std::lock_guard<std::recursive_mutex>;
using NameGuard = std::lock_guard<std::mutex>;

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
    sessions_.releaseRetired();
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
    char name[sizeof portName_];
    {
        NameGuard nameGuard(nameMutex_);
        copyTextField(name, portName_);
    }
    if (name[0] == '\0') {
        setLastError(ResultInvalidParam);
        return false;
    }
    if (!sessions_.waitForRetired(name)) {
        setLastError(ResultCloseFailed);
        return false;
    }

    Guard guard(lock());
    // The whole name goes into the path: cutting it would open another device.
    const std::string path = win32DevicePath(name);
    WCHAR widePath[sizeof name + 4];
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, static_cast<int>(sizeof widePath / sizeof(WCHAR)))
        == 0) {
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
    const auto session = std::make_shared<PortSession>(device, isAsynchronous(), name, gate(), gate()->open());

    // The line is set from the device's own DCB, so that fields we do not
    // name (the XON/XOFF limits) keep the driver's values.
    if (!GetCommState(device, &dcb_)) {
        setLastError(ResultOpenFailed);
        return false;
    }
    fillLineSettings(dcb_, baudRate_, parity_, dataBits_, stopBits_, flowControl_);
    if (!SetCommState(device, &dcb_)) {
        setLastError(ResultInvalidParam);
        return false;
    }
    PurgeComm(device, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    receiveBuffer_->clear();
    COMMPROP properties{};
    if (GetCommProperties(device, &properties))
        session->inputQueueSize = properties.dwCurrentRxQueue;
    if (isAsynchronous() && !SetCommMask(device, EV_RXCHAR)) {
        setLastError(ResultInvalidParam);
        return false;
    }
    if (!sessions_.start(session, isAsynchronous() ? this : nullptr)) {
        setLastError(ResultInnerError);
        return false;
    }
    portLost_ = false;
    return true;
}

// In this order: nothing of the session runs any more, no listener call is
// running or can start, no delayed one is pending, and the device is closed.
void CSerialPortWinBase::closePort()
{
    const std::shared_ptr<PortSession> session = sessions_.take();
    if (session)
        session->stop();
    gate()->close();
    notifier().stop();
    if (session)
        sessions_.end(session, lock());
}

bool CSerialPortWinBase::isPortOpen()
{
    return sessions_.current() != nullptr;
}

int CSerialPortWinBase::receivedByteCount()
{
    Guard guard(lock());
    const std::shared_ptr<PortSession> session = sessions_.current();
    if (!session)
        return 0;
    if (isAsynchronous())
        return static_cast<int>(receiveBuffer_->usedCount());
    DWORD queued = 0;
    session->readQueuedCount(queued);
    return static_cast<int>(queued);
}

int CSerialPortWinBase::receive(void* buffer, int size)
{
    if (!isValidBuffer(buffer, size)) {
        setLastError(ResultInvalidParam);
        return -1;
    }
    if (size == 0)
        return 0;
    std::shared_ptr<PortSession> session;
    int count;
    DWORD error = ERROR_SUCCESS;
    {
        Guard guard(lock());
        session = sessions_.current();
        if (!session) {
            setLastError(ResultNotOpen);
            return -1;
        }
        if (isAsynchronous())
            return static_cast<int>(receiveBuffer_->take(static_cast<char*>(buffer), static_cast<unsigned int>(size)));
        count = session->read(buffer, static_cast<DWORD>(size), error);
    }
    if (error == ERROR_SUCCESS)
        return count;
    setLastError(ResultReadFailed);
    if (meansDeviceGone(error))
        endLostPort(session);
    return -1;
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

int CSerialPortWinBase::send(const void* data, int size)
{
    if (!isValidBuffer(data, size)) {
        setLastError(ResultInvalidParam);
        return -1;
    }
    std::shared_ptr<PortSession> session;
    DWORD timeoutMs;
    {
        // Only for the settings: the lock is not held while the write waits.
        Guard guard(lock());
        session = sessions_.current();
        timeoutMs = writeTimeoutMs(static_cast<unsigned int>(size), baudRate_,
                                   bitsPerCharacter(dataBits_, parity_, stopBits_));
    }
    if (!session) {
        setLastError(portLost_ ? ResultWriteFailed : ResultNotOpen);
        return -1;
    }
    DWORD error = ERROR_SUCCESS;
    const int count = session->write(data, static_cast<DWORD>(size), timeoutMs, error);
    if (count == size)
        return count;
    if (error == ERROR_SUCCESS || isTimeoutError(error)) {
        setLastError(ResultTimeout);
        return count;
    }
    if (meansDeviceGone(error))
        reportDeviceGone(session);
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
    const std::shared_ptr<PortSession> session = sessions_.current();
    return session && FlushFileBuffers(session->device) == TRUE;
}

bool CSerialPortWinBase::discardInput()
{
    Guard guard(lock());
    const std::shared_ptr<PortSession> session = sessions_.current();
    return session && PurgeComm(session->device, PURGE_RXCLEAR) == TRUE;
}

bool CSerialPortWinBase::discardOutput()
{
    Guard guard(lock());
    const std::shared_ptr<PortSession> session = sessions_.current();
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
    dcb_.BaudRate = static_cast<DWORD>(bitsPerSecond);
    applyLineSettings();
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
    dcb_.Parity = static_cast<BYTE>(parity);
    if (parity == ParityNone)
        dcb_.fParity = 0;
    else if (parity >= ParityOdd && parity <= ParitySpace)
        dcb_.fParity = 1;
    applyLineSettings();
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
        dcb_.ByteSize = static_cast<BYTE>(dataBits);
        applyLineSettings();
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
        dcb_.StopBits = static_cast<BYTE>(stopBits);
        applyLineSettings();
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
    if (isPortOpen() && setFlowControlBits(dcb_, flowControl))
        applyLineSettings();
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
    if (const std::shared_ptr<PortSession> session = sessions_.current())
        EscapeCommFunction(session->device, set ? SETDTR : CLRDTR);
}

void CSerialPortWinBase::driveRts(bool set)
{
    Guard guard(lock());
    if (const std::shared_ptr<PortSession> session = sessions_.current())
        EscapeCommFunction(session->device, set ? SETRTS : CLRRTS);
}

DWORD CSerialPortWinBase::receiveQueuedBytes(PortSession& session)
{
    unsigned int usedCount;
    bool bufferFull;
    {
        // The timer thread's listener may take bytes while this thread puts.
        Guard guard(lock());
        // The queued bytes are counted only when too few must stay in the
        // driver, or when they might not fit the free space; else the reads
        // take what there is.
        DWORD wanted = receiveBuffer_->freeCount();
        if (notifyMinimum() > 1 || session.inputQueueSize == 0 || wanted < session.inputQueueSize) {
            DWORD queued = 0;
            if (!session.readQueuedCount(queued))
                return GetLastError();
            if (queued < static_cast<DWORD>(notifyMinimum()))
                return ERROR_SUCCESS;
            wanted = queued;
        }
        const DWORD error = readIntoReceiveBuffer(session, wanted);
        if (error != ERROR_SUCCESS)
            return error;
        usedCount = receiveBuffer_->usedCount();
        bufferFull = receiveBuffer_->full();
    }
    notifyListener(session, usedCount, bufferFull);
    return ERROR_SUCCESS;
}

// Reads up to `wanted` bytes straight into the receive buffer's free space,
// until a read comes back short. A batch counted larger than the free space
// goes through a side buffer and pushes out the oldest bytes, as put does.
DWORD CSerialPortWinBase::readIntoReceiveBuffer(PortSession& session, DWORD wanted)
{
    DWORD error = ERROR_SUCCESS;
    if (wanted > receiveBuffer_->freeCount()) {
        if (overflowChunk_.size() < wanted)
            overflowChunk_.resize(wanted);
        const int got = session.read(overflowChunk_.data(), wanted, error);
        if (got > 0)
            receiveBuffer_->put(overflowChunk_.data(), static_cast<unsigned int>(got));
        return error;
    }
    // The free space is one run, or two when it wraps round the storage's end.
    while (wanted > 0) {
        const auto run = receiveBuffer_->freeRun();
        const DWORD size = std::min<DWORD>(wanted, run.size);
        const int got = session.read(run.data, size, error);
        if (got < 0 || error != ERROR_SUCCESS)
            return error;
        receiveBuffer_->commit(static_cast<unsigned int>(got));
        if (static_cast<DWORD>(got) < size)
            break;
        wanted -= size;
    }
    return ERROR_SUCCESS;
}

// The session is checked inside the gate: closePort stops it before it
// shuts the gate, and waits there for a call that began before.
void CSerialPortWinBase::notifyListener(const PortSession& session, unsigned int usedCount, bool bufferFull)
{
    if (!session.running)
        return; // closing: nothing more to arm either
    const int delay = notifyDelay();
    // A full buffer, or one past the high water, cannot wait for the line to
    // go quiet: it is reported at once.
    if (delay > 0 && !bufferFull && usedCount <= static_cast<unsigned int>(notifyHighWater())) {
        notifier().arm(static_cast<unsigned int>(delay), session.portName, usedCount, session.generation);
        return;
    }
    notifier().cancel();
    ListenerGate::Pass pass(*session.gate, session.generation);
    if (pass && session.running)
        pass->onReadEvent(session.portName, usedCount);
}

// The device went away: the port is closed here, on the thread that found
// out, and then the listener hears of it once, with the session's name.
void CSerialPortWinBase::endLostPort(const std::shared_ptr<PortSession>& session)
{
    if (!sessions_.take(session.get()))
        return; // closed meanwhile: that close is not a loss
    portLost_ = true;
    setLastError(ResultReadFailed);
    sessions_.end(session, lock());
    ListenerGate::Pass pass(*session->gate, session->generation);
    if (pass)
        pass->onPortLost(session->portName);
}

// The event thread tells the listener; without one (synchronous mode) the
// caller's thread does.
void CSerialPortWinBase::reportDeviceGone(const std::shared_ptr<PortSession>& session)
{
    if (session->overlapped)
        session->reportDeviceFailure();
    else
        endLostPort(session);
}

bool CSerialPortWinBase::storePortName(const char* name)
{
    NameGuard guard(nameMutex_);
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
BOOL CSerialPortWinBase::applyLineSettings()
{
    const std::shared_ptr<PortSession> session = sessions_.current();
    return session && SetCommState(session->device, &dcb_);
}
