#pragma once

#include "serialport/SerialPort.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// Polls `condition` until it holds, for up to a minute; returns whether it does.
template <class Condition>
bool eventually(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!condition() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return condition();
}

// A listener for tests: records every read call's readBufferLen and the bytes
// it takes from its port (up to takeLimit of those notified), and of
// every loss the port's last error then (-1 if the port was still open).
// Declare it before the port it listens to, so that the port, going first,
// ends its event thread while the recorder still exists.
class ReadRecorder : public kavrio::CSerialPortListener
{
public:
    struct Record
    {
        std::vector<unsigned int> lengths;
        std::vector<std::uint8_t> received;
        std::vector<int> losses;
    };

    void listenTo(CSerialPort& port)
    {
        port_ = &port;
        port.attachListener(this);
    }

    // Set before the port opens: the most bytes a read call takes.
    unsigned int takeLimit = ~0u;

    void onReadEvent(const char*, unsigned int readBufferLen) override
    {
        std::vector<std::uint8_t> chunk(std::min(readBufferLen, takeLimit));
        const int taken = port_->receive(chunk.data(), static_cast<int>(chunk.size()));
        std::lock_guard<std::mutex> guard(mutex_);
        record_.lengths.push_back(readBufferLen);
        record_.received.insert(record_.received.end(), chunk.begin(), chunk.begin() + std::max(taken, 0));
    }

    void onPortLost(const char*) override
    {
        const int code = port_->isPortOpen() ? -1 : port_->lastErrorCode();
        std::lock_guard<std::mutex> guard(mutex_);
        record_.losses.push_back(code);
    }

    Record record()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return record_;
    }

private:
    CSerialPort* port_ = nullptr;
    std::mutex mutex_;
    Record record_;
};
