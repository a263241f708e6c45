#pragma once

#include "flash/DialogueSettings.h"
#include "session/LineSettings.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the command line asks for, checked: every value in range, every port
// named once, the firmware file and any job file present and readable.
struct CommandLine
{
    enum class Command { List, Flash, Reset, Station };

    Command command = Command::List;
    QString firmwarePath; // flash and station: FILE, or the job's image
    QStringList ports;    // flash, reset and station: at least one
    LineSettings line;
    DialogueSettings dialogue;
    QString jobName;                      // empty without --job
    std::optional<QString> expectedSha256; // lower case; from --expect-sha256 or the job
    QString recordPath;                   // empty: no record is kept
    QString station;
    QString operatorName;
    bool keepGoing = false;
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
