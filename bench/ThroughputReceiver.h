#pragma once

#include "bench/PtyStream.h"

#include <cstddef>
#include <memory>
#include <string>

// Every receiver reads in chunks of the writer's size.
constexpr std::size_t kReadSize = 4096;

// One way of receiving a throughput run on a pty slave, feeding its check.
class ThroughputReceiver
{
public:
    explicit ThroughputReceiver(StreamCheck& check) : check_(check) {}
    virtual ~ThroughputReceiver() = default;

    ThroughputReceiver(const ThroughputReceiver&) = delete;
    ThroughputReceiver& operator=(const ThroughputReceiver&) = delete;

    // Opens the slave as a serial port: 115200 8N1, no flow control.
    virtual bool open(const std::string& slavePath, std::string& whyNot) = 0;
    // Returns once the check is done, or when reading fails or stalls.
    virtual void receive() = 0;

protected:
    StreamCheck& check_;
};

using ReceiverFactory = std::unique_ptr<ThroughputReceiver> (*)(StreamCheck& check);

std::unique_ptr<ThroughputReceiver> makeReadLoopReceiver(StreamCheck& check);
std::unique_ptr<ThroughputReceiver> makeCSerialPortReceiver(StreamCheck& check);
std::unique_ptr<ThroughputReceiver> makeQSerialPortReceiver(StreamCheck& check);
