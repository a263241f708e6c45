// Runs a command against a serial "device" that can be pulled, again and
// again: the slave side of a pty whose master this program holds. The
// command cues it through the port itself:
//   'S'  start sending bytes to the port, as fast as it takes them, until
//        the device is pulled;
//   'H'  pull the device at once: the master closes, as when a USB adapter
//        is unplugged, and a fresh device is linked in its place for the
//        next open.
// Other bytes are ignored.
//
//   pty_loss_harness --link PATH --port NAME -- command [args...]
//
// (see HarnessCommand.h; the link is what lets each new device be found by
// the same name). The exit code is the command's.
#include "tests/support/HarnessCommand.h"
#include "tests/support/PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string_view>
#include <thread>

namespace {

constexpr int kPollMs = 10;
constexpr std::size_t kChunk = 1024; // sent per poll while streaming

// A fresh device, linked where the command opens its port.
std::unique_ptr<PtyPair> plugIn(const HarnessCommand& harness)
{
    auto pty = std::make_unique<PtyPair>();
    // The master never blocks: a command that stops reading must not keep
    // this program from its cues.
    if (fcntl(pty->masterFd(), F_SETFL, O_NONBLOCK) != 0 || !linkPort(harness, pty->slavePath().c_str()))
        return nullptr;
    return pty;
}

} // namespace

int main(int argc, char** argv)
{
    HarnessCommand harness;
    if (!parseHarnessCommand(argc, argv, "pty_loss_harness", harness))
        return 2;
    if (harness.link == nullptr) {
        std::fprintf(stderr, "pty_loss_harness: needs --link, the name each new device is found by\n");
        return 2;
    }
    std::unique_ptr<PtyPair> pty = plugIn(harness);
    if (!pty)
        return 2;

    std::atomic<bool> done{false};
    std::thread device([&] {
        bool streaming = false;
        char stream[kChunk];
        for (std::size_t i = 0; i < kChunk; ++i)
            stream[i] = static_cast<char>(i);
        while (!done && pty) {
            pollfd master{pty->masterFd(), POLLIN, 0};
            if (poll(&master, 1, kPollMs) > 0 && (master.revents & POLLIN)) {
                char cues[256];
                const ssize_t n = read(pty->masterFd(), cues, sizeof cues);
                const std::string_view cue(cues, n > 0 ? static_cast<std::size_t>(n) : 0);
                streaming = streaming || cue.find('S') != std::string_view::npos;
                if (cue.find('H') != std::string_view::npos) {
                    pty->hangUp();
                    pty = plugIn(harness);
                    streaming = false;
                    continue;
                }
            }
            if (streaming && write(pty->masterFd(), stream, sizeof stream) < 0 && errno != EAGAIN)
                std::perror("pty_loss_harness: streaming");
        }
    });
    const int exitCode = runCommand(harness);
    done = true;
    device.join();
    return exitCode;
}
