#pragma once

#include "cli/LockedAppendFile.h"
#include "cli/PortListing.h"
#include "cli/RunFacts.h"

#include <QDateTime>
#include <QString>

#include <optional>

// The CSV file that traces every flashed board: one row per port and run
// (start time in ISO 8601 UTC, port, adapter name, hardware id, image path,
// SHA-256, bytes, blocks, result, reason, duration in ms), under a header
// written when the file is new. Runs of other processes may append to the
// same file at the same time; rows never interleave.
class RunRecord
{
public:
    // Opens or creates the file; error says why it cannot be.
    bool open(const QString& path, QString& error);

    // image is empty for a factory reset.
    bool append(const QDateTime& startedAt, const BoardProgress& board, const PortIdentity& identity,
                const std::optional<ImageFacts>& image, QString& error);

private:
    LockedAppendFile file_;
};
