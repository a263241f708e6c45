#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/FlashBatch.h"
#include "cli/InterruptNotifier.h"
#include "cli/JsonProgressView.h"
#include "cli/PlainProgressView.h"
#include "cli/PortListing.h"
#include "cli/RunRecord.h"
#include "cli/Terminal.h"
#include "cli/TerminalProgressView.h"
#include "flash/FirmwareFile.h"
#include "session/Version.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

// Loads the image once for every board; null when it was refused.
std::shared_ptr<const FirmwareImage> loadImage(const CommandLine& commandLine)
{
    const ImageLoad load = loadFirmwareImage(commandLine.firmwarePath);
    if (!load.image)
        printError(QStringLiteral("%1: firmware file \"%2\" refused: %3\n")
                       .arg(QCoreApplication::applicationName(), commandLine.firmwarePath, load.reason));
    return load.image;
}

std::unique_ptr<ProgressView> progressView(const CommandLine& commandLine)
{
    if (commandLine.json)
        return std::make_unique<JsonProgressView>();
    // Verbose lines go to the terminal too, and would break lines redrawn in place.
    if (!commandLine.verbose && isTerminal(stdout))
        return std::make_unique<TerminalProgressView>();
    return std::make_unique<PlainProgressView>();
}

// Everything is checked, loaded and opened before the first byte goes to a chip.
int runBatch(QCoreApplication& application, const CommandLine& commandLine)
{
    RunRecord record;
    QString recordError;
    if (!commandLine.recordPath.isEmpty() && !record.open(commandLine.recordPath, recordError)) {
        printError(QStringLiteral("%1: --record: cannot write to \"%2\": %3\n")
                       .arg(QCoreApplication::applicationName(), commandLine.recordPath, recordError));
        return ExitCode::UsageError;
    }
    std::shared_ptr<const FirmwareImage> image;
    if (commandLine.command == CommandLine::Command::Flash) {
        image = loadImage(commandLine);
        if (!image)
            return ExitCode::Refused;
    }

    const std::unique_ptr<ProgressView> view = progressView(commandLine);
    FlashBatch batch(commandLine, image, *view, commandLine.recordPath.isEmpty() ? nullptr : &record);
    if (!batch.openPorts())
        return ExitCode::Refused;

    InterruptNotifier interrupt;
    QObject::connect(&interrupt, &InterruptNotifier::interrupted, &batch, &FlashBatch::interrupt);
    QObject::connect(&batch, &FlashBatch::finished, &application, [](int exitCode) {
        QCoreApplication::exit(exitCode);
    });
    batch.start();
    return application.exec();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvanne-flash"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANNE_VERSION_TEXT));
    prepareConsole();

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
    return runBatch(application, *parsed.commandLine);
}
