#pragma once

#include "cli/RunFacts.h"
#include "flash/DialogueSettings.h"
#include "session/ClockText.h"

#include <QString>

#include <chrono>
#include <vector>

// The words and numbers every output form shares, so that a terminal, a log
// file and a record say the same thing about a run.

// Percent of the blocks written; 100 once the run has completed.
unsigned int percentDone(const BoardProgress& board);

// "0:12 elapsed", and "~1:05 left" after the separator while the run can tell.
QString timesText(const BoardProgress& board, const QString& separator);

// The run's outcome as one lower-case word for machines: ok, no-answer,
// port-lost, cancelled, image-refused, failed.
QString resultName(RunOutcome outcome);

// "OK", "FAILED" or "CANCELLED"; a station says "PASS" and "FAIL".
QString resultWord(RunOutcome outcome, bool station = false);

// "protocol pacing", or "acknowledged pacing, min gap 5 ms".
QString pacingText(const DialogueSettings& dialogue);

// "Image <path>: <n> bytes, <m> blocks, SHA-256 <hex>".
QString imageLine(const ImageFacts& image);

// A batch: "All 8 boards OK." or "2 of 4 boards OK; FAILED: ttyUSB2; CANCELLED: ttyUSB3."
// A station: "12 boards: 11 passed, 1 failed, 0 cancelled (ttyUSB0: 6 passed, ...)."
QString summaryText(const std::vector<BoardProgress>& boards, bool station);
