#include "published_registers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using ortiva::NumberType;
using ortiva::RegisterFormat;
using ortiva::WordOrder;

struct Row {
    const char* name;
    RegisterFormat format;
    uint16_t first, second;  // as they arrive on the line
    double value;            // NaN: the decoded value must be NaN
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr RegisterFormat kFloatAbcd{NumberType::Float, WordOrder::ABCD};
constexpr RegisterFormat kFloatCdab{NumberType::Float, WordOrder::CDAB};
constexpr RegisterFormat kFloatBadc{NumberType::Float, WordOrder::BADC};
constexpr RegisterFormat kFloatDcba{NumberType::Float, WordOrder::DCBA};
constexpr RegisterFormat kUintAbcd{NumberType::Uint32, WordOrder::ABCD};
constexpr RegisterFormat kUintCdab{NumberType::Uint32, WordOrder::CDAB};
constexpr RegisterFormat kIntAbcd{NumberType::Int32, WordOrder::ABCD};
constexpr RegisterFormat kAbsCdab{NumberType::Uint32, WordOrder::CDAB, true};

// Values whose bytes are known: 1.0f is 3F 80 00 00, -2.5f is C0 20 00 00,
// +Inf 7F 80 00 00, a quiet NaN 7F C0 00 00.
const Row kRows[] = {
    {"one_abcd", kFloatAbcd, 0x3F80, 0x0000, 1.0},
    {"one_cdab", kFloatCdab, 0x0000, 0x3F80, 1.0},
    {"one_badc", kFloatBadc, 0x803F, 0x0000, 1.0},
    {"one_dcba", kFloatDcba, 0x0000, 0x803F, 1.0},
    {"minus_2_5_abcd", kFloatAbcd, 0xC020, 0x0000, -2.5},
    {"minus_2_5_cdab", kFloatCdab, 0x0000, 0xC020, -2.5},
    {"nan_abcd", kFloatAbcd, 0x7FC0, 0x0000, kNaN},
    {"inf_cdab", kFloatCdab, 0x0000, 0x7F80, kInf},
    {"zero_float", kFloatAbcd, 0x0000, 0x0000, 0.0},
    {"largest_uint_abcd", kUintAbcd, 0xFFFF, 0xFFFF, 4294967295.0},
    {"uint_abcd", kUintAbcd, 0x0001, 0x0002, 65538.0},
    {"uint_cdab", kUintCdab, 0x0002, 0x0001, 65538.0},
    {"zero_uint", kUintCdab, 0x0000, 0x0000, 0.0},
    {"int_minus_one", kIntAbcd, 0xFFFF, 0xFFFF, -1.0},
    {"abs_cdab", kAbsCdab, 0x0002, 0x0001, 65538.0},
};

class PublishedRegisters : public testing::TestWithParam<Row> {};

TEST_P(PublishedRegisters, DecodeAndEncodeAgreeWithTheKnownBytes)
{
    const Row& r = GetParam();
    const double got = ortiva::DecodeRegisters(r.first, r.second, r.format);
    if (std::isnan(r.value)) {
        EXPECT_TRUE(std::isnan(got));
        return;
    }
    EXPECT_EQ(got, r.value);
    const auto regs = ortiva::EncodeRegisters(r.value, r.format);
    EXPECT_EQ(regs[0], r.first);
    EXPECT_EQ(regs[1], r.second);
}

INSTANTIATE_TEST_SUITE_P(Formats, PublishedRegisters, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& row) { return std::string(row.param.name); });

// The FAMOUT codes as their list texts read, the override names, and a
// device's registers decoded quantity by quantity at their addresses.
TEST(PublishedRegistersDevice, CodesNamesAndAddresses)
{
    EXPECT_EQ(ortiva::FormatOfCode(0), kFloatAbcd);
    EXPECT_EQ(ortiva::FormatOfCode(1), kFloatCdab);
    EXPECT_EQ(ortiva::FormatOfCode(2), kUintAbcd);
    EXPECT_EQ(ortiva::FormatOfCode(3), kUintCdab);
    EXPECT_EQ(ortiva::FormatOfCode(4), kAbsCdab);
    EXPECT_FALSE(ortiva::FormatOfCode(5).has_value());
    EXPECT_FALSE(ortiva::FormatOfCode(-1).has_value());

    EXPECT_EQ(ortiva::ParseFormatName("float cdab"), kFloatCdab);
    EXPECT_EQ(ortiva::ParseFormatName("UINT32 ABCD"), kUintAbcd);
    EXPECT_EQ(ortiva::ParseFormatName("int32 ABCD"), kIntAbcd);
    EXPECT_FALSE(ortiva::ParseFormatName("double ABCD").has_value());
    EXPECT_FALSE(ortiva::ParseFormatName("float ACBD").has_value());
    EXPECT_EQ(ortiva::FormatName(kAbsCdab), "abs uint32 CDAB");

    const uint16_t regs[10] = {0x3F80, 0x0000, 0x0000, 0xC020, 0x0002, 0x0001, 0x0000, 0x0000, 0xFFFF, 0xFFFF};
    const auto values = ortiva::DecodeDevice(3, regs, {kFloatAbcd, kFloatCdab, kUintCdab, kAbsCdab, kUintAbcd});
    EXPECT_EQ(values[0].reg, 40031);
    EXPECT_EQ(values[4].reg, 40039);
    EXPECT_EQ(values[0].Text(), "1");
    EXPECT_EQ(values[1].Text(), "-2.5");
    EXPECT_EQ(values[2].Text(), "65538");
    EXPECT_EQ(values[4].Text(), "4294967295");
    EXPECT_EQ(values[1].RawText(), "0000 C020");
    // Registers missing from a short reply decode to nothing rather than to
    // a neighbour's bytes.
    const auto cut =
        ortiva::DecodeDevice(0, std::span(regs, 4), {kFloatAbcd, kFloatCdab, kFloatAbcd, kFloatAbcd, kFloatAbcd});
    EXPECT_EQ(cut[1].Text(), "-2.5");
    EXPECT_EQ(cut[2].Text(), "NaN");
}

}  // namespace
