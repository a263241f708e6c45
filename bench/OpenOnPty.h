#pragma once

#include "serialport/SerialPort.h"

#include <string>

// Opens our port on a pty slave as every measurement here uses it: 115200 8N1,
// no flow control, a 4096-byte receive buffer and the listener told at once.
bool openOnPty(CSerialPort& port, const std::string& slavePath,
               kavrio::CSerialPortListener* listener, std::string& whyNot,
               unsigned int receiveBufferSize = 4096);
