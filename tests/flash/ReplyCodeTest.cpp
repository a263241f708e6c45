#include "flash/ReplyCode.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Each chunk lives in a heap block of exactly its size, so that the sanitizer
// build catches any read past its end.
std::vector<char> chunk(std::initializer_list<unsigned char> bytes)
{
    return std::vector<char>(bytes.begin(), bytes.end());
}

std::vector<char> chunk(const std::string& text)
{
    return std::vector<char>(text.begin(), text.end());
}

ReplyCode classify(const std::vector<char>& bytes)
{
    return classifyReply(bytes.data(), static_cast<int>(bytes.size()));
}

QString displayed(const std::vector<char>& bytes)
{
    return replyDisplayText(bytes.data(), static_cast<int>(bytes.size()));
}

} // namespace

TEST(ReplyCode, HexTextGivesFiveUpperCaseCharactersPerByte)
{
    const std::vector<char> bytes = chunk({0x55, 0x66, 0x32, 0x00, 0xAB, 0xFF});
    EXPECT_EQ(toHexText(bytes.data(), 3), "0x55 0x66 0x32 ");
    EXPECT_EQ(toHexText(bytes.data(), 6), "0x55 0x66 0x32 0x00 0xAB 0xFF ");
    EXPECT_EQ(toHexText(bytes.data(), 0), "");
    EXPECT_EQ(toHexText(bytes.data(), -1), "");
}

TEST(ReplyCode, ClassifiesOnlyAnAcknowledgementAtTheStartOfTheChunk)
{
    std::vector<char> longReply = chunk({0x55, 0x66, 0x33});
    longReply.resize(4096, '\x7F');
    const std::pair<std::vector<char>, ReplyCode> cases[] = {
        {chunk({0x55, 0x66, 0x32, 0x00, 0x01, 0x00}), BootReady},
        {chunk({0x55, 0x66, 0x32, 0xAA, 0xBB, 0x00, 0x33}), BootReady},
        {chunk({0x55, 0x66, 0x32, 0x00, 0x01, 0xAA}), Unrecognised},
        // Too short to hold the sixth byte.
        {chunk({0x55, 0x66, 0x32}), Unrecognised},
        {chunk({0x55, 0x66, 0x32, 0x00}), Unrecognised},
        {chunk({0x55, 0x66, 0x32, 0x00, 0x01}), Unrecognised},
        {chunk({0x55, 0x66, 0x33}), BlockWritten},
        {chunk({0x55, 0x66, 0x34}), TransferEnded},
        {chunk({0x55, 0x66, 0x35}), BootExited},
        {chunk({0x55, 0x66, 0x36}), FactoryResetDone},
        {longReply, BlockWritten},
        {chunk({0x55, 0x66, 0x33, 0x55, 0x66, 0x33}), BlockWritten},
        {chunk({0x55, 0x66, 0x37}), Unrecognised},
        {chunk({0x55, 0x66, 0x31, 0x00, 0x01, 0x00}), Unrecognised},
        {chunk({0x00, 0x55, 0x66, 0x33}), Unrecognised},
        {chunk({0x55, 0x66}), Unrecognised},
        {chunk({0x55}), Unrecognised},
        {chunk({0x33}), Unrecognised},
        {std::vector<char>(), Unrecognised},
    };
    for (const auto& [bytes, code] : cases)
        EXPECT_EQ(classify(bytes), code) << toHexText(bytes.data(), static_cast<int>(bytes.size()));
}

TEST(ReplyCode, DisplayKeepsOnlyTheFilteredAsciiCharacters)
{
    std::string everyAscii;
    for (int c = 0; c < 0x80; ++c)
        everyAscii += static_cast<char>(c);

    EXPECT_EQ(displayed(chunk(everyAscii)),
              QStringLiteral("\t\n\v\f\r -./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`az"));
}

TEST(ReplyCode, DisplayDropsEveryNonAsciiByte)
{
    std::string high;
    for (int c = 0x80; c < 0x100; ++c)
        high += static_cast<char>(c);

    EXPECT_EQ(displayed(chunk(high)), QString());
    EXPECT_EQ(displayed(chunk("Z\xC3\xA9Z")), QStringLiteral("ZZ"));
}

TEST(ReplyCode, DisplayDecodesEveryByteOfTheChunk)
{
    EXPECT_EQ(displayed(chunk(std::string("A\0B\0", 4))), QStringLiteral("AB"));
    EXPECT_EQ(displayed(chunk({0x55, 0x66, 0x37})), QStringLiteral("U7"));
    EXPECT_EQ(displayed(chunk("Boot-loader ver 2.5!")), QStringLiteral("B-a  2.5"));
    EXPECT_EQ(replyDisplayText(nullptr, 0), QString());
}
