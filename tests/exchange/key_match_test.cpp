#include <gtest/gtest.h>

#include "convert.h"
#include "key_match.h"

using namespace ortiva;

TEST(KeyMatch, FirstOccurrenceWithAnyPositions)
{
    EXPECT_EQ(FindKey("QX,BA1:30,BA2:31", "BA1:"), 3u);
    EXPECT_EQ(FindKey("xAADR:1,ADR:2", "ADR:"), 2u);  // "AADR:" holds "ADR:" first
    EXPECT_EQ(FindKey("HART2:1", "HART?:"), 0u);
    EXPECT_EQ(FindKey("HART:1", "HART?:"), std::string_view::npos);
    EXPECT_EQ(FindKey("CAMD31:1", "CAMD?1:"), 0u);
    EXPECT_EQ(FindKey("CAMD32:1", "CAMD?1:"), std::string_view::npos);
    EXPECT_EQ(FindKey("BA", "BA1:"), std::string_view::npos);
    EXPECT_EQ(FindKey("", "QX"), std::string_view::npos);
    EXPECT_EQ(FindKey(std::string_view("\0QX", 3), "QX"), 1u);
}

TEST(KeyMatch, FieldsNeverReadPastTheEnd)
{
    const std::string_view t = "ADR:12";
    EXPECT_EQ(TextAt(t, 4, 3), "12");
    EXPECT_EQ(TextAt(t, 6, 3), "");
    EXPECT_EQ(TextAt(t, 60, 3), "");
    EXPECT_EQ(DigitAt(t, 5), 2);
    EXPECT_THROW(DigitAt(t, 6), EConvertError);
    EXPECT_THROW(DigitAt("MD:x", 3), EConvertError);
    try {
        DigitAt("MD:x", 3);
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
    }
    EXPECT_EQ(NumberAt("HART1:1,1,07,5", 10, 2), 7);
    EXPECT_THROW(NumberAt("12", 1, 2), EConvertError) << "a two-digit field cut by the end is not a number";
}
