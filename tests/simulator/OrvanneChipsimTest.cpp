// orvanne-chipsim as a command: what it refuses, and the file it writes the
// received image into. A flasher's run into that file: tests/cli.
#include "tests/simulator/ChipOnLine.h"

#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

namespace {

using namespace chip_test;
namespace fs = std::filesystem;

// orvanne-chipsim with its standard output on a pipe, run by a shell that
// first prints its process id, which exec hands on, and by `timeout`, which
// passes a stop on and ends one that serves where it should have refused or
// does not stop after its run.
struct Chipsim
{
    explicit Chipsim(const std::string& options)
        : output(popen(("echo $$; exec timeout 20 '" ORVANNE_CHIPSIM "' " + options + " 2>/dev/null").c_str(), "r")),
          pid(std::atoi(line().c_str()))
    {
    }

    ~Chipsim()
    {
        if (output != nullptr)
            pclose(output);
    }

    // The next line of its output; the first is the port it serves on.
    std::string line()
    {
        char text[4096];
        return fgets(text, sizeof text, output) != nullptr ? std::string(text, std::strcspn(text, "\n")) : "";
    }

    void stop()
    {
        if (pid > 0)
            kill(pid, SIGTERM);
    }

    // Its exit status; -1 when it did not exit.
    int exitStatus()
    {
        const int status = pclose(std::exchange(output, nullptr));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    FILE* output;
    pid_t pid;
};

struct Folder
{
    Folder() : path(fs::temp_directory_path() / ("chipsim-test-" + std::to_string(getpid()))) { fs::create_directory(path); }
    ~Folder() { fs::remove_all(path); }

    std::string file(const std::string& name, const Bytes& bytes) const
    {
        std::ofstream(path / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return (path / name).string();
    }

    const fs::path path;
};

Bytes contentsOf(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

TEST(OrvanneChipsim, RefusesOptionsItCannotServe)
{
    for (const char* options : {"--wire-baud 0", "--wire-baud 9600x", "--write-ms -1", "--busy-drop",
                                "--ack-before-write --write-ms 0", "--mode silent --write-ms 5"}) {
        SCOPED_TRACE(options);
        EXPECT_EQ(Chipsim(options).exitStatus(), 2);
    }
}

TEST(OrvanneChipsim, WritesTheImageReceivedOnlyWhenItStopsAndNeverOverTheImageExpected)
{
    const Folder folder;
    const Bytes firmware(200, 0xA5);
    const std::string firmwarePath = folder.file("firmware.bin", firmware);
    const std::string received = folder.file("received.bin", Bytes(3, 'x'));
    const std::string otherName = (folder.path / "firmware-too.bin").string();
    fs::create_hard_link(firmwarePath, otherName);
    EXPECT_EQ(Chipsim("--expect-image '" + firmwarePath + "' --image-out '" + otherName + "'").exitStatus(), 2)
        << "the image out is the expected image under another name";

    Chipsim chipsim("--once --image-out '" + received + "' --expect-image '" + firmwarePath + "'");
    const std::string port = chipsim.line();
    ASSERT_FALSE(port.empty());
    EXPECT_EQ(contentsOf(received), Bytes(3, 'x')) << "left as it was while the chip serves";
    ProgramEnd(port).flash(firmware); // and closes the port, which ends the serve
    EXPECT_EQ(chipsim.exitStatus(), 0);
    EXPECT_EQ(contentsOf(received), firmware);
    EXPECT_EQ(contentsOf(firmwarePath), firmware);

    const std::string nothing = (folder.path / "nothing.bin").string();
    Chipsim stoppedEarly("--image-out '" + nothing + "'");
    ASSERT_FALSE(stoppedEarly.line().empty());
    stoppedEarly.stop();
    EXPECT_EQ(stoppedEarly.exitStatus(), 0);
    EXPECT_TRUE(fs::exists(nothing) && fs::file_size(nothing) == 0);
}

} // namespace
