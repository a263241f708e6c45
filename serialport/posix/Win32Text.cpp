// Text conversion. The POSIX "ANSI code page" is UTF-8.
#include "serialport/posix/Win32Text.h"

#include "serialport/posix/Win32Subset.h"

#include <cstring>

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

void appendUtf8(std::string& text, char32_t codePoint)
{
    if (codePoint < 0x80) {
        text.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        text.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        text.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        text.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        text.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        text.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

} // namespace

std::string utf8FromUtf16(const char16_t* wide)
{
    std::string text;
    for (std::size_t i = 0; wide[i] != 0; ++i) {
        const char32_t unit = wide[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
            ++i;
        } else if (unit < 0xD800 || unit > 0xDFFF) {
            appendUtf8(text, unit);
        }
    }
    return text;
}

// Decodes UTF-8; every byte that does not start a complete, valid sequence
// gives U+FFFD, as Windows does without MB_ERR_INVALID_CHARS.
std::u16string utf16FromUtf8(const char* bytes, std::size_t length)
{
    const auto* text = reinterpret_cast<const unsigned char*>(bytes);
    std::u16string wide;
    std::size_t i = 0;
    while (i < length) {
        const unsigned char lead = text[i];
        int trailing = 0;
        char32_t codePoint = lead;
        char32_t minimum = 0;
        if (lead >= 0xF0 && lead <= 0xF4) {
            trailing = 3;
            codePoint = lead & 0x07;
            minimum = 0x10000;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trailing = 2;
            codePoint = lead & 0x0F;
            minimum = 0x800;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            trailing = 1;
            codePoint = lead & 0x1F;
            minimum = 0x80;
        } else if (lead >= 0x80) {
            trailing = -1;
        }

        bool valid = trailing >= 0 && i + trailing < length;
        for (int k = 1; valid && k <= trailing; ++k) {
            const unsigned char next = text[i + k];
            valid = (next & 0xC0) == 0x80;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        valid = valid && codePoint >= minimum && codePoint <= 0x10FFFF &&
                !(codePoint >= 0xD800 && codePoint <= 0xDFFF);
        if (!valid) {
            wide.push_back(static_cast<char16_t>(kReplacementCharacter));
            ++i;
            continue;
        }
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            wide.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
        } else {
            wide.push_back(static_cast<char16_t>(codePoint));
        }
        i += trailing + 1;
    }
    return wide;
}

int MultiByteToWideChar(UINT, DWORD, LPCSTR text, int textBytes, LPWSTR wide, int wideCapacity)
{
    if (text == nullptr || textBytes == 0 || textBytes < -1 || wideCapacity < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // -1: the text is NUL-terminated and the terminator is converted too.
    const std::size_t length =
        textBytes == -1 ? std::strlen(text) + 1 : static_cast<std::size_t>(textBytes);
    const std::u16string converted = utf16FromUtf8(text, length);
    const int needed = static_cast<int>(converted.size());
    if (wideCapacity == 0)
        return needed;
    if (wide == nullptr || needed > wideCapacity) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    converted.copy(wide, converted.size());
    return needed;
}
