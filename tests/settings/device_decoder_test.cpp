#include <gtest/gtest.h>

#include <map>

#include "convert.h"
#include "device_decoder.h"
#include "recording_sink.h"

using namespace ortiva;
using ortiva::RecordingSink;

namespace {

const std::string kFmw = "FMW:2,0.001#";
const std::string kFmu = "FMU:1.000,2.000,3.000#";
const std::string kHart = "HART2:1,1,00,6,060#";
const std::string kDfo = "DFO2:01234#";
const std::string kZdy = "ZDY2:8,1030,2071,0000,1991#";
const std::string kMd = "MD:3#";
const std::string kCamd1 = "CAMD21:1<04,01 03 00 02#";
const std::string kCamd2 = "CAMD22:0<00,#";
const std::string kFull = "QQ2#" + kFmw + kFmu + kHart + kDfo + kZdy + kMd + kCamd1 + kCamd2;

RecordingSink PageSink()
{
    RecordingSink s;
    const std::pair<const char*, int> sizes[] = {
        {"ComboBox18", 4}, {"ComboBox6", 2}, {"ComboBox16", 2}, {"ComboBox17", 20}, {"ComboBox34", 6}, {"FAMOUT1", 2},
        {"FAMOUT3", 4},    {"FAMOUT5", 5},   {"FAMOUT7", 5},    {"FAMOUT9", 5},     {"ComboBox15", 7}, {"RADCOM1", 3},
        {"RADCOM3", 3},    {"RADCOM5", 3},   {"RADCOM7", 3},    {"READLG1", 2},     {"READLG3", 2},    {"READLG5", 2},
        {"READLG7", 2},    {"ComboBox7", 5}, {"ComboBox14", 5}, {"ComboBox28", 2},  {"ComboBox29", 2},
    };
    for (const auto& [name, n] : sizes) s.listSizes[name] = n;
    return s;
}

// Every control the full reply sets, with its value (lists as the index).
const std::map<std::string, std::string> kFullResult = {
    {"ComboBox18", "2"}, {"Beilv", "0.001"},  {"xishu2", "1.000"},      {"xishu3", "2.000"}, {"xishu4", "3.000"},
    {"ComboBox6", "1"},  {"ComboBox16", "1"}, {"ComboBox17", "0"},      {"ComboBox34", "2"}, {"Edit1", "060"},
    {"FAMOUT1", "0"},    {"FAMOUT3", "1"},    {"FAMOUT5", "2"},         {"FAMOUT7", "3"},    {"FAMOUT9", "4"},
    {"GroupBox13", "1"}, {"ComboBox15", "5"}, {"RADCOM1", "1"},         {"READADR1", "03"},  {"READLG1", "0"},
    {"RADCOM3", "2"},    {"READADR3", "07"},  {"READLG3", "1"},         {"RADCOM5", "0"},    {"READADR5", "00"},
    {"READLG5", "0"},    {"RADCOM7", "1"},    {"READADR7", "99"},       {"READLG7", "1"},    {"ComboBox7", "3"},
    {"ComboBox14", "3"}, {"ComboBox28", "1"}, {"Edit4", "01 03 00 02"}, {"ComboBox29", "0"}, {"Edit5", ""},
};

// The final value of every control the decoder wrote.
std::map<std::string, std::string> Result(const RecordingSink& s)
{
    std::map<std::string, std::string> r;
    for (const auto& [name, i] : s.index) r[name] = std::to_string(i);
    for (const auto& [name, t] : s.text) r[name] = t;
    for (const auto& [name, v] : s.visible) r[name] = v ? "1" : "0";
    return r;
}

std::map<std::string, std::string> Decode(const std::string& reply)
{
    RecordingSink s = PageSink();
    DecodeModbusParamsReply(reply, s);
    return Result(s);
}

}  // namespace

TEST(DeviceDecoder, FullReorderedAndDuplicated)
{
    EXPECT_EQ(Decode(kFull), kFullResult);
    // Order of sections, the echo before them and what separates them do not matter.
    EXPECT_EQ(Decode("QQQ#QQ2#" + kCamd2 + kMd + kCamd1 + kZdy + kDfo + kHart + kFmu + kFmw), kFullResult);
    EXPECT_EQ(Decode("xx" + kCamd2 + "\r\n" + kFmw + kFmu + kDfo + "QQ" + kHart + kZdy + kMd + kCamd1), kFullResult);
    // The first occurrence of a key counts.
    auto first = Decode(kFull + "FMW:1,9.999#HART2:0,0,05,4,111#CAMD21:0<01,FF#");
    EXPECT_EQ(first, kFullResult);
    auto second = Decode("QQ2#FMW:1,9.999#" + kFull);
    EXPECT_EQ(second["ComboBox18"], "1");
    EXPECT_EQ(second["Beilv"], "9.999");
}

TEST(DeviceDecoder, MeterTypeDecidesTheCustomGroup)
{
    struct Row {
        const char* hart;
        int priorType;  // ComboBox17 before decoding
        int type;       // after
        bool shown;
    };
    const Row rows[] = {
        {"HART2:1,1,07,6,060#", 0, 7, false},
        {"HART2:1,1,20,6,060#", 0, -1, false},  // not a meter type
        {"HART2:1,1,00,6,060#", 3, 0, true},
        {"", 0, 0, true},  // no polling section: the type shown decides
        {"", 5, 5, false},
        {"", -1, -1, false},
    };
    for (const auto& r : rows) {
        RecordingSink s = PageSink();
        if (r.priorType >= 0) s.index["ComboBox17"] = r.priorType;
        DecodeModbusParamsReply("QQ2#" + kFmw + r.hart + kDfo + kZdy + kMd + kCamd1, s);
        EXPECT_EQ(s.Index("ComboBox17"), r.type) << r.hart << r.priorType;
        EXPECT_EQ(s.visible.at("GroupBox13"), r.shown) << r.hart << r.priorType;
        // Custom parsing and the working mode follow only for type 0.
        EXPECT_EQ(s.text.count("Edit4"), r.shown ? 1u : 0u);
        EXPECT_EQ(s.index.count("ComboBox7"), r.shown ? 1u : 0u);
        EXPECT_EQ(s.index.count("ComboBox15"), r.shown ? 1u : 0u);
        EXPECT_EQ(s.text["Beilv"], "0.001");
    }
}

TEST(DeviceDecoder, DigitsOutsideTheirLists)
{
    struct Row {
        std::string reply;
        const char* control;
        int index;
    };
    const Row rows[] = {
        {"QQ HART0:1,1,00,4,060", "ComboBox34", 0},
        {"QQ HART0:1,1,00,9,060", "ComboBox34", 5},
        {"QQ HART0:1,1,00,3,060", "ComboBox34", -1},
        {"QQ HART0:1,7,00,5,060", "ComboBox16", -1},
        {"QQ HART0:1,1,19,5,060", "ComboBox17", 19},
        {"QQ HART0:1,1,00,5,060 ZDY0:3,", "ComboBox15", 0},
        {"QQ HART0:1,1,00,5,060 ZDY0:9,", "ComboBox15", 6},
        {"QQ HART0:1,1,00,5,060 ZDY0:2,", "ComboBox15", -1},
        {"QQ DFO1:29999", "FAMOUT3", -1},
    };
    for (const auto& r : rows) {
        RecordingSink s = PageSink();
        s.index["ComboBox17"] = 0;
        DecodeModbusParamsReply(r.reply, s);
        EXPECT_EQ(s.Index(r.control), r.index) << r.reply;
    }
}

TEST(DeviceDecoder, NothingWithoutTwoQs)
{
    for (const std::string& reply : {std::string(""), "Q2#" + kFmw + kHart, "Q" + kFmw + "Q" + kHart}) {
        RecordingSink s = PageSink();
        DecodeModbusParamsReply(reply, s);
        EXPECT_TRUE(s.writes.empty()) << reply;
    }
}

TEST(DeviceDecoder, GarbledDigitStopsAfterEarlierFields)
{
    struct Row {
        std::string reply;
        const char* lastWritten;  // the decoder stops right after it
        const char* message;
    };
    const Row rows[] = {
        {"QQ2#" + kFmw + "HART2:1,x,00,6,060#", "ComboBox6", "'x' is not a valid integer value"},
        {"QQ2#" + kFmw + "HART2:1,1,0?,6,060#", "ComboBox16", "'0?' is not a valid integer value"},
        {"QQ2#" + kFmw + kHart + "ZDY2:8,1030,2071, 000,1991#", "READLG3", "' ' is not a valid integer value"},
        // The count is two digits, each converted on its own.
        {"QQ2#" + kFmw + kHart + "CAMD21:1<0A,01 03#", "ComboBox28", "'A' is not a valid integer value"},
        {"QQ2#" + kFmw + kHart + "CAMD21:1< 1,01#", "ComboBox28", "' ' is not a valid integer value"},
        {"QQ2#" + kFmw + kHart + "CAMD21:1<-1,01#", "ComboBox28", "'-' is not a valid integer value"},
        {"QQ2#FMW:-,0.001#", nullptr, "'-' is not a valid integer value"},
    };
    for (const auto& r : rows) {
        RecordingSink s = PageSink();
        try {
            DecodeModbusParamsReply(r.reply, s);
            ADD_FAILURE() << r.reply;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), r.message);
        }
        if (r.lastWritten) {
            ASSERT_FALSE(s.writes.empty());
            EXPECT_NE(s.writes.back().find(std::string(" ") + r.lastWritten + " "), std::string::npos)
                << r.reply << " last write " << s.writes.back();
        } else {
            EXPECT_TRUE(s.writes.empty());
        }
    }
}

TEST(DeviceDecoder, ReplyEndingInsideASection)
{
    // Cut after every character: nothing is read past the end, no cut field
    // is shown shortened, and what is applied is what the full reply says.
    for (size_t cut = 0; cut <= kFull.size(); ++cut) {
        RecordingSink s = PageSink();
        s.index["ComboBox17"] = 0;
        const std::string reply = kFull.substr(0, cut);
        ASSERT_NO_THROW(DecodeModbusParamsReply(reply, s)) << reply;
        for (const auto& [name, value] : Result(s)) {
            if (name == "GroupBox13") continue;
            EXPECT_EQ(value, kFullResult.at(name)) << name << " at cut " << cut;
        }
    }
    // A reply ending before the command text its count asks for leaves the
    // edit as it was; the open flag before it is applied.
    for (const std::string& reply : {std::string("QQ2#CAMD21:1<05,01 03 00 02#"), std::string("QQ2#CAMD21:1<01,0"),
                                     std::string("QQ2#CAMD21:1<1")}) {
        RecordingSink s = PageSink();
        s.index["ComboBox17"] = 0;
        s.text["Edit4"] = "before";
        DecodeModbusParamsReply(reply, s);
        EXPECT_EQ(s.Index("ComboBox28"), 1) << reply;
        EXPECT_EQ(s.text["Edit4"], "before") << reply;
    }
    // The count is taken as given: characters that follow count too.
    RecordingSink s = PageSink();
    s.index["ComboBox17"] = 0;
    DecodeModbusParamsReply("QQ2#CAMD22:1<02,01 03 00#", s);
    EXPECT_EQ(s.text["Edit5"], "01 03");
}

TEST(DeviceDecoder, SectionsBeyondTheKeptText)
{
    // Only the first 255 characters of a chunk are kept; a section after them
    // is not found, one straddling the cut gives its complete fields only.
    const std::string pad(255 - 4 - kFmw.size() - kHart.size() - 8, '.');
    const std::string chunk = "QQ2#" + kFmw + kHart + pad + "CAMD21:1<04,01 03 00 02#" + kDfo;
    const std::string kept = chunk.substr(0, 255);
    RecordingSink s = PageSink();
    DecodeModbusParamsReply(kept, s);
    EXPECT_EQ(s.Index("ComboBox28"), 1);  // open flag at offset 7 is inside
    EXPECT_EQ(s.text.count("Edit4"), 0u);
    EXPECT_EQ(s.index.count("FAMOUT1"), 0u);
    EXPECT_EQ(s.text["Edit1"], "060");
}
