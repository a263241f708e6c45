#pragma once

#include <QString>

#include <ostream>

// GoogleTest shows a QString as its text, not as a list of characters.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline std::ostream& operator<<(std::ostream& out, const QString& text)
{
    PrintTo(text, &out);
    return out;
}
