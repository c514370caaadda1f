// Exponential, sine, cosine and tangent computed with plain double arithmetic
// (no fused multiply-adds, SSE2 on every target), so the x86-64 and i386
// builds get the same bits. The C libraries do not agree: the i386 and x86-64
// mingw-w64 runtimes give different pow and tan results, and glibc differs
// from both. For tables and coefficients, not for the per-sample path.
// Accuracy: within a few units in the last place of the exact value.
#pragma once

#include <cstdint>

// e^x for |x| <= 700.
double ReproducibleExp(double x);

// sin x and cos x for x in -pi..pi (radians).
double ReproducibleSin(double x);
double ReproducibleCos(double x);

// tan x for x in 0..pi/2 (radians), exclusive of pi/2.
double ReproducibleTan(double x);

// Rounds to the nearest integer, halves away from zero (what lround
// promises), for |x| < 2^31, the same on every target: the mingw-w64
// runtime's lround gives 1 for 0.49999999999999994, glibc 0. x minus its
// truncation is exact, so the comparison with one half decides.
inline std::int32_t RoundHalfAway(double x)
{
    const auto whole = static_cast<std::int32_t>(x);
    const double fraction = x - static_cast<double>(whole);
    return whole + (fraction >= 0.5 ? 1 : 0) - (fraction <= -0.5 ? 1 : 0);
}
