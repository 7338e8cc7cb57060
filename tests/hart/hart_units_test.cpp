#include <gtest/gtest.h>

#include <set>

#include "hart_units.h"

using namespace ortiva;

TEST(HartUnits, CodesMapToTheirListEntries)
{
    struct Row {
        int code;
        int index;
    };
    const Row rows[] = {{1, 0},   {32, 12}, {33, 13},  {61, 46}, {62, 47}, {77, 55}, {237, 11},
                        {57, 75}, {75, 76}, {250, 76}, {0, 76},  {-1, 76}, {255, 76}};
    for (const auto& r : rows) EXPECT_EQ(HartUnitIndex(r.code), r.index) << r.code;
    EXPECT_EQ(HartUnitItems(0)[46], "kg        ");
    EXPECT_EQ(HartUnitItems(0)[47], "MetTon    ");
    EXPECT_EQ(HartUnitItems(0)[55], "metTOM_min ");
    EXPECT_EQ(HartUnitItems(0)[76], "other");
}

TEST(HartUnits, TableIsOneToOne)
{
    std::set<int> codes;
    for (int i = 0; i < kHartUnitCount; ++i) {
        EXPECT_TRUE(codes.insert(HartUnitCode(i)).second) << "code listed twice at " << i;
        EXPECT_EQ(HartUnitIndex(HartUnitCode(i)), i);
    }
    EXPECT_EQ(HartUnitCode(76), -1);
}

TEST(HartUnits, FourListsDifferOnlyInTheDegreeEntries)
{
    const auto a = HartUnitItems(0), b = HartUnitItems(1), c = HartUnitItems(2), d = HartUnitItems(3);
    ASSERT_EQ(a.size(), 77u);
    EXPECT_EQ(a[12], "℃  ");
    EXPECT_EQ(a[13], "℉");
    EXPECT_EQ(b[12], "℃");
    EXPECT_EQ(b[13], "℉ ");
    EXPECT_EQ(c[13], "℉   ");
    EXPECT_EQ(d, b);
    for (size_t i = 0; i < a.size(); ++i) {
        if (i != 12 && i != 13) {
            EXPECT_TRUE(a[i] == b[i] && a[i] == c[i]) << i;
        }
    }
}
