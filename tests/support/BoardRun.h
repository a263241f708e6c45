#pragma once

#include "session/BoardSession.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

// One board session on a port, with each run waited for to its end; needs no
// event loop. For tests and benchmarks that flash in process.
class BoardRun
{
public:
    // Opens the port; openFailure() says why not.
    explicit BoardRun(const QString& port)
    {
        QObject::connect(&session_, &BoardSession::runEnded, [this](const RunResult& result) {
            const std::lock_guard<std::mutex> guard(mutex_);
            result_ = result;
            ended_.notify_all();
        });
        openFailure_ = session_.open(port, LineSettings());
    }

    const std::optional<PortOpenFailure>& openFailure() const { return openFailure_; }

    // Flashes the image and returns the run's result; nothing when it has
    // not ended within `timeout`.
    std::optional<RunResult> flash(std::shared_ptr<const FirmwareImage> image, const DialogueSettings& settings,
                                   std::chrono::milliseconds timeout)
    {
        session_.setDialogueSettings(settings);
        {
            const std::lock_guard<std::mutex> guard(mutex_);
            result_.reset();
        }
        session_.startFlash(std::move(image));
        std::unique_lock<std::mutex> guard(mutex_);
        ended_.wait_for(guard, timeout, [this] { return result_.has_value(); });
        return result_;
    }

private:
    BoardSession session_;
    std::optional<PortOpenFailure> openFailure_;
    std::mutex mutex_;
    std::condition_variable ended_;
    std::optional<RunResult> result_;
};
