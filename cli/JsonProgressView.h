#pragma once

#include "cli/ProgressView.h"

#include <optional>

class QJsonObject;

// One JSON object per line and event, for machines: "event" (start,
// progress, done, failed), "port", "block", "blocks" and "elapsed_ms"; a
// start also names the image ("image", "bytes", "sha256"), an end gives
// "result" and "reason".
class JsonProgressView final : public ProgressView
{
public:
    void showImage(const ImageFacts& image) override;
    void started(const Boards& boards, std::size_t index) override;
    void progressed(const Boards& boards, std::size_t index) override;
    void finished(const Boards& boards, std::size_t index) override;
    void batchEnded(const Boards&) override {}

private:
    static void print(const QString& event, const BoardProgress& board, QJsonObject fields);

    std::optional<ImageFacts> image_;
};
