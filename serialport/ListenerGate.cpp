#include "serialport/ListenerGate.h"

void ListenerGate::attach(kavrio::CSerialPortListener* listener)
{
    std::lock_guard<std::mutex> guard(mutex_);
    listener_ = listener;
}

void ListenerGate::detach()
{
    std::unique_lock<std::mutex> guard(mutex_);
    listener_ = nullptr;
    waitForOtherCalls(guard);
}

unsigned int ListenerGate::open()
{
    std::lock_guard<std::mutex> guard(mutex_);
    open_ = true;
    return ++generation_;
}

void ListenerGate::close()
{
    std::unique_lock<std::mutex> guard(mutex_);
    open_ = false;
    waitForOtherCalls(guard);
}

bool ListenerGate::isInCallOnThisThread() const
{
    return depth_ > 0 && caller_ == std::this_thread::get_id();
}

// Also wakes passes that wait for their turn, so that they see the change.
void ListenerGate::waitForOtherCalls(std::unique_lock<std::mutex>& guard)
{
    changed_.notify_all();
    changed_.wait(guard, [this] { return depth_ == 0 || isInCallOnThisThread(); });
}

ListenerGate::Pass::Pass(ListenerGate& gate, unsigned int generation) : gate_(gate)
{
    std::unique_lock<std::mutex> guard(gate.mutex_);
    const auto wanted = [&] { return gate.open_ && gate.generation_ == generation && gate.listener_ != nullptr; };
    gate.changed_.wait(guard, [&] { return !wanted() || gate.depth_ == 0 || gate.isInCallOnThisThread(); });
    if (!wanted())
        return;
    gate.caller_ = std::this_thread::get_id();
    ++gate.depth_;
    listener_ = gate.listener_;
}

ListenerGate::Pass::~Pass()
{
    if (listener_ == nullptr)
        return;
    std::lock_guard<std::mutex> guard(gate_.mutex_);
    if (--gate_.depth_ == 0)
        gate_.caller_ = std::thread::id();
    gate_.changed_.notify_all();
}
