#pragma once

#include <cstddef>
#include <string>

// A pseudo-terminal seen from its master side, where a simulated device sits;
// a program opens slavePath() as its serial port.
//
// The slave side is raw from the start, so no echo or line editing happens
// before the program configures the port. One slave descriptor stays open for
// the object's whole life: without it the master reports a hang-up whenever no
// program has the port open, and a reader of the master would spin between
// two programs' visits. Bytes written while nobody has the port open wait in
// the slave's input queue.
//
// One thread at a time uses the master: the one that reads, writes and hangs up.
class PseudoTerminal
{
public:
    // Creation can fail (no ptys left, no /dev/pts): check error().
    PseudoTerminal();
    ~PseudoTerminal();

    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Why the pty could not be created, with the system's reason; empty when it works.
    const std::string& error() const { return error_; }
    const std::string& slavePath() const { return slavePath_; }
    // -1 after a failed creation or a hang-up.
    int masterFd() const { return masterFd_; }

    // Writes all `size` bytes to the master, in as many calls as that takes;
    // blocks while the slave's input queue is full. Returns false when the
    // master is closed or a write fails.
    bool writeAll(const void* data, std::size_t size);

    // Closes the master: every program that has the port open sees the device
    // gone, as when a USB adapter is pulled.
    void hangUp();

    // Lets go of the slave side this object holds, so that the master reports
    // a hang-up once no program has the port open any more. Not while a
    // program is still to come: the master would then report one at once.
    void releaseSlave();

private:
    bool create();
    bool fail(const char* what, int errorNumber);

    int masterFd_ = -1;
    int heldSlaveFd_ = -1;
    std::string slavePath_;
    std::string error_;
};
