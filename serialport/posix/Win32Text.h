#pragma once

#include <cstddef>
#include <string>

// UTF-8 <-> UTF-16 for the layer's wide-character calls. Invalid input gives
// U+FFFD (decoding) or is dropped (unpaired surrogates when encoding).
std::u16string utf16FromUtf8(const char* text, std::size_t length);
std::string utf8FromUtf16(const char16_t* text);
