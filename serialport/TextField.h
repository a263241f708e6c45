#pragma once

#include <cstddef>
#include <cstring>

// Copies a NUL-terminated text into a fixed field, cut to fit and always
// terminated. A null source gives an empty text.
template <std::size_t N>
void copyTextField(char (&field)[N], const char* text)
{
    static_assert(N > 0, "a text field needs room for its terminator");
    std::size_t length = 0;
    if (text != nullptr)
        while (length < N - 1 && text[length] != '\0')
            ++length;
    if (length > 0)
        std::memcpy(field, text, length);
    field[length] = '\0';
}
