#include "engine/dsp/ReproducibleMath.h"

#include <cmath>

namespace {

// 1/n! for n = 0..19.
constexpr double kInverseFactorial[20] = {
    1.0,
    1.0,
    0.5,
    0.16666666666666666,
    0.041666666666666664,
    0.008333333333333333,
    0.001388888888888889,
    0.0001984126984126984,
    2.48015873015873e-05,
    2.7557319223985893e-06,
    2.755731922398589e-07,
    2.505210838544172e-08,
    2.08767569878681e-09,
    1.6059043836821613e-10,
    1.1470745597729725e-11,
    7.647163731819816e-13,
    4.779477332387385e-14,
    2.8114572543455206e-15,
    1.5619206968586225e-16,
    8.22063524662433e-18,
};

// ln 2 split so that k * kLn2High is exact for |k| < 2^20.
constexpr double kLn2High = 6.93147180369123816490e-01;
constexpr double kLn2Low = 1.90821492927058770002e-10;
constexpr double kInverseLn2 = 1.4426950408889634;

// pi and pi/2 as a double plus the remainder.
constexpr double kPiHigh = 3.141592653589793;
constexpr double kPiLow = 1.2246467991473531772e-16;
constexpr double kHalfPiHigh = 1.5707963267948966;
constexpr double kHalfPiLow = 6.1232339957367658861e-17;
constexpr double kQuarterPi = 0.78539816339744830962;
constexpr double kThreeQuarterPi = 2.35619449019234492885;

// Taylor series on |r| <= pi/4; the first omitted terms are below 1e-21.
double SinSeries(double r)
{
    const double r2 = r * r;
    double p = -kInverseFactorial[19];
    for (int n = 17; n >= 3; n -= 2) {
        p = p * r2 + ((n / 2) % 2 == 0 ? kInverseFactorial[n] : -kInverseFactorial[n]);
    }
    return r + r * r2 * p;
}

double CosSeries(double r)
{
    const double r2 = r * r;
    double p = -kInverseFactorial[18];
    for (int n = 16; n >= 4; n -= 2) {
        p = p * r2 + ((n / 2) % 2 == 0 ? kInverseFactorial[n] : -kInverseFactorial[n]);
    }
    return (1.0 - 0.5 * r2) + r2 * r2 * p;
}

}  // namespace

double ReproducibleExp(double x)
{
    if (!(std::fabs(x) <= 700.0)) {
        return std::exp(x);
    }
    const double k = std::floor(x * kInverseLn2 + 0.5);
    const double r = (x - k * kLn2High) - k * kLn2Low;
    double p = kInverseFactorial[14];
    for (int n = 13; n >= 0; --n) {
        p = p * r + kInverseFactorial[n];
    }
    // Scaling by a power of two is exact.
    return std::ldexp(p, static_cast<int>(k));
}

double ReproducibleSin(double x)
{
    const double a = std::fabs(x);
    double s;
    if (a <= kQuarterPi) {
        s = SinSeries(a);
    } else if (a <= kThreeQuarterPi) {
        // kHalfPiHigh - a is exact here (the operands are within a factor 2).
        s = CosSeries((kHalfPiHigh - a) + kHalfPiLow);
    } else if (a <= kPiHigh) {
        s = SinSeries((kPiHigh - a) + kPiLow);
    } else {
        return std::sin(x);
    }
    return x < 0.0 ? -s : s;
}

double ReproducibleCos(double x)
{
    const double a = std::fabs(x);
    if (a <= kQuarterPi) {
        return CosSeries(a);
    }
    if (a <= kThreeQuarterPi) {
        return SinSeries((kHalfPiHigh - a) + kHalfPiLow);
    }
    if (a <= kPiHigh) {
        return -CosSeries((kPiHigh - a) + kPiLow);
    }
    return std::cos(x);
}

double ReproducibleTan(double x)
{
    if (x >= 0.0 && x <= kQuarterPi) {
        return SinSeries(x) / CosSeries(x);
    }
    if (x > kQuarterPi && x < kHalfPiHigh) {
        const double r = (kHalfPiHigh - x) + kHalfPiLow;
        return CosSeries(r) / SinSeries(r);
    }
    return std::tan(x);
}
