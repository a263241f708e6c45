#pragma once

#include "serialport/ListenerGate.h"

#include <memory>
#include <mutex>
#include <thread>

// Tells a port's listener of received bytes once the line has been quiet for
// the notify delay. One per backend; its timer thread starts with the first
// arm and runs until stop(). The call passes the port's listener gate, so
// it never overlaps another listener call and never comes after the port
// closed or the listener was detached.
//
// arm and cancel are called by the event thread and never wait for a
// listener call; stop by whoever closes or destroys the port, also from
// inside a listener call, the timer thread's own included.
class DelayedNotifier
{
public:
    explicit DelayedNotifier(std::shared_ptr<ListenerGate> gate);
    ~DelayedNotifier();

    DelayedNotifier(const DelayedNotifier&) = delete;
    DelayedNotifier& operator=(const DelayedNotifier&) = delete;

    // Calls onReadEvent(portName, readBufferLen) delayMs from now, through the
    // gate for `generation`, unless armed again, cancelled or stopped first: a
    // burst of arms yields one call, one delay after the last arm, with the
    // last values. The name is copied (at most 255 bytes).
    void arm(unsigned int delayMs, const char* portName, unsigned int readBufferLen, unsigned int generation);

    // Drops a pending call.
    void cancel();

    // Drops a pending call and ends the timer thread, after the listener call
    // it may be making. On the timer thread itself it does not wait: the
    // thread ends when that call returns, without touching this object.
    void stop();

private:
    struct Timer;
    static void timerMain(std::shared_ptr<Timer> timer);

    std::shared_ptr<ListenerGate> gate_;
    std::mutex threadMutex_; // guards the two below; never held across a listener call
    std::shared_ptr<Timer> timer_; // of the running timer thread, if any
    std::thread thread_;
};
