#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <span>

namespace {

// The user-interface sounds are in every binary that links the platform layer:
// natively from the embedded table, under Wine from the test's own .rsrc.
TEST(Resources, FindsTheSoundsWithTheirLengths)
{
    const auto click1 = FindModuleResource("WAVE", "click1.bin");
    const auto click2 = FindModuleResource("WAVE", "click2.bin");
    const auto scratch = FindModuleResource("WAVE", "scratch.bin");
    EXPECT_EQ(click1.size(), 2048u);
    EXPECT_EQ(click2.size(), 2048u);
    EXPECT_EQ(scratch.size(), 16384u);

    // Each name reaches its own data, which is not silence.
    const auto audible = [](std::span<const std::uint8_t> bytes) {
        return std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; });
    };
    EXPECT_TRUE(audible(click1));
    EXPECT_TRUE(audible(scratch));
    ASSERT_EQ(click1.size(), click2.size());
    EXPECT_FALSE(std::equal(click1.begin(), click1.end(), click2.begin()));

    // Two lookups give the same bytes, valid for the life of the module.
    EXPECT_EQ(FindModuleResource("WAVE", "scratch.bin").data(), scratch.data());
}

TEST(Resources, TypeAndNameIgnoreAsciiCase)
{
    const auto exact = FindModuleResource("WAVE", "click2.bin");
    const auto other = FindModuleResource("wave", "CLICK2.Bin");
    EXPECT_EQ(other.data(), exact.data());
    EXPECT_EQ(other.size(), exact.size());
}

TEST(Resources, MissingOrBadLookupsAreEmpty)
{
    EXPECT_TRUE(FindModuleResource("WAVE", "click3.bin").empty());
    EXPECT_TRUE(FindModuleResource("WAVE", "click1").empty());  // no prefix match
    EXPECT_TRUE(FindModuleResource("WAVE", "click1.bin2").empty());
    EXPECT_TRUE(FindModuleResource("INIT", "click1.bin").empty());  // right name, wrong type
    EXPECT_TRUE(FindModuleResource("WAV", "click1.bin").empty());
    EXPECT_TRUE(FindModuleResource(nullptr, "click1.bin").empty());
    EXPECT_TRUE(FindModuleResource("WAVE", nullptr).empty());
    EXPECT_TRUE(FindModuleResource("", "click1.bin").empty());
    EXPECT_TRUE(FindModuleResource("WAVE", "").empty());

    EXPECT_TRUE(FindModuleResource("PNG", 999).empty());
    EXPECT_TRUE(FindModuleResource(static_cast<const char*>(nullptr), 101).empty());
    for (const int id : {0, -1, 65536, 1 << 30}) {
        EXPECT_TRUE(FindModuleResource("PNG", id).empty()) << "id " << id;
    }
    // Named resources are not found by number, nor the other way round.
    EXPECT_TRUE(FindModuleResource("WAVE", 1).empty());
}

}  // namespace
