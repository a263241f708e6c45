#include "session/ClockText.h"

QString clockText(std::chrono::milliseconds duration)
{
    const long long seconds = duration.count() < 0 ? 0 : duration.count() / 1000;
    const QChar zero(u'0');
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero);
}
