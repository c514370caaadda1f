#include "engine/dsp/WaveTables.h"

#include <array>
#include <cmath>

namespace {

// Sine and cosine come from fixed Taylor polynomials rather than the C
// library, whose last bit differs between runtimes: the tables must hold the
// same bits in the x86-64 and i386 modules and in the native test build.
constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kQuarterPi = 0.7853981633974483;

// sin(x) for 0 <= x <= pi/4; the first omitted term is below 1e-19.
double SinSmall(double x)
{
    const double x2 = x * x;
    double sum = 1.0 / 355687428096000.0;  // 1/17!
    sum = sum * -x2 + 1.0 / 1307674368000.0;
    sum = sum * -x2 + 1.0 / 6227020800.0;
    sum = sum * -x2 + 1.0 / 39916800.0;
    sum = sum * -x2 + 1.0 / 362880.0;
    sum = sum * -x2 + 1.0 / 5040.0;
    sum = sum * -x2 + 1.0 / 120.0;
    sum = sum * -x2 + 1.0 / 6.0;
    sum = sum * -x2 + 1.0;
    return sum * x;
}

// cos(x) for 0 <= x <= pi/4.
double CosSmall(double x)
{
    const double x2 = x * x;
    double sum = 1.0 / 6402373705728000.0;  // 1/18!
    sum = sum * -x2 + 1.0 / 20922789888000.0;
    sum = sum * -x2 + 1.0 / 87178291200.0;
    sum = sum * -x2 + 1.0 / 479001600.0;
    sum = sum * -x2 + 1.0 / 3628800.0;
    sum = sum * -x2 + 1.0 / 40320.0;
    sum = sum * -x2 + 1.0 / 720.0;
    sum = sum * -x2 + 1.0 / 24.0;
    sum = sum * -x2 + 0.5;
    return sum * -x2 + 1.0;
}

// cos(x) for 0 <= x <= pi/2.
double CosQuadrant(double x)
{
    return x <= kQuarterPi ? CosSmall(x) : SinSmall(kHalfPi - x);
}

// sin(2 pi i / 4096) for i = 0..4095, exactly odd and symmetric about the
// quarter points, so that table entries k*l mod 4096 give the harmonics.
std::array<double, WaveTables::kLength> BuildSineTable()
{
    constexpr int kQuarter = WaveTables::kLength / 4;
    std::array<double, kQuarter + 1> quadrant{};
    for (int i = 0; i <= kQuarter; ++i) {
        quadrant[i] =
            i <= kQuarter / 2 ? SinSmall(i * kPi / 2048.0) : CosSmall((kQuarter - i) * kPi / 2048.0);
    }
    std::array<double, WaveTables::kLength> sine{};
    for (int i = 0; i < WaveTables::kLength; ++i) {
        if (i <= kQuarter) {
            sine[i] = quadrant[i];
        } else if (i <= 2 * kQuarter) {
            sine[i] = quadrant[2 * kQuarter - i];
        } else if (i <= 3 * kQuarter) {
            sine[i] = -quadrant[i - 2 * kQuarter];
        } else {
            sine[i] = -quadrant[4 * kQuarter - i];
        }
    }
    return sine;
}

}  // namespace

int WaveTables::HarmonicCount(int level)
{
    double power = 1.0;
    for (int i = 0; i < level; ++i) {
        power *= 1.4142135623730951;
    }
    return static_cast<int>(std::floor(2048.0 / power + 0.5));
}

const WaveTables& WaveTables::Get()
{
    // A static object (about 1.4 MB, in zero-initialised storage) rather than
    // a never-freed heap block: hosts that scan plug-ins load and unload the
    // module many times, and each unload must give the memory back. Hosts
    // close every instance before unloading, so no render outlives it. The
    // static's initialisation is thread-safe.
    static const WaveTables tables;
    return tables;
}

WaveTables::WaveTables()
{
    const std::array<double, kLength> sine = BuildSineTable();
    std::array<double, kLength / 2 + 1> amplitude{};
    for (int level = 0; level < kLevelCount; ++level) {
        const int harmonics = HarmonicCount(level);
        // Harmonic k has amplitude 0.5/k, the upper ones tapered by a quarter
        // cosine from 1 down to 0.54 to soften the band edge's ringing.
        amplitude[1] = 0.5;
        for (int k = 2; k <= harmonics; ++k) {
            const double taper = 0.54 + 0.46 * CosQuadrant((k - 1) * kHalfPi / (harmonics - 1));
            amplitude[k] = taper * (0.5 / k);
        }
        double* table = m_samples[level];
        for (int l = 0; l < kLength; ++l) {
            double sum = 0.0;
            for (int k = 1; k <= harmonics; ++k) {
                sum += amplitude[k] * sine[(k * l) & kLengthMask];
            }
            table[2 * l] = sum;
        }
        // The square is the difference of the saw and the saw half a cycle on.
        for (int l = 0; l < kLength; ++l) {
            table[2 * l + 1] = (table[2 * l] - table[2 * ((l + kLength / 2) & kLengthMask)]) * 0.5;
        }
    }
}
