#pragma once

#include <QString>

// Why a port did not open, in the words an operator looks for, with the
// serial library's own code and text for the record.
struct PortOpenFailure
{
    int code = 0;
    QString libraryText; // e.g. "not exist error"
    QString cause;       // e.g. "no such port: unplugged, or a wrong name"
    QString hint;        // what to do about it on this system; may be empty

    // "cause (library text, code N)", for a line of text.
    QString summary() const;
};

PortOpenFailure portOpenFailure(int code, const char* libraryText);

// What helps when a port exists but may not be opened: this system's usual
// reasons. Implemented per operating system.
QString accessDeniedHint();
