#pragma once

#include <QDateTime>
#include <QString>

class QWidget;

// The Save Log dialog. It opens in `folder`, the one a log was last saved
// to, or else in the user's Documents; proposes orvanne-<port>-<yyyymmdd-hhmm>.log
// for a log of `port` (empty when no port was opened) saved at `now`; and
// adds .log to a name given without a suffix. Returns the file chosen, or
// nothing when the operator cancels.
QString askLogFileName(QWidget* parent, const QString& folder, const QString& port, const QDateTime& now);
