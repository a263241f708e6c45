#pragma once

#include <string>
#include <vector>

// What the system tells about one present port, before any shortening or
// lookup. Texts are narrow (ANSI code page on Windows) and may be empty.
struct RawPortTexts {
    std::string portName;
    std::string hardwareId; // the first one when the system gives several
    std::string friendlyName;
    std::string serialNumber = {}; // a USB device's own serial number; empty when it reports none
};

// The present ports in the system's order; each platform provides its own.
// Never fails: an empty list when nothing can be read.
std::vector<RawPortTexts> readPresentPorts();
