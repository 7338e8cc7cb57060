#include <gtest/gtest.h>

#include "convert.h"

using namespace ortiva;

struct GoodInt {
    const char* text;
    int32_t value;
};

TEST(StrToInt, AcceptsDecimalWithSignAndSurroundingBlanks)
{
    const GoodInt cases[] = {
        {"0", 0},
        {"7", 7},
        {"001", 1},
        {"-5", -5},
        {"+12", 12},
        {"  42", 42},
        {"42  ", 42},
        {"\t9\t", 9},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"00000123", 123},
    };
    for (const auto& c : cases) EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
}

TEST(StrToInt, RefusesWithTheRuntimeMessage)
{
    const char* bad[] = {"",     " ",   "-",   "+",          "x1",          "1x",  "1 2",
                         "0x10", "$10", "1.5", "2147483648", "-2147483649", "--1", "٣"};
    for (const char* t : bad) {
        try {
            StrToInt(t);
            ADD_FAILURE() << "accepted '" << t << "'";
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), std::string("'") + t + "' is not a valid integer value");
        }
    }
}

TEST(StrToIntInRange, RefusesOutOfRangeAfterConverting)
{
    EXPECT_EQ(StrToIntInRange("999", 0, 999, "Slave address"), 999);
    EXPECT_THROW(StrToIntInRange("x", 0, 999, "Slave address"), EConvertError);
    try {
        StrToIntInRange("1000", 0, 999, "Slave address");
        ADD_FAILURE();
    } catch (const EInputError& e) {
        EXPECT_STREQ(e.what(), "Slave address: '1000' is outside 0 to 999");
    }
    EXPECT_THROW(StrToIntInRange("-1", 0, 999, "x"), EInputError);
}
