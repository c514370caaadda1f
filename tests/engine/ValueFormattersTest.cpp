#include "engine/ValueFormatters.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <locale>
#include <string>

namespace {

using Formatter = void (*)(double, char*, int);

std::string Format(Formatter formatter, double value, int capacity = 64)
{
    char text[64];
    std::memset(text, '#', sizeof text);
    formatter(value, text, capacity);
    return text;
}

struct NamedFormatter {
    const char* name;
    Formatter formatter;
    double min;
    double max;
};

const NamedFormatter kFormatters[] = {
    {"level", FormatLevel, 0.0, 2.0},   {"cents", FormatCents, -1.0, 1.0},
    {"ratio", FormatRatio, 0.0, 1.0},   {"shift factor", FormatShiftFactor, -4.0, 4.0},
    {"cutoff", FormatCutoff, 0.0, 1.0}, {"button pattern", FormatButtonPattern, 0.0, 255.0},
};

// Pitch law rebuilt here from its definition: semitone frequencies rounded to
// three decimals, linear in between.
double ExpectedFrequency(int index)
{
    auto semitone = [](int n) {
        return std::round(440.0 * std::pow(2.0, (n - 69) / 12.0) * 1000.0) / 1000.0;
    };
    if (index >= 17280) {
        return 19912.127;
    }
    int n = index / 128;
    int r = index % 128;
    return semitone(n) + (semitone(n + 1) - semitone(n)) * r / 128.0;
}

TEST(ValueFormatters, ExampleTexts)
{
    EXPECT_EQ(Format(FormatLevel, 0.0), "-oo");
    EXPECT_EQ(Format(FormatLevel, -0.5), "-oo");
    EXPECT_EQ(Format(FormatLevel, 1.0), "0.0");
    EXPECT_EQ(Format(FormatLevel, 2.0), "6.0");
    EXPECT_EQ(Format(FormatLevel, 0.5), "-6.0");
    EXPECT_EQ(Format(FormatLevel, 0.1), "-20.0");

    EXPECT_EQ(Format(FormatCents, -1.0), "-50");
    EXPECT_EQ(Format(FormatCents, 1.0), "50");
    EXPECT_EQ(Format(FormatCents, 0.0), "0");
    EXPECT_EQ(Format(FormatCents, 0.37), "18");  // 18.5 rounds to even, as printf does

    EXPECT_EQ(Format(FormatRatio, 0.0), "100:0");
    EXPECT_EQ(Format(FormatRatio, 0.25), "75:25");
    EXPECT_EQ(Format(FormatRatio, 1.0), "0:100");
    EXPECT_EQ(Format(FormatRatio, 0.5), "50:50");

    EXPECT_EQ(Format(FormatShiftFactor, -4.0), "0.20");
    EXPECT_EQ(Format(FormatShiftFactor, -1.0), "0.50");
    EXPECT_EQ(Format(FormatShiftFactor, 0.0), "1.00");
    EXPECT_EQ(Format(FormatShiftFactor, 0.5), "1.50");
    EXPECT_EQ(Format(FormatShiftFactor, 4.0), "5.00");
    EXPECT_EQ(Format(FormatShiftFactor, -0.55), "0.65");  // 1 / 1.55 = 0.645...

    EXPECT_EQ(Format(FormatCutoff, 0.0), "8");
    EXPECT_EQ(Format(FormatCutoff, 1.0), "19912");
    EXPECT_EQ(Format(FormatCutoff, 0.5), "403");  // key 67.5: halfway between 391.995 and 415.305

    EXPECT_EQ(Format(FormatButtonPattern, 0.0), "Tweak Mode");
    EXPECT_EQ(Format(FormatButtonPattern, 5.0), "o*o*****");
    EXPECT_EQ(Format(FormatButtonPattern, 128.0), "*******o");
    EXPECT_EQ(Format(FormatButtonPattern, 255.0), "oooooooo");
    EXPECT_EQ(Format(FormatButtonPattern, 1.0), "o*******");
}

TEST(ValueFormatters, RoundingAndOutOfRangeValues)
{
    // Button pattern: halves round away from zero, only the low 8 bits count,
    // a positive value that rounds to 0 lights nothing, and huge or odd
    // values neither crash nor fall back to tweak mode.
    EXPECT_EQ(Format(FormatButtonPattern, 4.5), "o*o*****");
    EXPECT_EQ(Format(FormatButtonPattern, 4.49), "**o*****");
    EXPECT_EQ(Format(FormatButtonPattern, 0.4), "********");
    EXPECT_EQ(Format(FormatButtonPattern, 256.0 + 5.0), "o*o*****");
    EXPECT_EQ(Format(FormatButtonPattern, -3.0), "Tweak Mode");
    EXPECT_EQ(Format(FormatButtonPattern, std::nan("")), "Tweak Mode");
    EXPECT_EQ(Format(FormatButtonPattern, 1e300).size(), 8u);
    EXPECT_EQ(Format(FormatButtonPattern, INFINITY).size(), 8u);

    // Cutoff: the pitch index rounds half away from zero; 8831.5 becomes
    // 8832 (key 69, 440 Hz) where truncation or rounding to even would give
    // 8831 (439.8 Hz).
    const double halfIndex = 8831.5 / 17280.0;
    ASSERT_EQ(halfIndex * 17280.0, 8831.5);
    EXPECT_EQ(Format(FormatCutoff, halfIndex), "440");
    EXPECT_EQ(Format(FormatCutoff, -0.5), "8");
    EXPECT_EQ(Format(FormatCutoff, 3.0), "19912");
    EXPECT_EQ(Format(FormatCutoff, std::nan("")), "8");
    EXPECT_EQ(Format(FormatCutoff, -INFINITY), "8");
    EXPECT_EQ(Format(FormatCutoff, INFINITY), "19912");

    // Small negative results print "-0", exactly as printf would.
    EXPECT_EQ(Format(FormatCents, -0.004), "-0");
    EXPECT_EQ(Format(FormatLevel, 0.9999), "-0.0");
}

TEST(ValueFormatters, CutoffFollowsThePitchLawAcrossTheRange)
{
    for (int step = 0; step <= 1000; ++step) {
        double value = step / 1000.0;
        int index = static_cast<int>(std::round(value * 17280.0));
        std::string expected = std::to_string(static_cast<int>(ExpectedFrequency(index)));
        ASSERT_EQ(Format(FormatCutoff, value), expected) << "value " << value;
    }
}

// printf in the "C" locale is the reference for the digits and their
// rounding (ties of the exact binary value go to even).
TEST(ValueFormatters, DigitsMatchPrintfAcrossTheRanges)
{
    char expected[64];
    for (int step = 0; step <= 800; ++step) {
        double shift = -4.0 + step * 0.01;
        double factor = shift >= 0.0 ? shift + 1.0 : -1.0 / (shift - 1.0);
        std::snprintf(expected, sizeof expected, "%.2f", factor);
        ASSERT_EQ(Format(FormatShiftFactor, shift), expected) << "shift " << shift;
    }
    for (int step = 0; step <= 200; ++step) {
        double tune = -1.0 + step * 0.01;
        std::snprintf(expected, sizeof expected, "%.0f", tune * 50.0);
        ASSERT_EQ(Format(FormatCents, tune), expected) << "tune " << tune;

        double mix = step * 0.005;
        std::snprintf(expected, sizeof expected, "%.0f:%.0f", (1.0 - mix) * 100.0, mix * 100.0);
        ASSERT_EQ(Format(FormatRatio, mix), expected) << "mix " << mix;

        double level = step * 0.01;
        if (level > 0.0) {
            std::snprintf(expected, sizeof expected, "%.1f", 20.0 * std::log10(level));
            ASSERT_EQ(Format(FormatLevel, level), expected) << "level " << level;
        }
    }
}

TEST(ValueFormatters, TextsStayWithinElevenCharactersOverTheirRanges)
{
    for (const auto& entry : kFormatters) {
        for (int step = 0; step <= 1000; ++step) {
            double value = entry.min + (entry.max - entry.min) * step / 1000.0;
            std::string text = Format(entry.formatter, value);
            EXPECT_LE(text.size(), 11u) << entry.name << " at " << value << ": " << text;
            EXPECT_FALSE(text.empty()) << entry.name << " at " << value;
        }
    }
}

TEST(ValueFormatters, WriteNoMoreThanTheCapacity)
{
    // Long texts come from extreme values (the shift factor of 1e300 has
    // over 300 digits); every capacity must cut them to a terminated prefix.
    const double values[] = {1e300, -1e300, 0.0, 5.0, 0.25};
    for (const auto& entry : kFormatters) {
        for (double value : values) {
            std::string full = Format(entry.formatter, value);
            for (int capacity = 0; capacity <= 12; ++capacity) {
                char text[16];
                std::memset(text, '#', sizeof text);
                entry.formatter(value, text, capacity);
                for (int i = capacity; i < static_cast<int>(sizeof text); ++i) {
                    ASSERT_EQ(text[i], '#') << entry.name << " wrote past capacity " << capacity;
                }
                if (capacity > 0) {
                    EXPECT_EQ(std::string(text), full.substr(0, static_cast<std::size_t>(capacity - 1)))
                        << entry.name << " at " << value << ", capacity " << capacity;
                }
            }
        }
    }
    // A missing buffer is ignored rather than written to.
    for (const auto& entry : kFormatters) {
        entry.formatter(1.0, nullptr, 8);
    }
}

// A comma-decimal numpunct facet for the C++ global locale; always available.
class CommaNumpunct : public std::numpunct<char> {
protected:
    char do_decimal_point() const override { return ','; }
};

TEST(ValueFormatters, UseAPointUnderCommaDecimalLocales)
{
    auto check = [] {
        EXPECT_EQ(Format(FormatLevel, 0.5), "-6.0");
        EXPECT_EQ(Format(FormatShiftFactor, -1.0), "0.50");
        EXPECT_EQ(Format(FormatRatio, 0.25), "75:25");
        EXPECT_EQ(Format(FormatCents, -1.0), "-50");
    };

    std::locale previousGlobal = std::locale::global(std::locale(std::locale::classic(), new CommaNumpunct));
    check();
    std::locale::global(previousGlobal);

    // The C library locale: only where a comma-decimal locale is installed.
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    const char* const candidates[] = {"de_DE.UTF-8", "de_DE.utf8",          "de_DE",  "fr_FR.UTF-8",
                                      "fr_FR.utf8",  "German_Germany.1252", "German", "deu"};
    const char* chosen = nullptr;
    for (const char* name : candidates) {
        if (std::setlocale(LC_ALL, name) != nullptr && std::localeconv()->decimal_point[0] == ',') {
            chosen = name;
            break;
        }
    }
    if (chosen == nullptr) {
        std::setlocale(LC_ALL, previous.c_str());
        GTEST_SKIP() << "no comma-decimal C locale installed";
    }
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    EXPECT_STREQ(probe, "0,5") << "locale " << chosen << " is not in effect";
    check();
    std::setlocale(LC_ALL, previous.c_str());
}

}  // namespace
