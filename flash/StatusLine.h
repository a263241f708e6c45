#pragma once

#include <QString>

#include <cstdarg>

// A status line for the log pane: formatted by the printf rules into at most
// 255 bytes (a longer result is cut there) and read as UTF-8, so a cut inside a
// multi-byte character ends the line in U+FFFD. Each call formats into storage
// of its own, so any thread may call it.
QString formatStatusLine(const char* format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(1, 2);
QString formatStatusLineV(const char* format, va_list arguments);
