// station_loop: `orvanne-flash station` on 8 ports, several boards each, as a
// line runs it. Each simulated board brings its adapter, so its port appears
// when it is put in place; the bench plays the operator who takes a board
// away the moment the station shows its result and puts the next one there.
// Prints boards per hour against the protocol's own minimum: the pauses the
// bootloader mandates for each board, back to back on every port (goal:
// within 2 %).
//
//   station_loop [boards per port] [blocks]   (default 3 boards of 64 blocks)
#include "simulator/ChipSimulator.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPorts = 8;

// The pauses the protocol mandates for one flash run of `blocks` blocks:
// 5 ms after the boot-mode request, 1000 ms before the first block, 100 ms
// after it, 300 ms after every further full block, 5 ms after the last
// block, the end of transfer and the exit from boot mode.
double mandatedSeconds(int blocks)
{
    const int fullBlocksAfterFirst = blocks > 1 ? blocks - 2 : 0;
    const int afterLastBlock = blocks > 1 ? 5 : 0;
    return (5 + 1000 + 100 + 300 * fullBlocksAfterFirst + afterLastBlock + 5 + 5) / 1000.0;
}

// A board with its adapter, put in place at a port path by linking the path
// to the simulated chip's pty.
struct Fixture
{
    QString path;
    std::unique_ptr<ChipSimulator> chip;
    int boardsDone = 0;
    int imagesIntact = 0;

    void putBoard()
    {
        chip = std::make_unique<ChipSimulator>();
        QFile::link(QString::fromStdString(chip->slavePath()), path);
    }

    void takeBoard(const std::vector<std::uint8_t>& image)
    {
        imagesIntact += chip->image() == image && chip->protocolError().empty() ? 1 : 0;
        QFile::remove(path);
        chip.reset();
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int boardsPerPort = argc > 1 ? std::atoi(argv[1]) : 3;
    const int blocks = argc > 2 ? std::atoi(argv[2]) : 64;
    if (boardsPerPort < 1 || blocks < 2) {
        std::fprintf(stderr, "usage: station_loop [boards per port, at least 1] [blocks, at least 2]\n");
        return 2;
    }
    QTemporaryDir folder;
    std::vector<std::uint8_t> image(static_cast<std::size_t>(blocks) * 256);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 31 + i / 256);
    QFile imageFile(folder.filePath("firmware.bin"));
    if (!imageFile.open(QIODevice::WriteOnly))
        return 1;
    imageFile.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
    imageFile.close();

    std::map<QString, Fixture> fixtures;
    QStringList arguments{"station", imageFile.fileName(), "--json", "--record", folder.filePath("runs.csv")};
    for (int i = 0; i < kPorts; ++i) {
        const QString path = folder.filePath(QStringLiteral("fixture%1").arg(i));
        fixtures[path].path = path;
        arguments << "--port" << path;
    }
    std::printf("orvanne-flash station, %d ports, %d boards each, %d blocks per board, boards bring their ports\n",
                kPorts, boardsPerPort, blocks);

    const Clock::time_point start = Clock::now();
    for (auto& [path, fixture] : fixtures)
        fixture.putBoard();
    QProcess station;
    station.start(ORVANNE_FLASH, arguments);
    int boardsLeft = kPorts * boardsPerPort;
    int failed = 0;
    while (boardsLeft > 0 && station.waitForReadyRead(120000)) {
        while (station.canReadLine()) {
            const QJsonObject event = QJsonDocument::fromJson(station.readLine()).object();
            const QString kind = event["event"].toString();
            if (kind != "done" && kind != "failed")
                continue;
            Fixture& fixture = fixtures[event["port"].toString()];
            failed += kind == "failed" ? 1 : 0;
            fixture.takeBoard(image);
            --boardsLeft;
            if (++fixture.boardsDone < boardsPerPort)
                fixture.putBoard();
        }
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    ::kill(static_cast<pid_t>(station.processId()), SIGINT);
    station.waitForFinished(30000);

    int intact = 0;
    for (const auto& [path, fixture] : fixtures)
        intact += fixture.imagesIntact;
    const int boards = kPorts * boardsPerPort - boardsLeft;
    const double minimum = boardsPerPort * mandatedSeconds(blocks);
    std::printf("%-28s %10d (failed %d, images intact %d)\n", "boards flashed", boards, failed, intact);
    std::printf("%-28s %10.2f s\n", "station time", elapsed);
    std::printf("%-28s %10.2f s\n", "protocol minimum", minimum);
    std::printf("%-28s %10.1f\n", "boards per hour", boards / elapsed * 3600);
    std::printf("%-28s %10.1f\n", "protocol minimum per hour", kPorts * boardsPerPort / minimum * 3600);
    std::printf("%-28s %10.4f   (goal: at most 1.02)\n", "time / minimum", elapsed / minimum);
    std::printf("%-28s %10d\n", "station exit code", station.exitCode());
    return boards == kPorts * boardsPerPort && failed == 0 && intact == boards ? 0 : 1;
}
