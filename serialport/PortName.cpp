#include "serialport/PortName.h"

#include <algorithm>

namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";

std::string_view withoutDevicePrefix(std::string_view name)
{
    if (name.substr(0, kDevicePrefix.size()) == kDevicePrefix)
        name.remove_prefix(kDevicePrefix.size());
    return name;
}

#ifdef _WIN32
char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
#endif

} // namespace

std::string win32DevicePath(std::string_view portName)
{
    std::string path(kDevicePrefix);
    path += withoutDevicePrefix(portName);
    return path;
}

#ifdef _WIN32

bool isSamePortName(std::string_view left, std::string_view right)
{
    left = withoutDevicePrefix(left);
    right = withoutDevicePrefix(right);
    return std::equal(left.begin(), left.end(), right.begin(), right.end(),
                      [](char a, char b) { return asciiLower(a) == asciiLower(b); });
}

#else

std::string ttyPathOf(std::string_view portName)
{
    const std::string_view name = withoutDevicePrefix(portName);
    if (!name.empty() && name.front() == '/')
        return std::string(name);
    return "/dev/" + std::string(name);
}

bool isSamePortName(std::string_view left, std::string_view right)
{
    return ttyPathOf(left) == ttyPathOf(right);
}

#endif
