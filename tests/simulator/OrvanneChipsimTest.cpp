// orvanne-chipsim as a command: what it refuses, and the file it writes the
// received image into.
#include "tests/simulator/ChipOnLine.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace {

using namespace chip_test;
namespace fs = std::filesystem;

// orvanne-chipsim in a process of its own, with its standard output on a pipe.
class Chipsim
{
public:
    explicit Chipsim(const std::vector<std::string>& options)
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> words{ORVANNE_CHIPSIM};
        words.insert(words.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, ORVANNE_CHIPSIM, &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        output_ = out[0];
    }

    ~Chipsim()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(output_);
    }

    // The port it serves on; empty when it printed none.
    std::string port()
    {
        ProgramEnd output;
        output.fd = dup(output_);
        std::string line;
        for (Bytes byte; (byte = output.receive(1)).size() == 1 && byte[0] != '\n';)
            line += char(byte[0]);
        return line;
    }

    void stop() { kill(pid_, SIGTERM); }

    // Its exit status; -1 when it did not end in time.
    int exitStatus()
    {
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (waitpid(pid_, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        if (!WIFEXITED(status))
            return -1;
        pid_ = -1;
        return WEXITSTATUS(status);
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
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

TEST(OrvanneChipsim, RefusesWhatItCannotServe)
{
    const std::vector<std::string> badOptions[] = {
        {"--wire-baud", "0"},       {"--wire-baud", "9600x"},        {"--write-ms", "-1"},
        {"--busy-drop"},            {"--ack-before-write", "--write-ms", "0"},
        {"--mode", "silent", "--write-ms", "5"},
    };
    for (const auto& options : badOptions) {
        SCOPED_TRACE(options.front());
        Chipsim chipsim(options);
        EXPECT_EQ(chipsim.exitStatus(), 2);
    }

    const Folder folder;
    const Bytes firmware(300, 0x5A);
    const std::string firmwarePath = folder.file("firmware.bin", firmware);
    const std::string otherName = (folder.path / "received.bin").string();
    fs::create_hard_link(firmwarePath, otherName);
    Chipsim chipsim({"--expect-image", firmwarePath, "--image-out", otherName});
    EXPECT_EQ(chipsim.exitStatus(), 2) << "the image out is the expected image under another name";
    EXPECT_EQ(contentsOf(firmwarePath), firmware);
}

TEST(OrvanneChipsim, WritesTheImageReceivedOnlyWhenItStops)
{
    const Folder folder;
    const Bytes firmware(200, 0xA5);
    const std::string firmwarePath = folder.file("firmware.bin", firmware);
    const std::string received = folder.file("received.bin", Bytes(3, 'x'));
    Chipsim chipsim({"--once", "--image-out", received, "--expect-image", firmwarePath});
    const std::string port = chipsim.port();
    ASSERT_FALSE(port.empty());
    EXPECT_EQ(contentsOf(received), Bytes(3, 'x')) << "left as it was while the chip serves";
    {
        ProgramEnd program(port);
        program.flash(firmware);
    }
    EXPECT_EQ(chipsim.exitStatus(), 0);
    EXPECT_EQ(contentsOf(received), firmware);

    const std::string nothing = (folder.path / "nothing.bin").string();
    Chipsim stoppedEarly({"--image-out", nothing});
    ASSERT_FALSE(stoppedEarly.port().empty());
    stoppedEarly.stop();
    EXPECT_EQ(stoppedEarly.exitStatus(), 0);
    EXPECT_TRUE(fs::exists(nothing));
    EXPECT_EQ(fs::file_size(nothing), 0u);
}

} // namespace
