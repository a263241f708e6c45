#pragma once

#include "simulator/ChipBehaviour.h"

#include <string>

// What orvanne-chipsim has been asked to do.
struct CommandOptions
{
    ChipBehaviour behaviour;
    bool once = false;
    std::string imageOut;    // empty: the received image is not written out
    std::string expectImage; // empty: the received image is not compared
};

enum class CommandLineOutcome { Serve, HelpShown, Refused };

// Reads the command line into `options`. Prints the help to standard output,
// or what is wrong to standard error, itself.
CommandLineOutcome parseCommandLine(int argc, char* argv[], CommandOptions& options);
