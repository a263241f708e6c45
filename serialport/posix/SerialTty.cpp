#include "serialport/posix/SerialTty.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

bool isSerialPortTty(int fd)
{
    // tcgetsid only answers for the controlling terminal of our session.
    if (tcgetsid(fd) != -1)
        return false;
    struct stat status{};
    if (fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode))
        return false;
    std::ifstream table("/proc/tty/drivers");
    std::ostringstream text;
    text << table.rdbuf();
    return isSerialLine(text.str(), major(status.st_rdev), minor(status.st_rdev));
}

// Lines read "name  /dev/node  major  minors  type", minors as "first-last"
// or as one number; the type is "serial", "pty:slave", "console",
// "system:vtmaster" and so on.
bool isSerialLine(std::string_view driverTable, unsigned int major, unsigned int minor)
{
    std::istringstream lines{std::string(driverTable)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name, node, minors, type;
        unsigned int driverMajor = 0;
        if (!(fields >> name >> node >> driverMajor >> minors >> type) || driverMajor != major)
            continue;
        char* end = nullptr;
        const unsigned long first = std::strtoul(minors.c_str(), &end, 10);
        const unsigned long last = *end == '-' ? std::strtoul(end + 1, nullptr, 10) : first;
        if (minor >= first && minor <= last)
            return type == "serial" || type == "pty:slave";
    }
    return true;
}
