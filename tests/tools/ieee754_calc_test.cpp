#include <gtest/gtest.h>

#include <string>

#include "ieee754_calc.h"

using namespace ortiva;

TEST(Ieee754Calculator, AcceptedTexts)
{
    struct Row {
        const char* input;
        const char* sep;
        const char* value;
    };
    const Row rows[] = {
        {"41 20 00 00", ".", "10"},
        {"3F 8C CC CD", ".", "1.10000002"},
        {"C2 F6 E9 79", ".", "-123.45600"},
        {"00 00 00 00", ".", "0"},
        {"41 20", ".", "10"},  // missing bytes are 0x00
        {"41", ".", "8"},
        {"41 20 00 00 55", ".", "10"},  // a fifth byte is checked, not used
        {"41 20 00 00 55 66 77", ".", "10"},
        {"7F C0 00 00", ".", "NAN"},  // no special case for a first byte 0x7F
        {"7F 80 00 00", ".", "INF"},
        {"FF C0 00 00", ".", "-NAN"},
        {"FF 80 00 00", ".", "-INF"},
        {"3F 8C CC CD", ",", "1,10000002"},
    };
    for (const auto& r : rows) {
        const CalculatorResult res = Calculate(r.input, r.sep);
        EXPECT_TRUE(res.ok()) << r.input << ": " << res.message;
        EXPECT_EQ(res.value, r.value) << r.input;
    }
    const CalculatorInput in = ParseCalculatorInput("C2 F6 E9 79 55");
    ASSERT_TRUE(in.ok());
    EXPECT_EQ(in.bytes, (std::array<uint8_t, 4>{0xC2, 0xF6, 0xE9, 0x79}));
    EXPECT_EQ(ParseCalculatorInput("AB").bytes, (std::array<uint8_t, 4>{0xAB, 0, 0, 0}));
}

TEST(Ieee754Calculator, RefusedTexts)
{
    const std::string noSpaces = kNoSpacesMessage;
    const std::string invalid = kInvalidCharactersMessage;
    struct Row {
        const char* input;
        const std::string& message;
    };
    const Row rows[] = {
        {"41200000", noSpaces},
        {"41-20", noSpaces},
        {"41  20", noSpaces},
        {"zz-20", noSpaces},        // separators are judged before the digits
        {"41 20 00 00 ", invalid},  // trailing blank
        {"41 20 00 0", invalid},    // incomplete last pair
        {"41 20 00 0a", invalid},   // lower case
        {"4G 20", invalid},
        {"41 20 00 00 5x", invalid},  // pairs past the fourth are checked too
        {"", invalid},
        {"4", invalid},
        {"41 ", invalid},
    };
    for (const auto& r : rows) {
        const CalculatorResult res = Calculate(r.input, ".");
        EXPECT_FALSE(res.ok()) << r.input;
        EXPECT_EQ(res.message, r.message) << '"' << r.input << '"';
        EXPECT_TRUE(res.value.empty()) << r.input;
    }
}
