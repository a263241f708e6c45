// libserialport: blocking reads of a chunk at a time.
#include "bench/ThroughputReceiver.h"

#include <libserialport.h>

#include <algorithm>

namespace {

std::string describe(sp_return result)
{
    if (result != SP_ERR_FAIL)
        return "libserialport error " + std::to_string(result);
    char* const message = sp_last_error_message();
    const std::string text = message != nullptr ? message : "unknown failure";
    sp_free_error_message(message);
    return text;
}

class LibSerialPortReceiver final : public ThroughputReceiver
{
public:
    using ThroughputReceiver::ThroughputReceiver;

    ~LibSerialPortReceiver() override
    {
        if (open_)
            sp_close(port_);
        if (port_ != nullptr)
            sp_free_port(port_);
    }

    bool open(const std::string& slavePath, std::string& whyNot) override
    {
        sp_return result = sp_get_port_by_name(slavePath.c_str(), &port_);
        if (result == SP_ERR_ARG) {
            whyNot = "libserialport knows no such port (it looks ports up in /sys/class/tty, "
                     "which lists no pty)";
            return false;
        }
        if (result == SP_OK)
            result = sp_open(port_, SP_MODE_READ);
        open_ = result == SP_OK;
        if (open_)
            result = configure();
        if (result == SP_OK)
            return true;
        whyNot = describe(result);
        return false;
    }

    void receive() override
    {
        char bytes[kReadSize];
        const auto stallMs = static_cast<unsigned int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(kStallLimit).count());
        while (!check_.done()) {
            // Never asks for more than is still to come, or the last read would wait it out.
            const std::size_t wanted = std::min(sizeof bytes, check_.remaining());
            const int got = sp_blocking_read(port_, bytes, wanted, stallMs);
            if (got <= 0)
                return;
            check_.take(bytes, static_cast<std::size_t>(got));
        }
    }

private:
    // Each setting is made only while those before it succeeded.
    sp_return configure()
    {
        sp_return result = sp_set_baudrate(port_, 115200);
        if (result == SP_OK)
            result = sp_set_bits(port_, 8);
        if (result == SP_OK)
            result = sp_set_parity(port_, SP_PARITY_NONE);
        if (result == SP_OK)
            result = sp_set_stopbits(port_, 1);
        if (result == SP_OK)
            result = sp_set_flowcontrol(port_, SP_FLOWCONTROL_NONE);
        return result;
    }

    sp_port* port_ = nullptr;
    bool open_ = false;
};

} // namespace

std::unique_ptr<ThroughputReceiver> makeLibSerialPortReceiver(StreamCheck& check)
{
    return std::make_unique<LibSerialPortReceiver>(check);
}
