#pragma once

#include <string>

// What an open CSerialPort costs while nothing arrives, as a share of one core
// (1.0 is a whole core) used by this process.
struct PortIdleCpu
{
    double quiet = 0;    // the peer there but silent
    double vanished = 0; // the peer gone: the pty master closed
    std::string fault;   // why there are no figures
};

PortIdleCpu measurePortIdleCpu();
