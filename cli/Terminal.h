#pragma once

#include <cstdio>

// What the console needs to know about where its output goes. No Qt here:
// builds without Qt compile it too. One implementation per OS:
// TerminalPosix.cpp, TerminalWindows.cpp.

// Whether the stream goes to a terminal (a console window on Windows): only
// there may progress lines be redrawn in place.
bool isTerminal(std::FILE* stream);

// The width in columns of the terminal behind standard output; 0 when unknown.
int terminalColumns();

// Makes the Windows console take UTF-8 and obey the cursor controls that
// redraw lines in place; terminals elsewhere do both already.
void prepareConsole();
