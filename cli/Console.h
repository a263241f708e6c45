#pragma once

#include <QString>

// The program's two output streams, written in UTF-8 and flushed at once, so
// that lines reach a pipe in the order they were printed. Main thread only.
void printOut(const QString& text);
void printError(const QString& text);
