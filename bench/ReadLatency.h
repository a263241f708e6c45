#pragma once

#include <string>
#include <vector>

// How long single bytes take from a write at the pty master to the entry of
// our listener's onReadEvent.
struct ReadLatency
{
    std::vector<double> microseconds; // one per byte, in the order sent
    std::string fault;                // why there are fewer than were sent
    bool lost = false;                // a byte never reached the listener, or a wrong one did
};

ReadLatency measureReadLatency();
