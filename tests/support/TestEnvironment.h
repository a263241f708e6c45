#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// An environment variable's value, or nothing when it is not set. MSVC
// deprecates getenv (its result may be overwritten by another call), so
// there the copying form is used.
inline std::optional<std::string> environmentValue(const char* name)
{
#ifdef _MSC_VER
    char* value = nullptr;
    std::size_t size = 0;
    if (_dupenv_s(&value, &size, name) != 0 || value == nullptr)
        return std::nullopt;
    std::string text(value);
    std::free(value);
    return text;
#else
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
#endif
}
