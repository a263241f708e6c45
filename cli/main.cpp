#include "cli/BrokenPipe.h"
#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/FlashBatch.h"
#include "cli/FlashStation.h"
#include "cli/InterruptNotifier.h"
#include "cli/JsonProgressView.h"
#include "cli/PlainProgressView.h"
#include "cli/PortListing.h"
#include "cli/RunRecord.h"
#include "cli/Terminal.h"
#include "cli/TerminalProgressView.h"
#include "flash/FirmwareFile.h"
#include "session/JobFile.h"
#include "session/PrintableText.h"
#include "session/Version.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

void printRefusal(const CommandLine& commandLine, const QString& why)
{
    printError(QStringLiteral("%1: firmware file \"%2\" refused: %3\n")
                   .arg(QCoreApplication::applicationName(), printableText(commandLine.firmwarePath), why));
}

// Loads the image once for every board and holds it to its approved
// SHA-256; null when it was refused.
std::shared_ptr<const FirmwareImage> loadImage(const CommandLine& commandLine)
{
    const ImageLoad load = loadFirmwareImage(commandLine.firmwarePath);
    if (!load.image) {
        printRefusal(commandLine, printableText(load.reason));
        return nullptr;
    }
    if (commandLine.expectedSha256) {
        const QString mismatch = sha256Mismatch(*load.image, *commandLine.expectedSha256);
        if (!mismatch.isEmpty()) {
            printRefusal(commandLine, mismatch);
            return nullptr;
        }
    }
    return load.image;
}

std::unique_ptr<ProgressView> progressView(const CommandLine& commandLine)
{
    const bool station = commandLine.command == CommandLine::Command::Station;
    if (commandLine.json)
        return std::make_unique<JsonProgressView>(station);
    // Verbose lines go to the terminal too, and would break lines redrawn in place.
    if (!commandLine.verbose && isTerminal(stdout))
        return std::make_unique<TerminalProgressView>(station);
    return std::make_unique<PlainProgressView>(station);
}

// Runs the batch or station until it ends; its exit code.
template <typename Runs>
int runToEnd(QCoreApplication& application, Runs& runs)
{
    InterruptNotifier interrupt;
    QObject::connect(&interrupt, &InterruptNotifier::interrupted, &runs, &Runs::interrupt);
    // Queued: a batch may end before the event loop runs.
    QObject::connect(
        &runs, &Runs::finished, &application, [](int exitCode) { QCoreApplication::exit(exitCode); },
        Qt::QueuedConnection);
    runs.start();
    return application.exec();
}

// Everything is checked, loaded and opened before the first byte goes to a chip.
int run(QCoreApplication& application, const CommandLine& commandLine)
{
    std::shared_ptr<const FirmwareImage> image;
    if (commandLine.command != CommandLine::Command::Reset) {
        image = loadImage(commandLine);
        if (!image)
            return ExitCode::Refused;
    }
    RunRecord record(commandLine,
                     image ? std::optional<ImageFacts>(imageFactsOf(commandLine.firmwarePath, *image)) : std::nullopt);
    if (!record.check())
        return ExitCode::UsageError;

    const std::unique_ptr<ProgressView> view = progressView(commandLine);
    if (commandLine.command == CommandLine::Command::Station) {
        FlashStation station(commandLine, image, *view, record);
        return runToEnd(application, station);
    }
    FlashBatch batch(commandLine, image, *view, record);
    if (!batch.openPorts())
        return ExitCode::Refused;
    return runToEnd(application, batch);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvanne-flash"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANNE_VERSION_TEXT));
    prepareConsole();
    keepRunningWhenOutputIsClosed();

    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments());
    if (!parsed.commandLine) {
        if (parsed.exitCode == ExitCode::Success)
            printOut(parsed.text);
        else
            printError(parsed.text);
        return parsed.exitCode;
    }
    if (parsed.commandLine->command == CommandLine::Command::List) {
        printPortList(enumerateSerialPorts(), parsed.commandLine->json);
        return ExitCode::Success;
    }
    return run(application, *parsed.commandLine);
}
