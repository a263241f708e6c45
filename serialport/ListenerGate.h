#pragma once

#include "serialport/SerialPortListener.h"

#include <condition_variable>
#include <mutex>
#include <thread>

// The one way to a port's listener. Every call (read, delayed read, loss)
// passes here, one at a time, and only while the open that caused it is the
// port's current one; closing and detaching shut the gate and wait for the
// call in flight. That is how "closed means closed" holds for every thread
// that calls the listener.
//
// Shared (std::shared_ptr) by the backend, its event thread and the delayed
// notifier's timer thread: a thread that destroyed the port from inside its
// call still leaves the gate afterwards.
class ListenerGate
{
public:
    void attach(kavrio::CSerialPortListener* listener);
    // Forgets the listener; returns once no call is running, except one this
    // thread is making (it cannot wait for itself).
    void detach();

    // Calls may start again, for the open this generation stands for.
    unsigned int open();
    // No call starts from now on; returns once no call is running, except
    // one this thread is making.
    void close();

    // One listener call: waits while another thread's call runs, then lets
    // this one through if the gate is open for `generation` and a listener
    // is attached. Make the call only if the pass converts to true.
    class Pass
    {
    public:
        Pass(ListenerGate& gate, unsigned int generation);
        ~Pass();

        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

        explicit operator bool() const { return listener_ != nullptr; }
        kavrio::CSerialPortListener* operator->() const { return listener_; }

    private:
        ListenerGate& gate_;
        kavrio::CSerialPortListener* listener_ = nullptr;
    };

private:
    bool isInCallOnThisThread() const;
    void waitForOtherCalls(std::unique_lock<std::mutex>& guard);

    std::mutex mutex_;
    std::condition_variable changed_;
    kavrio::CSerialPortListener* listener_ = nullptr;
    unsigned int generation_ = 0;
    bool open_ = false;
    std::thread::id caller_; // the thread whose call is running
    int depth_ = 0;          // its calls under way: a listener may cause another on its own thread
};
