#pragma once

#include <cstddef>
#include <string_view>

// Reading USB ids out of the system's texts ("USB\VID_1A86&PID_7523",
// "1a86:7523") without the C library's scanning functions.

// Takes `prefix` off the front of `text`; false, with text unchanged, if it
// does not start with it.
inline bool takePrefix(std::string_view& text, std::string_view prefix)
{
    if (text.substr(0, prefix.size()) != prefix)
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

// Takes a hexadecimal number of 1 to maxDigits digits, either case, off the
// front of `text`; false, with text and value unchanged, if none is there.
inline bool takeHexNumber(std::string_view& text, std::size_t maxDigits, unsigned int& value)
{
    unsigned int number = 0;
    std::size_t digits = 0;
    for (; digits < maxDigits && digits < text.size(); ++digits) {
        const char c = text[digits];
        const int digit = c >= '0' && c <= '9' ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0)
            break;
        number = number * 16 + static_cast<unsigned int>(digit);
    }
    if (digits == 0)
        return false;
    text.remove_prefix(digits);
    value = number;
    return true;
}
