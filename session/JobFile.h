#pragma once

#include "flash/DialogueSettings.h"
#include "session/LineSettings.h"

#include <QString>

#include <chrono>
#include <optional>

class FirmwareImage;

// An approved job for a production line: which image, proven by its SHA-256,
// with which line settings and pacing. A job file is JSON:
//
//   {
//     "job": "Line 7, controller rev C",
//     "image": "images/rq51x-2.4.1.bin",         relative to the job file's folder
//     "sha256": "<64 hexadecimal digits>",
//     "baud": 115200, "parity": "none", "data_bits": 8, "stop_bits": "1",
//     "reply_timeout_s": 5,
//     "pacing": "protocol", "min_gap_ms": 0
//   }
//
// "job", "image" and "sha256" are required; the rest default as the window
// and the command line do. Words are the command line's (--parity, ...);
// numbers may be written as JSON numbers or strings. Any other key is
// refused, so that a misspelt setting cannot fall back to a default.
struct Job
{
    QString name;
    QString imagePath; // absolute
    QString sha256;    // lower case
    LineSettings line;
    DialogueSettings dialogue;
};

struct JobFileRead
{
    std::optional<Job> job;
    QString error; // why there is no job: "line 3: ..." and alike
};

// Reads and checks the job file at path; the image it names must exist.
JobFileRead readJobFile(const QString& path);

// A SHA-256 as written by hand or by a tool: 64 hexadecimal digits in either
// case, returned in lower case; nothing for anything else.
std::optional<QString> sha256FromText(const QString& text);

// A reply deadline given in seconds: above 0 and at most a day (longer
// would only hide a dead line); nothing otherwise.
std::optional<std::chrono::milliseconds> replyDeadlineFromSeconds(double seconds);

// The acknowledged pacing's least gap given in milliseconds: a whole number
// from 0 to a minute; nothing otherwise.
std::optional<std::chrono::milliseconds> minimumGapFromMilliseconds(double milliseconds);

// Why image is not the one approved by its SHA-256 (lower case); empty
// when it is.
QString sha256Mismatch(const FirmwareImage& image, const QString& expectedSha256);
