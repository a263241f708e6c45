#include "cli/CommandLine.h"

#include "cli/ExitCode.h"
#include "flash/DialogueSettings.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cmath>

namespace {

// Longer deadlines would only hide a dead line; a day is beyond any chip.
constexpr double kMaxReplyDeadlineSeconds = 24 * 60 * 60;

const char* const kDescription =
    "Flashes firmware into RQ51x chips over serial lines, any number of boards at once.\n"
    "\n"
    "Commands:\n"
    "  list                            the serial ports present: name, adapter, hardware id\n"
    "  flash FILE --port P [--port P]  writes FILE into the chip behind every port named\n"
    "  reset --port P [--port P]       orders every chip back to its factory settings\n"
    "\n"
    "Ports are named as the system lists them (ttyUSB0, COM5) or by an absolute path.\n"
    "Nothing is written to any chip until the image is loaded and every port is open.\n"
    "\n"
    "Exit status: 0 every run succeeded; 1 a run failed (no answer, port lost, chip\n"
    "error); 2 usage error (bad option, missing file); 3 image refused or port not\n"
    "opened; 130 interrupted (Ctrl-C, SIGTERM): every run cancelled, every port closed.";

struct Options
{
    QCommandLineOption port{{"p", "port"}, "A serial port with a board on it; once per board.", "port"};
    QCommandLineOption baud{{"b", "baud"}, "Baud rate (default 115200).", "rate", "115200"};
    QCommandLineOption parity{"parity", "none, odd, even, mark or space (default none).", "parity", "none"};
    QCommandLineOption dataBits{"data-bits", "5, 6, 7 or 8 (default 8).", "bits", "8"};
    QCommandLineOption stopBits{"stop-bits", "1, 1.5 or 2 (default 1).", "bits", "1"};
    QCommandLineOption timeout{
        "timeout",
        "How long a reply may take beyond the chip's own pause before the run fails (default "
            + QString::number(DialogueSettings::kDefaultReplyDeadline.count() / 1000.0) + ").",
        "seconds", QString::number(DialogueSettings::kDefaultReplyDeadline.count() / 1000.0)};
    QCommandLineOption json{"json", "Machine-readable output: one JSON object per line for every "
                                    "event (start, progress, done, failed); list prints a JSON array."};
    QCommandLineOption record{"record", "Append one CSV row per port and run to file (the header "
                                        "goes into a new file); other processes may share it.",
                              "file"};
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

std::chrono::milliseconds replyDeadline(const QString& text)
{
    bool isNumber = false;
    const double seconds = text.toDouble(&isNumber);
    if (!isNumber || !std::isfinite(seconds) || seconds <= 0 || seconds > kMaxReplyDeadlineSeconds)
        throw UsageError{"--timeout: " + quoted(text) + " is not a number of seconds above 0 and up to "
                         + QString::number(kMaxReplyDeadlineSeconds)};
    return std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000)));
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

CommandLine checked(const QCommandLineParser& parser, const Options& options)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty())
        throw UsageError{"no command given: list, flash or reset"};
    const std::optional<CommandLine::Command> command = commandNamed(arguments.first());
    if (!command)
        throw UsageError{"unknown command " + quoted(arguments.first()) + ": list, flash or reset"};

    CommandLine commandLine;
    commandLine.command = *command;
    commandLine.json = parser.isSet(options.json);
    commandLine.verbose = parser.isSet(options.verbose);
    const int expectedArguments = *command == CommandLine::Command::Flash ? 2 : 1;
    if (arguments.size() < expectedArguments)
        throw UsageError{"flash needs the firmware file: flash FILE --port PORT"};
    if (arguments.size() > expectedArguments)
        throw UsageError{"unexpected argument " + quoted(arguments[expectedArguments])};
    if (*command == CommandLine::Command::List)
        return commandLine;

    commandLine.ports = portNames(parser.values(options.port));
    commandLine.line = lineSettings(parser, options);
    commandLine.replyDeadline = replyDeadline(parser.value(options.timeout));
    if (parser.isSet(options.record)) {
        commandLine.recordPath = parser.value(options.record);
        if (commandLine.recordPath.isEmpty())
            throw UsageError{"--record: an empty file name"};
    }
    if (*command == CommandLine::Command::Flash) {
        commandLine.firmwarePath = arguments[1];
        if (!QFileInfo::exists(commandLine.firmwarePath))
            throw UsageError{"firmware file " + quoted(commandLine.firmwarePath) + " does not exist"};
    }
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
    parser.addOptions({options.port, options.baud, options.parity, options.dataBits, options.stopBits,
                       options.timeout, options.json, options.record, options.verbose});
    parser.addPositionalArgument("command", "list, flash or reset.", "command");
    parser.addPositionalArgument("FILE", "The firmware image (a .bin file of raw bytes), for flash.",
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
