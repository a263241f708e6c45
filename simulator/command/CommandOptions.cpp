#include "simulator/command/CommandOptions.h"

#include <getopt.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

using Mode = ChipBehaviour::Mode;

constexpr const char* kCommand = "orvanne-chipsim";
constexpr unsigned long kLastBlock = std::numeric_limits<std::uint16_t>::max();
constexpr unsigned long kLongestReplyDelayMs = 600000;
constexpr unsigned long kLargestSeed = std::numeric_limits<std::uint32_t>::max();
constexpr unsigned long kSlowestWire = 50;
constexpr unsigned long kFastestWire = 4000000;
constexpr unsigned long kLongestWriteMs = 60000;

// Long options only; their ids lie above every character getopt_long returns.
enum OptionId
{
    ModeId = 256,
    HangUpAfterId,
    AtBlockId,
    SplitAtId,
    BannerId,
    ReplyDelayId,
    SeedId,
    WireBaudId,
    WriteMsId,
    BusyDropId,
    AckBeforeWriteId,
    ExpectPausesId,
    OnceId,
    ImageOutId,
    ExpectImageId,
    HelpId,
};

const option kOptions[] = {
    {"mode", required_argument, nullptr, ModeId},
    {"hang-up-after", required_argument, nullptr, HangUpAfterId},
    {"at-block", required_argument, nullptr, AtBlockId},
    {"split-at", required_argument, nullptr, SplitAtId},
    {"banner", required_argument, nullptr, BannerId},
    {"reply-delay-ms", required_argument, nullptr, ReplyDelayId},
    {"seed", required_argument, nullptr, SeedId},
    {"wire-baud", required_argument, nullptr, WireBaudId},
    {"write-ms", required_argument, nullptr, WriteMsId},
    {"busy-drop", no_argument, nullptr, BusyDropId},
    {"ack-before-write", no_argument, nullptr, AckBeforeWriteId},
    {"expect-protocol-pauses", no_argument, nullptr, ExpectPausesId},
    {"once", no_argument, nullptr, OnceId},
    {"image-out", required_argument, nullptr, ImageOutId},
    {"expect-image", required_argument, nullptr, ExpectImageId},
    {"help", no_argument, nullptr, HelpId},
    {nullptr, 0, nullptr, 0},
};

struct ModeName
{
    const char* name;
    Mode mode;
};

const ModeName kModeNames[] = {
    {"normal", Mode::Normal},   {"silent", Mode::Silent},          {"hang-up", Mode::HangUp},
    {"split", Mode::Split},     {"banner", Mode::Banner},          {"slow", Mode::Slow},
    {"restart", Mode::Restart}, {"wrong-reply", Mode::WrongReply}, {"noise", Mode::Noise},
};

void printHelp()
{
    const ChipBehaviour defaults;
    std::printf(
        "Usage: %s [OPTION]...\n"
        "Plays the bootloader of an RQ51x chip on a pseudo-terminal, so that Orvanne\n"
        "Flasher (or any program) can flash it without hardware. Prints the path of the\n"
        "port to open as the first line of standard output, then serves until Ctrl-C or\n"
        "SIGTERM. Every frame is checked (form, CRC, block order, place in the dialogue);\n"
        "the first one that breaks the protocol ends all answers.\n"
        "\n"
        "  --mode MODE         how the chip answers (default normal):\n"
        "      normal          a sound bootloader\n"
        "      silent          never answers\n"
        "      hang-up         closes the line once block N has come (--hang-up-after)\n"
        "      split           every answer in two writes %lld ms apart, the first of N\n"
        "                      bytes (--split-at; at most all but the last byte)\n"
        "      banner          writes its boot text when a program opens the port (--banner)\n"
        "      slow            every answer after a delay (--reply-delay-ms)\n"
        "      restart         answers block N once with boot-ready 55 66 32 02 05 00; the\n"
        "                      program then sends the image again from block 1 (--at-block)\n"
        "      wrong-reply     answers block N once with 55 66 35 instead of 55 66 33\n"
        "                      (--at-block)\n"
        "      noise           1 to 16 random bytes, never 0x55, after every answer (--seed)\n"
        "  --hang-up-after N   the block after which hang-up closes the line (default %u)\n"
        "  --at-block N        the block restart or wrong-reply answers wrongly (default %u)\n"
        "  --split-at N        bytes in the first write of split (default %zu)\n"
        "  --banner TEXT       the boot text of banner (default \"Boot-loader ver 2.5!\" with\n"
        "                      CR LF); in bash, $'...\\r\\n' gives line ends\n"
        "  --reply-delay-ms N  the delay of slow, in milliseconds (default %lld)\n"
        "  --seed N            the seed of noise; the same seed gives the same bytes\n"
        "                      (default %lu)\n"
        "\n"
        "The chip's hardware, with any mode:\n"
        "  --wire-baud N       bytes take the time of a serial line at N baud (%lu to\n"
        "                      %lu), 10 bits a byte as 8N1 sends them, both ways: a\n"
        "                      frame is taken when its last byte is in (a 265-byte block\n"
        "                      about 23 ms after its first at 115200), and answers leave\n"
        "                      byte by byte. Default: no wire, bytes pass at once\n"
        "  --write-ms N        writing a block takes N ms (0 to %lu), from when its frame\n"
        "                      is in; the chip answers after it and takes no frame\n"
        "                      meanwhile (default 0)\n"
        "  --busy-drop         bytes that come while a block is being written are lost;\n"
        "                      the first one lost ends all answers, as a frame cut short\n"
        "                      would (needs --write-ms)\n"
        "  --ack-before-write  answer a block first, then write it (needs --write-ms)\n"
        "  --expect-protocol-pauses\n"
        "                      a frame that comes sooner than the pause the program has\n"
        "                      to keep after what came before it (5, 100, 300 or 1000 ms,\n"
        "                      from when that was written; 2 ms of slack) breaks the\n"
        "                      protocol\n"
        "\n"
        "Running:\n"
        "  --once              stop after one run: once 55 66 35 has been written (the\n"
        "                      exit from boot mode, or the wrong reply of wrong-reply),\n"
        "                      the program broke the protocol, or the chip hung up\n"
        "  --image-out FILE    on stopping, write the image received to FILE (a new file\n"
        "                      put in place whole; never the file of --expect-image)\n"
        "  --expect-image FILE the image the program is to flash: on stopping, say\n"
        "                      whether the image received is the same\n"
        "  --help              show this help and exit\n"
        "\n"
        "On stopping it prints one line: the frames and blocks received, the protocol\n"
        "error, if any, and the bytes lost with --busy-drop or the comparison with\n"
        "--expect-image. Exit status: 0 after a clean serve, 1 if the program broke the\n"
        "protocol or the image received is not the one expected, 2 if it could not\n"
        "serve as asked (a bad option or value, no pseudo-terminal, an image file that\n"
        "cannot be read or written).\n",
        kCommand, static_cast<long long>(defaults.splitGap.count()), unsigned{defaults.atBlock},
        unsigned{defaults.atBlock}, defaults.splitAt, static_cast<long long>(defaults.replyDelay.count()),
        static_cast<unsigned long>(defaults.noiseSeed), kSlowestWire, kFastestWire, kLongestWriteMs);
}

CommandLineOutcome refuse(const std::string& what)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for the options.\n", kCommand, what.c_str(), kCommand);
    return CommandLineOutcome::Refused;
}

// Only plain decimal digits: strtoul alone would take "-1", " 5" and "0x10".
bool readNumber(const char* text, unsigned long least, unsigned long most, unsigned long& number)
{
    if (!std::isdigit(static_cast<unsigned char>(text[0])))
        return false;
    char* end = nullptr;
    errno = 0;
    number = std::strtoul(text, &end, 10);
    return errno == 0 && *end == '\0' && number >= least && number <= most;
}

bool readMode(const char* text, Mode& mode)
{
    for (const ModeName& entry : kModeNames) {
        if (std::strcmp(text, entry.name) == 0) {
            mode = entry.mode;
            return true;
        }
    }
    return false;
}

const char* nameOf(Mode mode)
{
    for (const ModeName& entry : kModeNames) {
        if (entry.mode == mode)
            return entry.name;
    }
    return "";
}

const char* nameOf(int optionId)
{
    for (const option& entry : kOptions) {
        if (entry.val == optionId)
            return entry.name;
    }
    return "";
}

// An option that the chosen mode does not read would be ignored without a
// word; it is refused instead.
bool fitsMode(int optionId, Mode mode)
{
    switch (optionId) {
    case HangUpAfterId: return mode == Mode::HangUp;
    case AtBlockId: return mode == Mode::Restart || mode == Mode::WrongReply;
    case SplitAtId: return mode == Mode::Split;
    case BannerId: return mode == Mode::Banner;
    case ReplyDelayId: return mode == Mode::Slow;
    case SeedId: return mode == Mode::Noise;
    // A silent chip follows no dialogue: it writes no block and checks no pause.
    case WriteMsId:
    case BusyDropId:
    case AckBeforeWriteId:
    case ExpectPausesId: return mode != Mode::Silent;
    default: return true;
    }
}

// Takes one option with its value into `options`; returns what is wrong with
// the value, or an empty text.
std::string apply(int id, const std::string& value, CommandOptions& options)
{
    ChipBehaviour& behaviour = options.behaviour;
    unsigned long number = 0;
    const auto badNumber = [&](unsigned long least, unsigned long most) -> std::string {
        if (readNumber(value.c_str(), least, most, number))
            return {};
        return "bad value '" + value + "' for --" + nameOf(id) + ": a whole number from " + std::to_string(least)
               + " to " + std::to_string(most) + " is needed";
    };
    std::string problem;
    switch (id) {
    case ModeId:
        if (!readMode(value.c_str(), behaviour.mode))
            problem = "unknown mode '" + value + "'; --help lists the modes";
        break;
    case HangUpAfterId:
    case AtBlockId:
        if ((problem = badNumber(1, kLastBlock)).empty())
            behaviour.atBlock = static_cast<std::uint16_t>(number);
        break;
    case SplitAtId:
        if ((problem = badNumber(1, kLastBlock)).empty())
            behaviour.splitAt = number;
        break;
    case ReplyDelayId:
        if ((problem = badNumber(0, kLongestReplyDelayMs)).empty())
            behaviour.replyDelay = std::chrono::milliseconds(number);
        break;
    case SeedId:
        if ((problem = badNumber(0, kLargestSeed)).empty())
            behaviour.noiseSeed = static_cast<std::uint32_t>(number);
        break;
    case WireBaudId:
        if ((problem = badNumber(kSlowestWire, kFastestWire)).empty())
            behaviour.wireBaud = static_cast<std::uint32_t>(number);
        break;
    case WriteMsId:
        if ((problem = badNumber(0, kLongestWriteMs)).empty())
            behaviour.writeTime = std::chrono::milliseconds(number);
        break;
    case BusyDropId: behaviour.busyDrop = true; break;
    case AckBeforeWriteId: behaviour.ackBeforeWrite = true; break;
    case ExpectPausesId: behaviour.expectProtocolPauses = true; break;
    case BannerId: behaviour.banner = value; break;
    case ImageOutId: options.imageOut = value; break;
    case ExpectImageId: options.expectImage = value; break;
    case OnceId: options.once = true; break;
    }
    return problem;
}

} // namespace

CommandLineOutcome parseCommandLine(int argc, char* argv[], CommandOptions& options)
{
    std::vector<int> given;
    int id;
    while ((id = getopt_long(argc, argv, "", kOptions, nullptr)) != -1) {
        if (id == HelpId) {
            printHelp();
            return CommandLineOutcome::HelpShown;
        }
        if (id == '?') { // getopt_long has said what is wrong
            std::fprintf(stderr, "Try '%s --help' for the options.\n", kCommand);
            return CommandLineOutcome::Refused;
        }
        const std::string problem = apply(id, optarg != nullptr ? optarg : "", options);
        if (!problem.empty())
            return refuse(problem);
        given.push_back(id);
    }
    if (optind < argc)
        return refuse(std::string("unexpected argument '") + argv[optind] + "'");
    const Mode mode = options.behaviour.mode;
    for (const int option : given) {
        if (!fitsMode(option, mode))
            return refuse(std::string("--") + nameOf(option) + " does not apply to --mode " + nameOf(mode));
        if ((option == BusyDropId || option == AckBeforeWriteId) && options.behaviour.writeTime.count() == 0)
            return refuse(std::string("--") + nameOf(option) + " needs a write time: --write-ms 1 or more");
    }
    return CommandLineOutcome::Serve;
}
