#include "app/PaneFeed.h"

#include <QCoreApplication>

bool PaneFeed::add(const QString& line)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
    if (lines_.size() > lineLimit_) {
        lines_.pop_front();
        ++dropped_;
    }
    const bool post = !updatePosted_;
    updatePosted_ = true;
    return post;
}

PaneFeed::Batch PaneFeed::take(std::size_t most)
{
    Batch batch;
    std::size_t dropped = 0;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const std::size_t count = std::min(lines_.size(), most);
        for (std::size_t i = 0; i < count; ++i) {
            batch.lines.append(std::move(lines_.front()));
            lines_.pop_front();
        }
        std::swap(dropped, dropped_);
        batch.more = !lines_.empty();
        updatePosted_ = batch.more;
    }
    if (dropped > 0)
        batch.lines.prepend(QCoreApplication::translate("MainWindow",
                                                        "[%n line(s) left out: they came faster than they can be shown]",
                                                        nullptr, static_cast<int>(dropped)));
    return batch;
}
