#include "serialport/SerialPort.h"

#include "serialport/windows/SerialPortWinBase.h"

#include <cstring>

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
    std::strncpy(text, kLibraryLocator, 255);
    text[255] = '\0';
    std::strncat(text, " - V", 255 - std::strlen(text));
    std::strncat(text, kLibraryVersion, 255 - std::strlen(text));
    return text;
}

// Every operation forwards to the backend; without one it answers the guard value.
#define FORWARD_VOID(call)                                                                         \
    do {                                                                                           \
        if (backend_)                                                                              \
            backend_->call;                                                                        \
    } while (false)
#define FORWARD(call, guardValue)                                                                  \
    return backend_ ? backend_->call : static_cast<decltype(backend_->call)>(guardValue)

void CSerialPort::configure(const char* portName, int baudRate, SerialParity parity,
                            SerialDataBits dataBits, SerialStopBits stopBits,
                            SerialFlowControl flowControl, unsigned int receiveBufferSize)
{
    FORWARD_VOID(configure(portName, baudRate, parity, dataBits, stopBits, flowControl,
                           receiveBufferSize));
}

void CSerialPort::setIoMode(SerialIoMode mode) { FORWARD_VOID(setIoMode(mode)); }
bool CSerialPort::openPort() { FORWARD(openPort(), false); }
void CSerialPort::closePort() { FORWARD_VOID(closePort()); }
bool CSerialPort::isPortOpen() { FORWARD(isPortOpen(), false); }
int CSerialPort::attachListener(kavrio::CSerialPortListener* listener) { FORWARD(attachListener(listener), ResultNullPointer); }
int CSerialPort::detachListener() { FORWARD(detachListener(), ResultNullPointer); }
int CSerialPort::receivedByteCount() { FORWARD(receivedByteCount(), ResultNullPointer); }
int CSerialPort::receive(void* buffer, int size) { FORWARD(receive(buffer, size), ResultNullPointer); }
int CSerialPort::receiveAll(void* buffer) { FORWARD(receiveAll(buffer), ResultNullPointer); }
int CSerialPort::receiveLine(void* buffer, int size) { FORWARD(receiveLine(buffer, size), ResultNullPointer); }
int CSerialPort::send(const void* data, int size) { FORWARD(send(data, size), ResultNullPointer); }
void CSerialPort::setReservedSwitch(bool on) { FORWARD_VOID(setReservedSwitch(on)); }
void CSerialPort::setNotifyDelay(int milliseconds) { FORWARD_VOID(setNotifyDelay(milliseconds)); }
int CSerialPort::notifyDelay() { FORWARD(notifyDelay(), 0); }
void CSerialPort::setNotifyMinimum(int bytes) { FORWARD_VOID(setNotifyMinimum(bytes)); }
void CSerialPort::setNotifyHighWater(int bytes) { FORWARD_VOID(setNotifyHighWater(bytes)); }
bool CSerialPort::flushOutput() { FORWARD(flushOutput(), false); }
bool CSerialPort::discardInput() { FORWARD(discardInput(), false); }
bool CSerialPort::discardOutput() { FORWARD(discardOutput(), false); }
int CSerialPort::lastErrorCode() { FORWARD(lastErrorCode(), ResultNullPointer); }
const char* CSerialPort::lastErrorText() { FORWARD(lastErrorText(), ""); }
void CSerialPort::resetLastError() { FORWARD_VOID(resetLastError()); }
void CSerialPort::setDeviceName(const char* name) { FORWARD_VOID(setDeviceName(name)); }
const char* CSerialPort::deviceName() { FORWARD(deviceName(), ""); }
void CSerialPort::setBaud(int bitsPerSecond) { FORWARD_VOID(setBaud(bitsPerSecond)); }
int CSerialPort::baud() { FORWARD(baud(), ResultNullPointer); }
void CSerialPort::setParityMode(SerialParity parity) { FORWARD_VOID(setParityMode(parity)); }
SerialParity CSerialPort::parityMode() { FORWARD(parityMode(), ParityNone); }
void CSerialPort::setDataBitCount(SerialDataBits dataBits) { FORWARD_VOID(setDataBitCount(dataBits)); }
SerialDataBits CSerialPort::dataBitCount() { FORWARD(dataBitCount(), DataBits8); }
void CSerialPort::setStopBitMode(SerialStopBits stopBits) { FORWARD_VOID(setStopBitMode(stopBits)); }
SerialStopBits CSerialPort::stopBitMode() { FORWARD(stopBitMode(), StopBitsOne); }
void CSerialPort::setFlowMode(SerialFlowControl flowControl) { FORWARD_VOID(setFlowMode(flowControl)); }
SerialFlowControl CSerialPort::flowMode() { FORWARD(flowMode(), FlowControlNone); }
void CSerialPort::setReceiveBufferSize(unsigned int bytes) { FORWARD_VOID(setReceiveBufferSize(bytes)); }
unsigned int CSerialPort::receiveBufferSize() { FORWARD(receiveBufferSize(), ResultNullPointer); }
void CSerialPort::driveDtr(bool set) { FORWARD_VOID(driveDtr(set)); }
void CSerialPort::driveRts(bool set) { FORWARD_VOID(driveRts(set)); }
