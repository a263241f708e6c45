#include "flash/StatusLine.h"

#include <cstdio>

QString formatStatusLine(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const QString line = formatStatusLineV(format, arguments);
    va_end(arguments);
    return line;
}

QString formatStatusLineV(const char* format, va_list arguments)
{
    constexpr int kMaxBytes = 255;
    char text[kMaxBytes + 1];
    const int length = std::vsnprintf(text, sizeof text, format, arguments);
    if (length < 0)
        return QString();
    return QString::fromUtf8(text, length < kMaxBytes ? length : kMaxBytes);
}
