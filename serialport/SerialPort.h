#pragma once

#include "serialport/SerialPortBase.h"
#include "serialport/SerialPortListener.h"

#include <memory>

// A serial port: the library's public face. It owns one backend (the Win32
// one, which on POSIX systems runs on the Win32 subset layer) and forwards
// every operation to it. Destroying a front closes its port as closePort
// does: what that guarantees the listener is in SerialPortListener.h.
class CSerialPort
{
public:
    CSerialPort();
    explicit CSerialPort(const char* portName);
    ~CSerialPort();

    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // The library's version text: a locator, " - V" and the version number.
    static const char* libraryVersion();

    void configure(const char* portName, int baudRate, SerialParity parity,
                   SerialDataBits dataBits, SerialStopBits stopBits,
                   SerialFlowControl flowControl, unsigned int receiveBufferSize);
    void setIoMode(SerialIoMode mode);
    bool openPort();
    void closePort();
    bool isPortOpen();
    int attachListener(kavrio::CSerialPortListener* listener);
    int detachListener();
    int receivedByteCount();
    int receive(void* buffer, int size);
    int receiveAll(void* buffer);
    int receiveLine(void* buffer, int size);
    int send(const void* data, int size);
    void setReservedSwitch(bool on);
    void setNotifyDelay(int milliseconds);
    int notifyDelay();
    void setNotifyMinimum(int bytes);
    void setNotifyHighWater(int bytes);
    bool flushOutput();
    bool discardInput();
    bool discardOutput();
    int lastErrorCode();
    const char* lastErrorText();
    void resetLastError();
    void setDeviceName(const char* name);
    const char* deviceName();
    void setBaud(int bitsPerSecond);
    int baud();
    void setParityMode(SerialParity parity);
    SerialParity parityMode();
    void setDataBitCount(SerialDataBits dataBits);
    SerialDataBits dataBitCount();
    void setStopBitMode(SerialStopBits stopBits);
    SerialStopBits stopBitMode();
    void setFlowMode(SerialFlowControl flowControl);
    SerialFlowControl flowMode();
    void setReceiveBufferSize(unsigned int bytes);
    unsigned int receiveBufferSize();
    void driveDtr(bool set);
    void driveRts(bool set);

private:
    std::unique_ptr<CSerialPortBase> backend_;
};
