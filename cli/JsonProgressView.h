#pragma once

#include "cli/ProgressView.h"

#include <QJsonObject>

// One JSON object per line and event, for machines: "event" (start,
// progress, done, failed, cancelled, waiting), "port", "block", "blocks" and
// "elapsed_ms"; a start also names the image ("image", "bytes", "sha256")
// and the "pacing"; an end gives "result" and "reason"; a station's events
// give the port's "board" number and its "passed", "failed" and "cancelled"
// counts, and "waiting" says what for ("for"). Last comes {"event":
// "summary", "passed", "failed", "cancelled", "ports": [{"port", "passed",
// "failed", "cancelled"}, ...]}.
class JsonProgressView final : public ProgressView
{
public:
    explicit JsonProgressView(bool station) : station_(station) {}

    void showRun(const std::optional<ImageFacts>& image, const DialogueSettings& dialogue) override;
    void started(const Boards& boards, std::size_t index) override;
    void progressed(const Boards& boards, std::size_t index) override;
    void finished(const Boards& boards, std::size_t index) override;
    void waiting(const Boards& boards, std::size_t index) override;
    void ended(const Boards& boards) override;

private:
    void print(const QString& event, const BoardProgress& board, QJsonObject fields) const;

    const bool station_;
    QJsonObject runFields_;
};
