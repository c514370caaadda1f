#include "core/StateChunk.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

TEST(StateChunk, ReadsStayInsideTheChunk)
{
    StateChunk chunk;
    chunk.PutValue(std::int32_t{7});
    chunk.PutValue(2.5);
    ASSERT_EQ(chunk.Size(), 12);

    std::int32_t i = 0;
    double d = 0.0;
    EXPECT_EQ(chunk.GetValue(i, 0), 4);
    EXPECT_EQ(i, 7);
    EXPECT_EQ(chunk.GetValue(d, 4), 12);
    EXPECT_EQ(d, 2.5);

    d = -1.0;
    EXPECT_EQ(chunk.GetValue(d, 5), -1) << "one byte short";
    EXPECT_EQ(d, -1.0) << "a failed read leaves the target";
    EXPECT_EQ(chunk.GetValue(d, -1), -1);
    EXPECT_EQ(chunk.GetValue(d, INT_MAX - 2), -1) << "no wrap-around of position + count";
    EXPECT_EQ(chunk.Get(&d, -8, 8), -1);
}

TEST(StateChunk, StringsRoundTripAndFailCleanly)
{
    StateChunk chunk;
    EXPECT_EQ(chunk.PutString("Organ"), 9);
    EXPECT_EQ(chunk.PutString(""), 13);
    EXPECT_EQ(chunk.PutString(nullptr), 17);

    char text[16] = "unchanged";
    EXPECT_EQ(chunk.GetString(text, sizeof(text), 0), 9);
    EXPECT_STREQ(text, "Organ");
    EXPECT_EQ(chunk.GetString(text, sizeof(text), 9), 13);
    EXPECT_STREQ(text, "");

    char small[4];
    EXPECT_EQ(chunk.GetString(small, sizeof(small), 0), 9) << "a long name is cut, the position is not";
    EXPECT_STREQ(small, "Org");

    // A length that runs past the end, a negative length and a huge length.
    for (std::int32_t length : {100, -5, INT_MAX}) {
        StateChunk bad;
        bad.PutValue(length);
        bad.Put("abc", 3);
        std::strcpy(text, "unchanged");
        EXPECT_EQ(bad.GetString(text, sizeof(text), 0), -1) << "length " << length;
        EXPECT_STREQ(text, "unchanged");
    }
    EXPECT_EQ(chunk.GetString(text, sizeof(text), 15), -1) << "length field cut off";
}

TEST(StateChunk, VersionMarker)
{
    StateChunk chunk;
    BeginVersionedChunk(chunk);
    ASSERT_EQ(chunk.Size(), 8);
    EXPECT_EQ(std::memcmp(chunk.Data(), "tffp", 4), 0) << "the marker's bytes as stored";
    int position = 0;
    EXPECT_EQ(ReadChunkVersion(chunk, position), 0x10000);
    EXPECT_EQ(position, 8);

    StateChunk cut;
    cut.Put("tffp\x01", 5);
    position = 0;
    EXPECT_EQ(ReadChunkVersion(cut, position), 0);
    EXPECT_EQ(position, -1);

    StateChunk none;
    none.Put("abcdefgh", 8);
    position = 0;
    EXPECT_EQ(ReadChunkVersion(none, position), 0);
    EXPECT_EQ(position, 0);
    position = -1;
    EXPECT_EQ(ReadChunkVersion(chunk, position), 0);
    EXPECT_EQ(position, -1);
}

TEST(StateChunk, SizeLimits)
{
    StateChunk chunk;
    chunk.Put("ab", 2);
    EXPECT_TRUE(chunk.Resize(4));
    EXPECT_EQ(chunk.Size(), 4);
    EXPECT_EQ(chunk.Data()[0], 'a');
    EXPECT_EQ(chunk.Data()[3], 0);
    EXPECT_FALSE(chunk.Resize(-1));
    EXPECT_FALSE(chunk.Resize(StateChunk::kMaxSize + 1));
    EXPECT_FALSE(chunk.Assign(nullptr, 3));
    EXPECT_EQ(chunk.Size(), 4) << "failed resizes leave the chunk";
}

}  // namespace
