#include "cli/BoardRun.h"

#include "cli/Console.h"
#include "session/PrintableText.h"

#include <QCoreApplication>

std::optional<PortOpenFailure> BoardRun::open(const LineSettings& line, const DialogueSettings& dialogue)
{
    session = std::make_unique<BoardSession>();
    if (std::optional<PortOpenFailure> failure = session->open(port, line)) {
        session.reset();
        return failure;
    }
    session->setDialogueSettings(dialogue);
    return std::nullopt;
}

void BoardRun::showSteps() const
{
    const QString name = printableText(port);
    QObject::connect(session.get(), &BoardSession::logLine, session.get(),
                     [name](const QString& text) { printError(name + ": " + printableText(text) + '\n'); });
    QObject::connect(session.get(), &BoardSession::received, session.get(),
                     [name](const QString& text) { printError(name + ": < " + printableText(text) + '\n'); });
}

void BoardRun::begin(BoardProgress& progress, std::uint32_t blockCount)
{
    startedAt = QDateTime::currentDateTimeUtc();
    clock.start();
    progress.block = 0;
    progress.blockCount = blockCount;
    progress.result.reset();
    progress.waitingFor.clear();
    updateClock(progress);
}

void BoardRun::updateClock(BoardProgress& progress) const
{
    progress.elapsed = std::chrono::milliseconds(clock.isValid() ? clock.elapsed() : 0);
    progress.timeLeft = session ? session->progress().timeLeft : std::nullopt;
}

void BoardRun::blockWritten(BoardProgress& progress, quint32 block, quint32 blockCount) const
{
    progress.block = block;
    progress.blockCount = blockCount;
    updateClock(progress);
}

void BoardRun::end(BoardProgress& progress, const RunResult& result, bool factoryReset) const
{
    updateClock(progress);
    RunResult shown = result;
    // The window's log keeps the protocol's words; here a reset says what it did.
    if (factoryReset && result.outcome == RunOutcome::Completed)
        shown.reason = QStringLiteral("Factory reset completed.");
    shown.reason = printableText(shown.reason);
    progress.result = shown;
    progress.tally.count(result.outcome);
}

void printOpenFailure(const QString& port, const PortOpenFailure& failure)
{
    const QString program = QCoreApplication::applicationName();
    QString text = program + QStringLiteral(": port %1: %2\n").arg(printableText(port), failure.summary());
    if (!failure.hint.isEmpty())
        text += program + QStringLiteral(": %1\n").arg(failure.hint);
    printError(text);
}
