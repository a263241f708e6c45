#include "serialport/SerialPort.h"

#include "serialport/windows/SerialPortWinBase.h"

#include <cstdio>

namespace {

constexpr char kLibraryLocator[] = "orvanne serialport";
constexpr char kLibraryVersion[] = "4.3.1.240204";

} // namespace

CSerialPort::CSerialPort() : backend_(std::make_unique<CSerialPortWinBase>())
{
    backend_->setNotifyDelay(0);
    backend_->setNotifyMinimum(1);
}

CSerialPort::CSerialPort(const char* portName)
    : backend_(std::make_unique<CSerialPortWinBase>(portName))
{
    backend_->setNotifyDelay(0);
    backend_->setNotifyMinimum(1);
}

CSerialPort::~CSerialPort() = default;

const char* CSerialPort::libraryVersion()
{
    static char text[256];
    std::snprintf(text, sizeof text, "%s - V%s", kLibraryLocator, kLibraryVersion);
    return text;
}

void CSerialPort::configure(const char* portName, int baudRate, SerialParity parity,
                            SerialDataBits dataBits, SerialStopBits stopBits,
                            SerialFlowControl flowControl, unsigned int receiveBufferSize)
{
    backend_->configure(portName, baudRate, parity, dataBits, stopBits, flowControl, receiveBufferSize);
}

void CSerialPort::setIoMode(SerialIoMode mode) { backend_->setIoMode(mode); }
bool CSerialPort::openPort() { return backend_->openPort(); }
void CSerialPort::closePort() { backend_->closePort(); }
bool CSerialPort::isPortOpen() { return backend_->isPortOpen(); }
int CSerialPort::attachListener(kavrio::CSerialPortListener* listener) { return backend_->attachListener(listener); }
int CSerialPort::detachListener() { return backend_->detachListener(); }
int CSerialPort::receivedByteCount() { return backend_->receivedByteCount(); }
int CSerialPort::receive(void* buffer, int size) { return backend_->receive(buffer, size); }
int CSerialPort::receiveAll(void* buffer) { return backend_->receiveAll(buffer); }
int CSerialPort::receiveLine(void* buffer, int size) { return backend_->receiveLine(buffer, size); }
int CSerialPort::send(const void* data, int size) { return backend_->send(data, size); }
void CSerialPort::setReservedSwitch(bool on) { backend_->setReservedSwitch(on); }
void CSerialPort::setNotifyDelay(int milliseconds) { backend_->setNotifyDelay(milliseconds); }
int CSerialPort::notifyDelay() { return backend_->notifyDelay(); }
void CSerialPort::setNotifyMinimum(int bytes) { backend_->setNotifyMinimum(bytes); }
void CSerialPort::setNotifyHighWater(int bytes) { backend_->setNotifyHighWater(bytes); }
bool CSerialPort::flushOutput() { return backend_->flushOutput(); }
bool CSerialPort::discardInput() { return backend_->discardInput(); }
bool CSerialPort::discardOutput() { return backend_->discardOutput(); }
int CSerialPort::lastErrorCode() { return backend_->lastErrorCode(); }
const char* CSerialPort::lastErrorText() { return backend_->lastErrorText(); }
void CSerialPort::resetLastError() { backend_->resetLastError(); }
void CSerialPort::setDeviceName(const char* name) { backend_->setDeviceName(name); }
const char* CSerialPort::deviceName() { return backend_->deviceName(); }
void CSerialPort::setBaud(int bitsPerSecond) { backend_->setBaud(bitsPerSecond); }
int CSerialPort::baud() { return backend_->baud(); }
void CSerialPort::setParityMode(SerialParity parity) { backend_->setParityMode(parity); }
SerialParity CSerialPort::parityMode() { return backend_->parityMode(); }
void CSerialPort::setDataBitCount(SerialDataBits dataBits) { backend_->setDataBitCount(dataBits); }
SerialDataBits CSerialPort::dataBitCount() { return backend_->dataBitCount(); }
void CSerialPort::setStopBitMode(SerialStopBits stopBits) { backend_->setStopBitMode(stopBits); }
SerialStopBits CSerialPort::stopBitMode() { return backend_->stopBitMode(); }
void CSerialPort::setFlowMode(SerialFlowControl flowControl) { backend_->setFlowMode(flowControl); }
SerialFlowControl CSerialPort::flowMode() { return backend_->flowMode(); }
void CSerialPort::setReceiveBufferSize(unsigned int bytes) { backend_->setReceiveBufferSize(bytes); }
unsigned int CSerialPort::receiveBufferSize() { return backend_->receiveBufferSize(); }
void CSerialPort::driveDtr(bool set) { backend_->driveDtr(set); }
void CSerialPort::driveRts(bool set) { backend_->driveRts(set); }
