#include "bench/OpenOnPty.h"

bool openOnPty(CSerialPort& port, const std::string& slavePath,
               kavrio::CSerialPortListener* listener, std::string& whyNot,
               unsigned int receiveBufferSize)
{
    port.configure(slavePath.c_str(), 115200, ParityNone, DataBits8, StopBitsOne,
                   FlowControlNone, receiveBufferSize);
    port.setNotifyDelay(0);
    if (listener != nullptr)
        port.attachListener(listener);
    if (port.openPort())
        return true;
    whyNot = port.lastErrorText();
    return false;
}
