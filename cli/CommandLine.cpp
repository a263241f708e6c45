#include "cli/CommandLine.h"

#include "cli/ExitCode.h"
#include "session/JobFile.h"
#include "session/PrintableText.h"
#include "session/RunRecordFile.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

const char* const kDescription =
    "Flashes firmware into RQ51x chips over serial lines, any number of boards at once.\n"
    "\n"
    "Commands:\n"
    "  list                              the serial ports present: name, adapter, hardware id\n"
    "  flash (FILE | --job J) --port P   writes the image into the chip behind every port named\n"
    "  reset --port P [--port P]         orders every chip back to its factory settings\n"
    "  station (FILE | --job J) --port P ...\n"
    "                                    a production line: on every port, flashes board after\n"
    "                                    board as they are put in place, until Ctrl-C\n"
    "\n"
    "Ports are named as the system lists them (ttyUSB0, COM5) or by an absolute path.\n"
    "Nothing is written to any chip until the image is loaded and approved, the record\n"
    "can be written and every port is open (with --keep-going: the ports that open).\n"
    "\n"
    "Exit status: 0 every run succeeded; 1 a run failed (no answer, port lost, chip\n"
    "error, port not opened with --keep-going) or could not be recorded; 2 usage error\n"
    "(bad option, missing or malformed file, unusable record); 3 image refused (not a\n"
    "raw image, wrong SHA-256) or port not opened; 130 interrupted (Ctrl-C, SIGTERM,\n"
    "SIGHUP; on Windows also a closed console, signing out or shutting down): every\n"
    "run cancelled and recorded. A station ends with Ctrl-C: 0 when no\n"
    "board failed, 1 otherwise.";

struct Options
{
    QCommandLineOption port{{"p", "port"}, "A serial port with a board on it; once per board.", "port"};
    QCommandLineOption job{"job", "An approved job file (JSON; see the README): the image, its SHA-256, the "
                                  "line settings and the pacing, which may not be given as options then.",
                           "file"};
    QCommandLineOption expectSha256{"expect-sha256", "Flash only an image with this SHA-256 (64 hex digits).",
                                    "hex"};
    QCommandLineOption baud{{"b", "baud"}, "Baud rate (default 115200).", "rate", "115200"};
    QCommandLineOption parity{"parity", "none, odd, even, mark or space (default none).", "parity", "none"};
    QCommandLineOption dataBits{"data-bits", "5, 6, 7 or 8 (default 8).", "bits", "8"};
    QCommandLineOption stopBits{"stop-bits", "1, 1.5 or 2 (default 1).", "bits", "1"};
    QCommandLineOption timeout{
        "timeout",
        "How long a reply may take beyond the chip's own pause before the run fails (default "
            + QString::number(DialogueSettings::kDefaultReplyDeadline.count() / 1000.0) + ").",
        "seconds", QString::number(DialogueSettings::kDefaultReplyDeadline.count() / 1000.0)};
    QCommandLineOption pacing{"pacing", "protocol: the pauses the bootloader's protocol mandates (default); "
                                        "acknowledged: the next frame as soon as the chip has answered, for "
                                        "chips that acknowledge a block only once it is written.",
                              "pacing", "protocol"};
    QCommandLineOption minGap{"min-gap", "With --pacing acknowledged: the least gap between an answer and "
                                         "the next frame (default 0).",
                              "ms", "0"};
    QCommandLineOption json{"json", "Machine-readable output: one JSON object per line for every event, and a "
                                    "summary object last; list prints a JSON array."};
    QCommandLineOption record{"record", "Append one CSV row per board and run to file (columns in the README; "
                                        "the header goes into a new file); other processes may share it.",
                              "file"};
    QCommandLineOption station{"station", "The station named in the record (default: the host name).", "name"};
    QCommandLineOption operatorName{"operator", "The operator named in the record (default: the login name).",
                                    "name"};
    QCommandLineOption keepGoing{"keep-going", "Flash the boards whose ports open even when others do not; "
                                               "those fail on their own."};
    QCommandLineOption verbose{"verbose", "Show every step of every run and what each chip answered."};
};

// A refusal of the command line, as the message says.
struct UsageError
{
    QString message;
};

std::optional<CommandLine::Command> commandNamed(const QString& name)
{
    if (name == QLatin1String("list"))
        return CommandLine::Command::List;
    if (name == QLatin1String("flash"))
        return CommandLine::Command::Flash;
    if (name == QLatin1String("reset"))
        return CommandLine::Command::Reset;
    if (name == QLatin1String("station"))
        return CommandLine::Command::Station;
    return std::nullopt;
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

template <typename Value>
Value chosen(const QString& word, const std::vector<LineChoice<Value>>& choices, const char* option)
{
    if (const std::optional<Value> value = choiceForWord(choices, word))
        return *value;
    throw UsageError{QLatin1String(option) + ": " + quoted(word) + " is not one of " + choiceWords(choices)};
}

double numberOf(const QString& text)
{
    bool isNumber = false;
    const double number = text.toDouble(&isNumber);
    return isNumber ? number : -1;
}

LineSettings lineSettings(const QCommandLineParser& parser, const Options& options)
{
    LineSettings line;
    bool isNumber = false;
    const QString baud = parser.value(options.baud);
    line.baud = baud.toInt(&isNumber);
    if (!isNumber || line.baud <= 0)
        throw UsageError{"--baud: " + quoted(baud) + " is not a baud rate (a whole number above 0)"};

    line.parity = chosen(parser.value(options.parity), parityChoices(), "--parity");
    line.dataBits = chosen(parser.value(options.dataBits), dataBitsChoices(), "--data-bits");
    line.stopBits = chosen(parser.value(options.stopBits), stopBitsChoices(), "--stop-bits");
    return line;
}

DialogueSettings dialogueSettings(const QCommandLineParser& parser, const Options& options)
{
    DialogueSettings dialogue;
    const QString timeout = parser.value(options.timeout);
    const auto deadline = replyDeadlineFromSeconds(numberOf(timeout));
    if (!deadline)
        throw UsageError{"--timeout: " + quoted(timeout) + " is not a number of seconds above 0 and up to a day"};
    dialogue.replyDeadline = *deadline;
    dialogue.pacing = chosen(parser.value(options.pacing), pacingChoices(), "--pacing");
    if (parser.isSet(options.minGap)) {
        if (dialogue.pacing != Pacing::Acknowledged)
            throw UsageError{"--min-gap: only with --pacing acknowledged; protocol pacing keeps its own pauses"};
        const QString gap = parser.value(options.minGap);
        const auto minimumGap = minimumGapFromMilliseconds(numberOf(gap));
        if (!minimumGap)
            throw UsageError{"--min-gap: " + quoted(gap) + " is not a whole number of milliseconds from 0 to 60000"};
        dialogue.minimumGap = *minimumGap;
    }
    return dialogue;
}

QStringList portNames(const QStringList& ports)
{
    if (ports.isEmpty())
        throw UsageError{"no port given: name the port of every board with --port"};
    for (int i = 0; i < ports.size(); ++i) {
        if (ports[i].isEmpty())
            throw UsageError{"--port: an empty port name"};
        if (ports.indexOf(ports[i], i + 1) > 0)
            throw UsageError{"--port: " + quoted(ports[i]) + " is named twice"};
    }
    return ports;
}

// The job's settings are approved as they stand: options may not change them.
void takeJob(CommandLine& commandLine, const QCommandLineParser& parser, const Options& options)
{
    for (const QCommandLineOption* locked : {&options.expectSha256, &options.baud, &options.parity, &options.dataBits,
                                             &options.stopBits, &options.timeout, &options.pacing, &options.minGap}) {
        if (parser.isSet(*locked))
            throw UsageError{"--" + locked->names().constLast() + ": the job file sets it"};
    }
    const QString path = parser.value(options.job);
    const JobFileRead read = readJobFile(path);
    if (!read.job)
        throw UsageError{"job file " + quoted(path) + ": " + printableText(read.error)};
    commandLine.jobName = read.job->name;
    commandLine.firmwarePath = read.job->imagePath;
    commandLine.expectedSha256 = read.job->sha256;
    commandLine.line = read.job->line;
    commandLine.dialogue = read.job->dialogue;
}

void takeImageOptions(CommandLine& commandLine, const QCommandLineParser& parser, const Options& options,
                      const QStringList& arguments)
{
    if (parser.isSet(options.job)) {
        if (arguments.size() > 1)
            throw UsageError{"unexpected argument " + quoted(arguments[1]) + ": the job file names the image"};
        return takeJob(commandLine, parser, options);
    }
    if (arguments.size() < 2)
        throw UsageError{arguments.first() + " needs the firmware file: " + arguments.first()
                         + " FILE --port PORT, or --job FILE"};
    commandLine.firmwarePath = arguments[1];
    if (!QFileInfo::exists(commandLine.firmwarePath))
        throw UsageError{"firmware file " + quoted(commandLine.firmwarePath) + " does not exist"};
    commandLine.line = lineSettings(parser, options);
    commandLine.dialogue = dialogueSettings(parser, options);
    if (parser.isSet(options.expectSha256)) {
        const QString text = parser.value(options.expectSha256);
        commandLine.expectedSha256 = sha256FromText(text);
        if (!commandLine.expectedSha256)
            throw UsageError{"--expect-sha256: " + quoted(text) + " is not a SHA-256 (64 hexadecimal digits)"};
    }
}

QString nameOption(const QCommandLineParser& parser, const QCommandLineOption& option, const QString& fallback)
{
    if (!parser.isSet(option))
        return fallback;
    const QString name = parser.value(option).trimmed();
    if (name.isEmpty())
        throw UsageError{"--" + option.names().constLast() + ": an empty name"};
    return name;
}

CommandLine checked(const QCommandLineParser& parser, const Options& options)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty())
        throw UsageError{"no command given: list, flash, reset or station"};
    const std::optional<CommandLine::Command> command = commandNamed(arguments.first());
    if (!command)
        throw UsageError{"unknown command " + quoted(arguments.first()) + ": list, flash, reset or station"};

    CommandLine commandLine;
    commandLine.command = *command;
    commandLine.json = parser.isSet(options.json);
    commandLine.verbose = parser.isSet(options.verbose);
    const bool takesImage = *command == CommandLine::Command::Flash || *command == CommandLine::Command::Station;
    if (!takesImage) {
        if (arguments.size() > 1)
            throw UsageError{"unexpected argument " + quoted(arguments[1])};
        for (const QCommandLineOption* imageOnly : {&options.job, &options.expectSha256}) {
            if (parser.isSet(*imageOnly))
                throw UsageError{"--" + imageOnly->names().constLast() + ": only for flash and station"};
        }
    } else if (arguments.size() > 2) {
        throw UsageError{"unexpected argument " + quoted(arguments[2])};
    }
    if (*command == CommandLine::Command::List)
        return commandLine;

    commandLine.ports = portNames(parser.values(options.port));
    if (takesImage) {
        takeImageOptions(commandLine, parser, options, arguments);
    } else {
        commandLine.line = lineSettings(parser, options);
        commandLine.dialogue = dialogueSettings(parser, options);
    }
    commandLine.keepGoing = parser.isSet(options.keepGoing);
    if (commandLine.keepGoing && *command == CommandLine::Command::Station)
        throw UsageError{"--keep-going: a station keeps going on its own: each port waits for its boards"};
    if (parser.isSet(options.record)) {
        commandLine.recordPath = parser.value(options.record);
        if (commandLine.recordPath.isEmpty())
            throw UsageError{"--record: an empty file name"};
    }
    commandLine.station = nameOption(parser, options.station, defaultStationName());
    commandLine.operatorName = nameOption(parser, options.operatorName, defaultOperatorName());
    return commandLine;
}

} // namespace

ParsedCommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const Options options;
    parser.addOptions({options.port, options.job, options.expectSha256, options.baud, options.parity,
                       options.dataBits, options.stopBits, options.timeout, options.pacing, options.minGap,
                       options.json, options.record, options.station, options.operatorName, options.keepGoing,
                       options.verbose});
    parser.addPositionalArgument("command", "list, flash, reset or station.", "command");
    parser.addPositionalArgument("FILE", "The firmware image (a .bin file of raw bytes), for flash and station.",
                                 "[FILE]");

    ParsedCommandLine parsed;
    try {
        if (!parser.parse(arguments))
            throw UsageError{parser.errorText()};
        if (parser.isSet(help)) {
            parsed.text = parser.helpText();
            return parsed;
        }
        if (parser.isSet(version)) {
            parsed.text = QCoreApplication::applicationName() + ' ' + QCoreApplication::applicationVersion()
                          + '\n';
            return parsed;
        }
        parsed.commandLine = checked(parser, options);
    } catch (const UsageError& error) {
        parsed.text = QCoreApplication::applicationName() + ": " + error.message + "\nTry '"
                      + QCoreApplication::applicationName() + " --help' for the commands and options.\n";
        parsed.exitCode = ExitCode::UsageError;
    }
    return parsed;
}
