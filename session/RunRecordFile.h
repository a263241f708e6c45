#pragma once

#include "flash/DialogueReport.h"
#include "flash/DialogueSettings.h"
#include "session/LockedAppendFile.h"
#include "session/PortIdentity.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

// The image of a run as the record traces it.
struct ImageFacts
{
    QString path; // absolute
    QString sha256;
    std::uint32_t bytes = 0;
    std::uint32_t blockCount = 0;
};

class FirmwareImage;

// The facts of an image read from path.
ImageFacts imageFactsOf(const QString& path, const FirmwareImage& image);

// One board's run: one row of the record.
struct RecordedRun
{
    QDateTime start; // the run's own
    QDateTime end;
    bool factoryReset = false;
    RunOutcome outcome = RunOutcome::Failed;
    QString reason; // what the operator was shown
    QString port;
    PortIdentity adapter;
    std::optional<ImageFacts> image; // none for a factory reset
    QString job;                     // the job's name; empty without a job
    QString station;
    QString operatorName;
    DialogueSettings dialogue;
};

// "passed" (the chip acknowledged everything), "cancelled" or "failed".
QString resultOf(RunOutcome outcome);

// The station and operator a record names unless told otherwise: the host
// name and the login name.
QString defaultStationName();
QString defaultOperatorName();

// The CSV file that traces every board: one row per board and run under
// one header, in UTF-8 with CRLF line ends. Stations and windows share the
// file: see LockedAppendFile. Columns, in order:
//   start, end           ISO 8601 UTC with milliseconds (2026-03-02T09:15:04.120Z)
//   duration_ms          end - start
//   result               passed, failed or cancelled
//   reason               the run's last words ("Flashing completed.", "No answer ...")
//   action               flash or reset
//   port, adapter, adapter_serial, hardware_id   as the system names them; may be empty
//   image, sha256, bytes, blocks                 empty for a reset
//   job, station, operator, version
//   pacing               protocol or acknowledged
//   min_gap_ms           the acknowledged pacing's least gap; empty for protocol
// Texts are made printable and safe from spreadsheets' formulas (PrintableText.h).
//
// Any thread; the instance holds nothing open between appends.
class RunRecordFile
{
public:
    static const char* const kHeader; // the columns' line, with its line break

    explicit RunRecordFile(const QString& path);

    const QString& path() const { return path_; }

    // Before any board is flashed: whether rows can be appended (see
    // LockedAppendFile::check); the record may never be the image.
    bool check(const QString& imagePath, QString& error) const;

    bool append(const RecordedRun& run, QString& error) const;

private:
    QString path_;
    LockedAppendFile file_;
};
