#pragma once

#include "serialport/SerialPort.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

// A read listener for tests: records every call's readBufferLen and takes up
// to `takeLimit` of the notified bytes from its port (all by default).
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

    // Runs on the event thread at the start of each call.
    std::function<void()> duringCall;

    void onReadEvent(const char*, unsigned int readBufferLen) override
    {
        if (duringCall)
            duringCall();
        std::vector<std::uint8_t> chunk(std::min(readBufferLen, takeLimit_));
        const int taken = port_->receive(chunk.data(), static_cast<int>(chunk.size()));
        std::lock_guard<std::mutex> guard(mutex_);
        lengths_.push_back(readBufferLen);
        received_.insert(received_.end(), chunk.begin(), chunk.begin() + std::max(taken, 0));
        changed_.notify_all();
    }

    bool waitForCalls(std::size_t count) { return waitUntil([&] { return lengths_.size() >= count; }); }
    bool waitForBytes(std::size_t count) { return waitUntil([&] { return received_.size() >= count; }); }

    std::vector<unsigned int> lengths() { return copy(lengths_); }
    std::vector<std::uint8_t> received() { return copy(received_); }

private:
    template <class Ready>
    bool waitUntil(Ready ready)
    {
        std::unique_lock<std::mutex> guard(mutex_);
        return changed_.wait_for(guard, std::chrono::seconds(60), ready);
    }

    template <class T>
    T copy(const T& recorded)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return recorded;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    CSerialPort* port_ = nullptr;
    unsigned int takeLimit_ = ~0u;
    std::vector<unsigned int> lengths_;
    std::vector<std::uint8_t> received_;
};
