#include "flash/ReplyAssembler.h"

#include "FlashTestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Each chunk lives in a heap block of exactly its size, so that the sanitizer
// build catches any read past its end.
ReplyCode classify(const std::string& bytes)
{
    const std::vector<char> chunk(bytes.begin(), bytes.end());
    return classifyReply(chunk.data(), static_cast<int>(chunk.size()));
}

QString displayed(const std::string& bytes)
{
    return replyDisplayText(bytes.data(), static_cast<int>(bytes.size()));
}

} // namespace

TEST(ReplyCode, OnlyAnAcknowledgementAtTheStartOfTheChunkCounts)
{
    const std::pair<std::string, ReplyCode> cases[] = {
        {kBootReady, ReplyCode::BootReady},
        {std::string("\x55\x66\x32\xAA\xBB\x00\x33", 7), ReplyCode::BootReady},
        {std::string("\x55\x66\x32\x00\x01\xAA", 6), ReplyCode::Unrecognised},
        {std::string("\x55\x66\x32\x00\x01", 5), ReplyCode::Unrecognised}, // no sixth byte
        {kBlockWritten + std::string(4093, '\x7F'), ReplyCode::BlockWritten},
        {kBlockWritten + kBlockWritten, ReplyCode::BlockWritten},
        {"\x55\x66\x34", ReplyCode::TransferEnded},
        {kBootExited, ReplyCode::BootExited},
        {"\x55\x66\x36", ReplyCode::FactoryResetDone},
        {"\x55\x66\x37", ReplyCode::Unrecognised},
        {std::string("\x00\x55\x66\x33", 4), ReplyCode::Unrecognised},
        {"\x55\x66", ReplyCode::Unrecognised},
        {"", ReplyCode::Unrecognised},
    };
    for (const auto& [bytes, code] : cases)
        EXPECT_EQ(classify(bytes), code) << testing::PrintToString(bytes);
}

TEST(ReplyCode, DisplayKeepsOnlyWhatTheFilterLetsThrough)
{
    std::string everyByte;
    for (int c = 0; c < 0x100; ++c)
        everyByte += static_cast<char>(c);
    EXPECT_EQ(displayed(everyByte),
              QStringLiteral("\t\n\v\f\r -./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`az"));
    EXPECT_EQ(displayed("Boot-loader ver 2.5!"), QStringLiteral("B-a  2.5"));
    EXPECT_EQ(displayed(std::string("A\0B", 3)), QStringLiteral("AB")) << "every byte is decoded";
}

// Whatever reads the stream arrives in, the same replies come out of it.
TEST(ReplyAssembler, GivesTheSameRepliesForEverySplitOfTheStream)
{
    const std::string banner = "Boot-loader ver 2.5!\r\n";
    const std::string stream = banner + kBootReady + kBlockWritten + kBlockWritten + kBootExited;
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        ReplyAssembler assembler;
        std::vector<ReplyAssembler::Piece> pieces = assembler.take(stream.data(), static_cast<int>(cut));
        for (ReplyAssembler::Piece& piece : assembler.take(stream.data() + cut, static_cast<int>(stream.size() - cut)))
            pieces.push_back(std::move(piece));
        std::vector<ReplyCode> codes;
        for (const ReplyAssembler::Piece& piece : pieces)
            if (piece.code != ReplyCode::Unrecognised)
                codes.push_back(piece.code);
        EXPECT_EQ(codes, (std::vector<ReplyCode>{ReplyCode::BootReady, ReplyCode::BlockWritten,
                                                 ReplyCode::BlockWritten, ReplyCode::BootExited}))
            << "cut at " << cut;
        EXPECT_FALSE(assembler.holdsPrefix());
    }
}

// An unfinished reply waits for its rest (the dialogue's own test gives it
// up); bytes that cannot begin a reply are shown at once, even a lone 0x55
// inside text.
TEST(ReplyAssembler, ShowsTextThatCannotBeginAReplyAtOnce)
{
    ReplyAssembler assembler;
    const std::vector<ReplyAssembler::Piece> text = assembler.take("USB 2.0", 7);
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].bytes, "USB 2.0");
}
