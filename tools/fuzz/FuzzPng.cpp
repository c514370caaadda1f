// The PNG decoder: any bytes give a bitmap of the declared size or nothing,
// never a read outside the input or a leak.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/PngImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An exact-size copy, so that ASan sees any read past the end.
    const std::vector<std::uint8_t> copy(data, data + size);
    const std::unique_ptr<PixMemBitmap> bitmap = DecodePngMemory(copy.data(), copy.size());
    if (bitmap) {
        if (bitmap->Width() <= 0 || bitmap->Height() <= 0 || bitmap->Bits() == nullptr) {
            __builtin_trap();
        }
        // Every pixel is readable.
        std::uint32_t sum = 0;
        for (int y = 0; y < bitmap->Height(); ++y) {
            for (int x = 0; x < bitmap->Width(); ++x) {
                sum += bitmap->Row(y)[x];
            }
        }
        volatile std::uint32_t keep = sum;
        (void)keep;
    }
    return 0;
}
