// batch_flash: orvanne-flash against one simulated board and against eight at
// once. The runs are bound by the pauses the chip needs, not by the flasher,
// so eight boards should take no longer than one (goal: within 1.1 times);
// and the flasher's CPU time per board, from its process clock, shows what a
// batch costs the station.
//
//   batch_flash [blocks]   (default 16 blocks of 256 bytes)
#include "simulator/ChipSimulator.h"

#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct BatchFigures
{
    double wallSeconds = 0;
    double cpuSeconds = 0; // user and system time of the flasher process
    int exitCode = -1;
    bool imagesIntact = true;
};

double seconds(const timeval& time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// Runs orvanne-flash on `boards` fresh chips, its output thrown away, and
// waits for it with wait4 for its own resource usage.
BatchFigures flashBatch(int boards, const std::string& imagePath, const std::vector<std::uint8_t>& image)
{
    std::vector<std::unique_ptr<ChipSimulator>> chips;
    std::vector<std::string> arguments{ORVANNE_FLASH, "flash", imagePath};
    for (int i = 0; i < boards; ++i) {
        chips.push_back(std::make_unique<ChipSimulator>());
        arguments.insert(arguments.end(), {"--port", chips.back()->slavePath()});
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    BatchFigures figures;
    pid_t child = 0;
    const Clock::time_point start = Clock::now();
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return figures;
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    figures.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    figures.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    figures.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    for (const auto& chip : chips)
        figures.imagesIntact = figures.imagesIntact && chip->image() == image && chip->protocolError().empty();
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    const int blocks = argc > 1 ? std::atoi(argv[1]) : 16;
    if (blocks < 1) {
        std::fprintf(stderr, "usage: batch_flash [blocks]   (at least 1)\n");
        return 2;
    }
    QTemporaryDir folder;
    const std::string imagePath = folder.filePath("firmware.bin").toStdString();
    std::vector<std::uint8_t> image(static_cast<std::size_t>(blocks) * 256);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 31 + i / 256);
    std::ofstream(imagePath, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                     static_cast<std::streamsize>(image.size()));

    std::printf("orvanne-flash, %d blocks per board, simulated chips on ptys\n", blocks);
    std::printf("%6s %10s %12s %16s %6s %8s\n", "boards", "wall (s)", "CPU (ms)", "CPU/board (ms)", "exit", "images");
    double oneBoardWall = 0;
    for (const int boards : {1, 8}) {
        const BatchFigures figures = flashBatch(boards, imagePath, image);
        std::printf("%6d %10.3f %12.1f %16.1f %6d %8s\n", boards, figures.wallSeconds, figures.cpuSeconds * 1e3,
                    figures.cpuSeconds * 1e3 / boards, figures.exitCode, figures.imagesIntact ? "intact" : "WRONG");
        if (boards == 1)
            oneBoardWall = figures.wallSeconds;
        else
            std::printf("8 boards take %.3f times as long as 1 (goal: at most 1.1)\n", figures.wallSeconds / oneBoardWall);
    }
    return 0;
}
