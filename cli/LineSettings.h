#pragma once

#include "serialport/SerialPortBase.h"

// The line settings every port of a batch is opened with; the defaults are
// those the window preselects.
struct LineSettings
{
    int baud = 115200;
    SerialParity parity = ParityNone;
    SerialDataBits dataBits = DataBits8;
    SerialStopBits stopBits = StopBitsOne;
};
