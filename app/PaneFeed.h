#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <deque>
#include <mutex>

// The lines on their way to one text pane from any thread, in the order
// given. While an update is on its way to the GUI thread, further lines are
// gathered for it: one queued update at a time carries what has arrived, so
// a flood costs one event per pass of the event loop instead of one per
// line. An update shows a bounded number of lines and leaves the rest to the
// next one, so that the window repaints in between; what waits is capped at
// what the pane keeps anyway (its newest lines), and lines dropped for that
// are counted in a line of their own.
//
//   if (feed.add(line))                       // any thread
//       post an update to the GUI thread;
//   ... the update, on the GUI thread:
//   const PaneFeed::Batch batch = feed.take();
//   pane.appendPlainText(batch.lines.join('\n'));
//   if (batch.more) post another update;
class PaneFeed
{
public:
    // Lines one update shows at most: appending them to a full pane takes a
    // few milliseconds.
    static constexpr std::size_t kLinesPerUpdate = 1000;

    explicit PaneFeed(std::size_t lineLimit) : lineLimit_(lineLimit) {}

    // Any thread. True when no update is on its way: the caller posts one.
    bool add(const QString& line);

    struct Batch
    {
        QStringList lines; // oldest first; none when an earlier update took them
        bool more = false; // lines remain: the caller posts another update
    };
    // GUI thread: at most `most` lines, from the update, or all of them when
    // lines given on the GUI thread must follow them. Unless `more` is set,
    // the next add() asks for a new update.
    Batch take(std::size_t most = kLinesPerUpdate);

private:
    const std::size_t lineLimit_;
    std::mutex mutex_; // guards the members below
    std::deque<QString> lines_;
    std::size_t dropped_ = 0; // since the last update
    bool updatePosted_ = false;
};
