#pragma once

#include <QString>

// Texts that come from the system or a device (adapter names, serial
// numbers, port names, a chip's answers) are not trusted to be harmless:
// a USB product string may hold terminal escape sequences, and a text that
// starts like a formula runs as one in a spreadsheet. The command line, the
// record and the window pass them through here before they show them.

// The text with every control character (C0, DEL, C1) written as \xHH, so
// that a terminal shows it instead of obeying it.
QString printableText(const QString& text);

// One CSV field: a text that a spreadsheet would take for a formula
// (starting with =, +, -, @, a tab or a carriage return) gets a leading
// apostrophe, as spreadsheet programs expect; a field holding a separator,
// quote or line break is quoted with its quotes doubled.
QString csvField(const QString& text);
