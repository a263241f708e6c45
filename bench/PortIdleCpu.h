#pragma once

#include <string>

// What an open CSerialPort costs while its peer is there but silent, as a
// share of one core (1.0 is a whole core) used by this process.
struct PortIdleCpu
{
    double quiet = 0;
    std::string fault; // why there is no figure
};

PortIdleCpu measurePortIdleCpu();
