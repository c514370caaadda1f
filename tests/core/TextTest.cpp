#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "core/NumberText.h"
#include "core/Text.h"

namespace {

TEST(Text, CopyIsBoundedAndKeepsUtf8Whole)
{
    char field[6];
    std::memset(field, 'x', sizeof(field));
    EXPECT_EQ(CopyText(field, 4, "abcdef"), 3);
    EXPECT_STREQ(field, "abc");
    EXPECT_EQ(field[4], 'x');

    // "ab" then U+00E9 (2 bytes): cutting after byte 3 would split the character.
    EXPECT_EQ(CopyText(field, 4, "ab\xC3\xA9z"), 2);
    EXPECT_STREQ(field, "ab");
    EXPECT_EQ(CopyText(field, 5, "ab\xC3\xA9z"), 4);
    EXPECT_STREQ(field, "ab\xC3\xA9");

    EXPECT_EQ(CopyText(field, 6, nullptr), 0);
    EXPECT_STREQ(field, "");
    EXPECT_EQ(CopyText(nullptr, 6, "abc"), 0);

    // An unterminated source of known length.
    const char raw[3] = {'x', 'y', 'z'};
    EXPECT_EQ(CopyText(field, 6, raw, 3), 3);
    EXPECT_STREQ(field, "xyz");

    EXPECT_EQ(BoundedLength("abcdef", 3), 3u);
    EXPECT_EQ(BoundedLength(nullptr, 3), 0u);

    char lower[] = "Native INSTRUMENTS \xC3\x89";
    LowerAscii(lower);
    EXPECT_STREQ(lower, "native instruments \xC3\x89");
}

TEST(NumberText, ParsesAsTheCLibraryInTheCLocale)
{
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"1.5", 1.5},   {"  -2.25dB", -2.25}, {"+3", 3.0},    {"abc", 0.0},    {"", 0.0},    {"1e3", 1000.0},
        {".5", 0.5},    {"5.", 5.0},          {"0x10", 16.0}, {"--1", 0.0},    {"+-1", 0.0}, {"1,5", 1.0},
        {"\t\n7", 7.0}, {"0x", 0.0},          {"1e", 1.0},    {"1e-400", 0.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseLeadingNumber(c.text), c.value) << '"' << c.text << '"';
    }
    EXPECT_EQ(ParseLeadingNumber(nullptr), 0.0);
    EXPECT_TRUE(std::isinf(ParseLeadingNumber("1e400")));
    EXPECT_TRUE(std::isinf(ParseLeadingNumber("-inf")));
    EXPECT_TRUE(std::isnan(ParseLeadingNumber("nan")));
}

TEST(NumberText, FormatsWithAPoint)
{
    char text[32];
    FormatFixed(1234.5678, 2, text, sizeof(text));
    EXPECT_STREQ(text, "1234.57");
    FormatFixed(-0.001, 2, text, sizeof(text));
    EXPECT_STREQ(text, "-0.00");
    FormatTruncatedInteger(-7.9, text, sizeof(text));
    EXPECT_STREQ(text, "-7");
    FormatTruncatedInteger(-1e12, text, sizeof(text));
    EXPECT_STREQ(text, "-2147483648");
}

}  // namespace
