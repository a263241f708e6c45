#pragma once

#include "serialport/SerialPort.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

// A read listener for tests: records every notification's readBufferLen and
// takes up to `takeLimit` of the notified bytes from the port (all by default).
// Declare it before the port it listens to, so that the port, going first,
// ends its event thread while the recorder still exists.
class ReadRecorder : public kavrio::CSerialPortListener
{
public:
    void listenTo(CSerialPort& port, unsigned int takeLimit = ~0u)
    {
        port_ = &port;
        takeLimit_ = takeLimit;
        port.attachListener(this);
    }

    // Runs on the event thread inside each notification, before the bytes are taken.
    std::function<void()> duringCall;

    void onReadEvent(const char*, unsigned int readBufferLen) override
    {
        if (duringCall)
            duringCall();
        std::lock_guard<std::mutex> guard(mutex_);
        lengths_.push_back(readBufferLen);
        std::vector<std::uint8_t> chunk(std::min(readBufferLen, takeLimit_));
        const int taken = port_->receive(chunk.data(), static_cast<int>(chunk.size()));
        if (taken > 0)
            received_.insert(received_.end(), chunk.begin(), chunk.begin() + taken);
        changed_.notify_all();
    }

    bool waitForCalls(std::size_t count, std::chrono::seconds limit = std::chrono::seconds(30))
    {
        std::unique_lock<std::mutex> guard(mutex_);
        return changed_.wait_for(guard, limit, [&] { return lengths_.size() >= count; });
    }

    bool waitForBytes(std::size_t count, std::chrono::seconds limit = std::chrono::seconds(30))
    {
        std::unique_lock<std::mutex> guard(mutex_);
        return changed_.wait_for(guard, limit, [&] { return received_.size() >= count; });
    }

    std::vector<unsigned int> lengths()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return lengths_;
    }

    std::vector<std::uint8_t> received()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return received_;
    }

private:
    CSerialPort* port_ = nullptr;
    unsigned int takeLimit_ = ~0u;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<unsigned int> lengths_;
    std::vector<std::uint8_t> received_;
};
