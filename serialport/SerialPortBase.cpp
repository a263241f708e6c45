#include "serialport/SerialPortBase.h"

#include "serialport/DelayedNotifier.h"
#include "serialport/ListenerGate.h"

const char* serialResultText(int code)
{
    switch (code) {
    case ResultUnknownError: return "unknown error";
    case ResultSuccess: return "success";
    case ResultGeneralError: return "general error";
    case ResultNotImplemented: return "not implemented error";
    case ResultInnerError: return "innet error";
    case ResultNullPointer: return "null pointer error";
    case ResultInvalidParam: return "invalid param error";
    case ResultAccessDenied: return "access denied error";
    case ResultOutOfMemory: return "out of memory error";
    case ResultTimeout: return "timeout error";
    case ResultNotInit: return "not init error";
    case ResultInitFailed: return "init failed error";
    case ResultAlreadyExist: return "already exist error";
    case ResultNotExist: return "not exist error";
    case ResultAlreadyOpen: return "already open error";
    case ResultNotOpen: return "not open error";
    case ResultOpenFailed: return "open failed error";
    case ResultCloseFailed: return "close failed error";
    case ResultWriteFailed: return "write failed error";
    case ResultReadFailed: return "read failed error";
    default: return "undefined error code";
    }
}

CSerialPortBase::CSerialPortBase()
    : gate_(std::make_shared<ListenerGate>()), notifier_(std::make_unique<DelayedNotifier>(gate_))
{
}

// The notifier's destructor drops a pending call and ends its thread.
CSerialPortBase::~CSerialPortBase() = default;

void CSerialPortBase::setIoMode(SerialIoMode mode)
{
    ioMode_ = mode;
}

int CSerialPortBase::notifyDelay()
{
    return notifyDelay_;
}

int CSerialPortBase::notifyMinimum()
{
    return notifyMinimum_;
}

void CSerialPortBase::setNotifyHighWater(int bytes)
{
    notifyHighWater_ = bytes;
}

int CSerialPortBase::notifyHighWater()
{
    return notifyHighWater_;
}

int CSerialPortBase::lastErrorCode()
{
    return lastError_;
}

const char* CSerialPortBase::lastErrorText()
{
    return serialResultText(lastError_);
}

void CSerialPortBase::resetLastError()
{
    lastError_ = ResultSuccess;
}

int CSerialPortBase::attachListener(kavrio::CSerialPortListener* listener)
{
    if (listener == nullptr)
        return ResultInvalidParam;
    gate_->attach(listener);
    return ResultSuccess;
}

int CSerialPortBase::detachListener()
{
    gate_->detach();
    notifier_->cancel();
    return ResultSuccess;
}

void CSerialPortBase::setLastError(int code)
{
    lastError_ = code;
}

int CSerialPortBase::ioMode() const
{
    return ioMode_;
}

const std::shared_ptr<ListenerGate>& CSerialPortBase::gate() const
{
    return gate_;
}

std::recursive_mutex& CSerialPortBase::lock()
{
    return lock_;
}

DelayedNotifier& CSerialPortBase::notifier()
{
    return *notifier_;
}

void CSerialPortBase::storeNotifyDelay(int milliseconds)
{
    notifyDelay_ = milliseconds;
}

void CSerialPortBase::storeNotifyMinimum(int bytes)
{
    notifyMinimum_ = bytes;
}
