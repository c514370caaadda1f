#include "engine/dsp/VectorLevel.h"

#include <algorithm>
#include <atomic>

namespace {

std::atomic<int> g_cap{static_cast<int>(VectorLevel::kAvx512)};

}  // namespace

VectorLevel ProcessorVectorLevel()
{
#if defined(__x86_64__) && defined(__GNUC__)
    // libgcc's flags include the operating system's consent (XGETBV) to the
    // 256-bit registers.
    static const VectorLevel level = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")
                                         ? VectorLevel::kAvx512
                                     : __builtin_cpu_supports("avx2") ? VectorLevel::kAvx2
                                     : __builtin_cpu_supports("avx")  ? VectorLevel::kAvx
                                                                      : VectorLevel::kPairs;
    return level;
#else
    return VectorLevel::kPairs;
#endif
}

VectorLevel ActiveVectorLevel()
{
    return static_cast<VectorLevel>(
        std::min(static_cast<int>(ProcessorVectorLevel()), g_cap.load(std::memory_order_relaxed)));
}

void CapVectorLevel(VectorLevel cap)
{
    g_cap.store(static_cast<int>(cap), std::memory_order_relaxed);
}
