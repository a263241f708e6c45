#pragma once

#include "serialport/PortSource.h"

#include <filesystem>
#include <vector>

// The serial ports of a Linux sysfs tree, in the order the tree lists them.
// Port names are tty names ("ttyUSB0"), opened under /dev. USB ports carry
// the Windows form of their hardware id ("USB\VID_1A86&PID_7523&REV_0264") and
// their product string and serial number; other ports a PNP id or their driver's name.
// The program reads "/sys"; tests hand in a tree of their own.
std::vector<RawPortTexts> readSysfsPorts(const std::filesystem::path& sysfsRoot = "/sys");
