#pragma once

// What the pty harnesses share: their command line
//
//   <harness> [--link PATH --port NAME] -- command [args...]
//
// and running the command. --link makes PATH a symbolic link to the pty
// (wine maps COM ports through links in $WINEPREFIX/dosdevices); the command
// finds the port's name in ORVANNE_TEST_PORT: NAME if given, else the pty's
// path.
struct HarnessCommand
{
    const char* link = nullptr; // null: no link
    const char* port = nullptr;
    char** command = nullptr;   // null-terminated, as execvp takes it
};

// False, after printing the usage for `harness`, if the arguments do not fit.
bool parseHarnessCommand(int argc, char** argv, const char* harness, HarnessCommand& parsed);

// Points the link, if any, at `slavePath`, replacing what it pointed at in
// one step, and names the port for the command. False if that fails.
bool linkPort(const HarnessCommand& harness, const char* slavePath);

// Runs the command to its end; its exit code (128 + signal if killed; 2 if
// it could not be started). Removes the link afterwards.
int runCommand(const HarnessCommand& harness);
