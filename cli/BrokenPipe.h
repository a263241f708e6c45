#pragma once

// Output to a pipe whose reader has gone (`orvanne-flash ... | head -1`) must
// end the output, not the program: runs half done would leave chips in boot
// mode and boards unrecorded. After this, a write to such a pipe fails and
// the program goes on. Implemented per operating system.
void keepRunningWhenOutputIsClosed();
