#include "serialport/PortName.h"

#include <algorithm>
#include <cctype>

namespace {

#ifdef _WIN32
constexpr std::string_view kDevicePrefix = "\\\\.\\";
constexpr bool kCaseMatters = false;
#else
constexpr std::string_view kDevicePrefix = "/dev/";
constexpr bool kCaseMatters = true;
#endif

std::string_view withoutDevicePrefix(std::string_view name)
{
    if (name.substr(0, kDevicePrefix.size()) == kDevicePrefix)
        name.remove_prefix(kDevicePrefix.size());
    return name;
}

bool sameLetters(char left, char right)
{
    if (kCaseMatters)
        return left == right;
    return std::tolower(static_cast<unsigned char>(left)) == std::tolower(static_cast<unsigned char>(right));
}

} // namespace

bool isSamePortName(std::string_view left, std::string_view right)
{
    left = withoutDevicePrefix(left);
    right = withoutDevicePrefix(right);
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), sameLetters);
}
