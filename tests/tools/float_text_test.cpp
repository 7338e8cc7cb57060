#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "float_text.h"

using namespace ortiva;

namespace {
std::array<uint8_t, 4> B(uint8_t a, uint8_t b, uint8_t c, uint8_t d) { return {a, b, c, d}; }
}  // namespace

TEST(FloatText, GeneralFormatWith15Digits)
{
    struct Row {
        double v;
        const char* text;
    };
    const Row rows[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {10.0, "10"},
        {12.5, "12.5"},
        {double(1.1f), "1.10000002384186"},
        {double(-123.456f), "-123.456001281738"},
        {1e20, "1E20"},
        {1.5e-7, "1.5E-7"},
        {0.0001, "0.0001"},
        {0.00009999, "9.999E-5"},
        {999999999999999.0, "999999999999999"},
        {1e15, "1E15"},
        {9999999999999999.0, "1E16"},  // rounds to 15 digits first
        {123456.0, "123456"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
        {std::nan(""), "NAN"},
        {-std::nan(""), "-NAN"},
    };
    for (const auto& r : rows) EXPECT_EQ(GeneralText15(r.v, "."), r.text) << r.v;
    EXPECT_EQ(GeneralText15(12.5, ","), "12,5");
    EXPECT_EQ(GeneralText15(1.5e-7, ","), "1,5E-7");
}

TEST(FloatText, CutToTheFieldWidth)
{
    struct Row {
        std::array<uint8_t, 4> b;
        size_t width;
        const char* text;
    };
    const Row rows[] = {
        {B(0x41, 0x20, 0x00, 0x00), 10, "10"},
        {B(0x3F, 0x8C, 0xCC, 0xCD), 10, "1.10000002"},
        {B(0x3F, 0x8C, 0xCC, 0xCD), 9, "1.1000000"},
        {B(0xC2, 0xF6, 0xE9, 0x79), 10, "-123.45600"},
        {B(0xC2, 0xF6, 0xE9, 0x79), 9, "-123.4560"},
        {B(0x41, 0x48, 0x00, 0x00), 9, "12.5"},
        {B(0x00, 0x00, 0x00, 0x00), 10, "0"},
        {B(0x80, 0x00, 0x00, 0x00), 10, "0"},
        {B(0x7F, 0xC0, 0x00, 0x00), 10, "NAN"},
        {B(0xFF, 0xC0, 0x00, 0x00), 10, "-NAN"},
        {B(0x7F, 0x80, 0x00, 0x00), 10, "INF"},
        {B(0xFF, 0x80, 0x00, 0x00), 9, "-INF"},
        // Integer digits never silently dropped: scientific with fewer digits.
        {B(0x4E, 0x6E, 0x6B, 0x28), 9, "1E9"},
        {B(0x4E, 0x6E, 0x6B, 0x28), 10, "1000000000"},
        {B(0x7F, 0x7F, 0xFF, 0xFF), 10, "3.40282E38"},  // largest finite single
        {B(0x00, 0x00, 0x00, 0x01), 10, "1.4013E-45"},  // smallest subnormal
        {B(0x00, 0x00, 0x00, 0x01), 9, "1.401E-45"},
        {B(0x38, 0xD1, 0xB7, 0x17), 10, "1E-4"},        // just below 1E-4: scientific, rounded to fit
        {B(0x38, 0xD1, 0xB7, 0x18), 10, "0.00010000"},  // the next single up is at least 1E-4
        {B(0x58, 0x63, 0x5F, 0xA9), 10, "1E15"},        // 1E15 as a single rounds to 999999986991104
        // Narrower than "NAN"/"-INF": cut, there are no digits to shorten.
        {B(0x7F, 0x80, 0x00, 0x63), 1, "N"},
        {B(0xFF, 0x80, 0x00, 0x00), 3, "-IN"},
    };
    for (const auto& r : rows) {
        auto t = FloatText(r.b, r.width, ".");
        EXPECT_EQ(t, r.text) << int(r.b[0]) << ' ' << int(r.b[1]) << ' ' << int(r.b[2]) << ' ' << int(r.b[3]);
        EXPECT_LE(t.size(), r.width);
    }
    EXPECT_EQ(FloatText(B(0x3F, 0x8C, 0xCC, 0xCD), 10, ","), "1,10000002");
}
