#pragma once

#include <QString>

// Text that comes from the system or the operator (adapter names, serial
// numbers, port names, file paths) as a tooltip: Qt reads a tooltip as rich
// text when it looks like markup, so the text is escaped and wrapped so that
// it shows exactly as it is, line breaks included.
inline QString plainToolTip(const QString& text)
{
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}
