#pragma once

#include "serialport/SerialPortListener.h"

#include <condition_variable>
#include <mutex>
#include <thread>

// A one-shot timer that tells a listener of received bytes once the line has
// been quiet for a delay. Arming starts a short-lived timer thread; stopping
// cancels a pending call, or waits for a call in progress to return.
// One per backend; arm and stop are called from one thread (the event thread),
// never from inside the listener call.
class DelayedNotifier
{
public:
    DelayedNotifier() = default;
    ~DelayedNotifier();

    DelayedNotifier(const DelayedNotifier&) = delete;
    DelayedNotifier& operator=(const DelayedNotifier&) = delete;

    // Calls listener->onReadEvent(portName, readBufferLen) delayMs from now
    // unless stopped first. The name is copied (at most 255 bytes). Arming
    // cancels a pending call first, so a burst of arms yields one call, one
    // delay after the last arm, with the last values.
    void arm(unsigned int delayMs, const char* portName, unsigned int readBufferLen,
             kavrio::CSerialPortListener* listener);

    // Cancels a pending call and returns once the timer thread is done with it.
    void stop();

private:
    void timerMain();

    std::mutex mutex_;
    std::condition_variable finished_;
    std::condition_variable wake_;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;
    unsigned int delayMs_ = 0;
    char portName_[256] = {};
    unsigned int readBufferLen_ = 0;
    kavrio::CSerialPortListener* listener_ = nullptr;
};
