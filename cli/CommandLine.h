#pragma once

#include "session/LineSettings.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

// What the command line asks for, checked: every value in range, every port
// named once, the firmware file present.
struct CommandLine
{
    enum class Command { List, Flash, Reset };

    Command command = Command::List;
    QString firmwarePath; // flash only
    QStringList ports;    // flash and reset: at least one
    LineSettings line;
    std::chrono::milliseconds replyDeadline{0};
    QString recordPath; // empty: no record is kept
    bool json = false;
    bool verbose = false;
};

// The command line to act on, or the text to print and the exit status to end
// with instead: the help or the version (standard output, success) or a usage
// error (standard error, ExitCode::UsageError).
struct ParsedCommandLine
{
    std::optional<CommandLine> commandLine;
    QString text;
    int exitCode = 0;
};

// arguments as QCoreApplication::arguments() gives them, the program first.
ParsedCommandLine parseCommandLine(const QStringList& arguments);
