// A pair of doubles (left, right) held in one SSE2 register, so the stereo
// filters run both channels' identical recursions with one instruction per
// operation and select values without branches. GCC/Clang vector extension;
// the arithmetic is element-wise IEEE double, so results equal those of the
// scalar formulas bit for bit.
#pragma once

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

typedef double StereoDouble __attribute__((vector_size(16)));

// Stored form of a StereoDouble: classes keep plain double pairs, which need
// no 16-byte alignment (hosts and i386 stacks do not guarantee it), and move
// them in and out of registers with unaligned loads and stores.
typedef double StereoPair[2];

inline StereoDouble Load(const StereoPair& pair)
{
    StereoDouble value;
    std::memcpy(&value, pair, sizeof value);
    return value;
}

inline void Store(StereoPair& pair, StereoDouble value)
{
    std::memcpy(pair, &value, sizeof value);
}

inline void StoreBroadcast(StereoPair& pair, double value)
{
    pair[0] = value;
    pair[1] = value;
}

inline StereoDouble Broadcast(double value)
{
    return StereoDouble{value, value};
}

// Per channel: s + dither where s is finite, 0 where it is NaN or infinite
// (s - s is 0 only for finite s).
inline StereoDouble DitherOrReset(StereoDouble s, StereoDouble dither)
{
    return (s - s == StereoDouble{}) ? s + dither : StereoDouble{};
}

// Per channel minimum and maximum of values that are not NaN: one minpd or
// maxpd instruction where SSE2 is available (GCC does not turn the vector
// comparisons into them).
inline StereoDouble Min(StereoDouble a, StereoDouble b)
{
#if defined(__SSE2__)
    return _mm_min_pd(a, b);
#else
    return a < b ? a : b;
#endif
}

inline StereoDouble Max(StereoDouble a, StereoDouble b)
{
#if defined(__SSE2__)
    return _mm_max_pd(a, b);
#else
    return a > b ? a : b;
#endif
}
