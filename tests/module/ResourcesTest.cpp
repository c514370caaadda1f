// The module file carries the sixteen panel images: PNG streams whose header
// gives each image's size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include "tests/module/ModuleHost.h"

namespace {

std::uint32_t BigEndian(const unsigned char* p)
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

TEST(ModuleResources, EveryPanelImageIsInTheModuleWithItsSize)
{
    std::ifstream file(ModulePath(), std::ios::binary);
    ASSERT_TRUE(file) << ModulePath();
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                           std::istreambuf_iterator<char>());
    // Every PNG stream: the signature, then the IHDR chunk with width and
    // height.
    const unsigned char signature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A,
                                       0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sizes;
    for (auto at = bytes.begin();
         (at = std::search(at, bytes.end(), std::begin(signature), std::end(signature))) != bytes.end();
         ++at) {
        if (bytes.end() - at >= 26) {
            const unsigned char* header = &*at + 16;
            // 8-bit RGBA, not interlaced.
            EXPECT_EQ(header[8], 8);
            EXPECT_EQ(header[9], 6);
            EXPECT_EQ(header[12], 0);
            sizes.emplace_back(BigEndian(header), BigEndian(header + 4));
        }
    }
    const std::pair<std::uint32_t, std::uint32_t> expected[] = {
        {1100, 512}, {1100, 200}, {28, 48}, {32, 2080}, {40, 2600}, {24, 1560}, {20, 40}, {40, 200},
        {9, 42},     {50, 44},    {50, 44}, {50, 44},   {22, 44},   {22, 44},   {65, 32}, {133, 166}};
    EXPECT_EQ(sizes.size(), std::size(expected)) << "sixteen images, no more";
    for (const auto& size : expected) {
        EXPECT_NE(std::find(sizes.begin(), sizes.end(), size), sizes.end())
            << size.first << " x " << size.second;
    }
}

}  // namespace
