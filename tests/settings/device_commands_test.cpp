#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "convert.h"
#include "device_commands.h"
#include "hex_text.h"
#include "recording_sink.h"

using namespace ortiva;
using ortiva::RecordingSink;

namespace {

std::string Text(const Command& c) { return BytesToString(c.bytes); }

void ExpectSet(const Command& c)
{
    EXPECT_EQ(c.pendingCode, 200);
    EXPECT_EQ(c.timeoutKind, 3);
    EXPECT_EQ(c.timer, ReplyTimer::Set3000);
    EXPECT_FALSE(c.delayedClose);
}

}  // namespace

TEST(DeviceCommands, TextFrames)
{
    struct Row {
        Command command;
        const char* text;
    };
    const std::array<ParsingRow, 4> example = {{{1, "3", 0}, {0, "0", 0}, {0, "0", 0}, {0, "0", 0}}};
    const std::array<ParsingRow, 4> mixed = {{{2, "7", 1}, {1, "99", 0}, {-1, " 10", -1}, {0, "+5", 1}}};
    const Row rows[] = {
        {HartPollingCommand(1, 1, 1, 5, 1, "60"), "QQS#HART1:1,1,05,5,060#"},
        {HartPollingCommand(4, 0, 0, 19, 5, "999"), "QQS#HART4:0,0,19,9,999#"},
        {HartPollingCommand(0, -1, -1, -1, -1, "5"), "QQS#HART0:/,/,0/,3,005#"},  // lists without selection
        {HartPollingCommand(2, 1, 0, 10, 0, "060"), "QQS#HART2:1,0,10,4,060#"},
        {OutputFormatsCommand(2, {0, 1, 2, 3, 4}), "QQS#DFOT2:01234#"},
        {OutputFormatsCommand(0, {-1, -1, -1, -1, -1}), "QQS#DFOT0://///#"},
        {Variable1CoefficientCommand(2, "0.001"), "QQS#FMW:2,0.001#"},
        {Variable1CoefficientCommand(-1, "0.0001"), "QQS#FMW:/,0.000#"},  // cut to five
        {VariableCoefficientsCommand("1.000", "2.500", "0.125"), "QQS#FMU:1.000,2.500,0.125#"},
        {ParsingFormatCommand(0, 5, example), "QQS#MDBS0:8,1030,0000,0000,0000#"},
        {ParsingFormatCommand(4, -1, mixed), "QQS#MDBS4:2,2071,1990,/10/,0051#"},
        {ParsingFormatCommand(1, 6, mixed), "QQS#MDBS1:9,2071,1990,/10/,0051#"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(Text(r.command), r.text);
        EXPECT_EQ(r.command.echo, Echo::Text) << r.text;
        ExpectSet(r.command);
    }
    EXPECT_EQ(HartPollingCommand(0, 0, 0, 0, 0, "1").bytes.size(), 23u);
    EXPECT_EQ(OutputFormatsCommand(0, {0, 0, 0, 0, 0}).bytes.size(), 16u);
    EXPECT_EQ(Variable1CoefficientCommand(0, "1.000").bytes.size(), 16u);
    EXPECT_EQ(VariableCoefficientsCommand("1.000", "1.000", "1.000").bytes.size(), 26u);
    EXPECT_EQ(ParsingFormatCommand(0, 0, example).bytes.size(), 32u);
}

TEST(DeviceCommands, Query)
{
    for (int d = 0; d < kDeviceCount; ++d) {
        const Command q = ModbusParamsQueryCommand(d);
        EXPECT_EQ(Text(q), "QQQ#QQ" + std::to_string(d) + "#");
        EXPECT_EQ(q.pendingCode, 301);
        EXPECT_EQ(q.timeoutKind, 2);
        EXPECT_EQ(q.timer, ReplyTimer::Set3000);
    }
    EXPECT_EQ(Text(ModbusParamsQueryCommand(-1)), "QQQ#QQ/#");  // selector left empty by a HART address
}

TEST(DeviceCommands, RefusedBeforeSending)
{
    struct Row {
        std::function<Command()> build;
        bool convertError;  // else EInputError
        const char* message;
    };
    const std::array<ParsingRow, 4> fine = {{{1, "3", 0}, {0, "0", 0}, {0, "0", 0}, {0, "0", 0}}};
    auto withStart = [&](int row, const char* text) {
        auto rows = fine;
        rows[static_cast<size_t>(row)].startAddressText = text;
        return rows;
    };
    const Row rows[] = {
        {[] { return HartPollingCommand(0, 0, 0, 0, 0, ""); }, true, "'' is not a valid integer value"},
        {[] { return HartPollingCommand(0, 0, 0, 0, 0, "6O"); }, true, "'6O' is not a valid integer value"},
        {[] { return HartPollingCommand(0, 0, 0, 0, 0, "1000"); }, false,
         "Buffer clear time: '1000' is outside 0 to 999"},
        {[] { return HartPollingCommand(0, 0, 0, 0, 0, "-1"); }, false, "Buffer clear time: '-1' is outside 0 to 999"},
        {[&] { return ParsingFormatCommand(0, 5, withStart(0, "100")); }, false,
         "Start address of variable 1: '100' is outside 0 to 99"},
        {[&] { return ParsingFormatCommand(0, 5, withStart(3, "-1")); }, false,
         "Start address of variable 4: '-1' is outside 0 to 99"},
        {[&] { return ParsingFormatCommand(0, 5, withStart(2, "")); }, true, "'' is not a valid integer value"},
        {[&] { return ParsingFormatCommand(0, 5, withStart(1, "0x1")); }, true, "'0x1' is not a valid integer value"},
        {[] { return Variable1CoefficientCommand(0, ""); }, false,
         "Variable 1 coefficient: '' has fewer than five characters"},
        {[] { return Variable1CoefficientCommand(0, "1e-3"); }, false,
         "Variable 1 coefficient: '1e-3' has fewer than five characters"},
        {[] { return VariableCoefficientsCommand("1.000", "1.000", "0,5"); }, false,
         "Variable 4 coefficient: '0,5' has fewer than five characters"},
        {[] { return VariableCoefficientsCommand("1.000", ".", "1.000"); }, false,
         "Variable 3 coefficient: '.' has fewer than five characters"},
    };
    for (const auto& r : rows) {
        try {
            r.build();
            ADD_FAILURE() << "built: " << r.message;
        } catch (const EConvertError& e) {
            EXPECT_TRUE(r.convertError) << e.what();
            EXPECT_EQ(std::string(e.what()), r.message);
        } catch (const EInputError& e) {
            EXPECT_FALSE(r.convertError) << e.what();
            EXPECT_EQ(std::string(e.what()), r.message);
        }
    }
}

TEST(DeviceCommands, ShortCoefficientsKeepTheirValue)
{
    const std::pair<const char*, const char*> rows[] = {
        {"0.5", "0.500"},    {"2", "2.000"},      {"-1", "-1.00"},    {"1234", "1234."},
        {".5", ".5000"},     {"12.", "12.00"},    {"1.000", "1.000"}, {"1,000", "1,000"},
        {"123456", "12345"}, {"abcdef", "abcde"},  // five or more: as typed
    };
    for (const auto& [in, out] : rows) EXPECT_EQ(CoefficientField(in, "Variable 1 coefficient"), out) << in;
}

TEST(DeviceCommands, ReadMeterCommands)
{
    const ReadMeterCommandResult r = ReadMeterCommand(2, 1, 1, "01 03 00 02");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.command.bytes.size(), 20u);
    EXPECT_EQ(HexText(r.command.bytes), "51 51 53 23 43 41 4D 44 32 31 3A 31 3C 30 34 2C 01 03 00 02 ");
    EXPECT_EQ(r.command.echo, Echo::Hex);
    ExpectSet(r.command);

    struct Row {
        int device, k, open;
        const char* typed;
        std::string expected;
    };
    const Row rows[] = {
        {0, 2, 0, "01 0", std::string("QQS#CAMD02:0<01,\x01", 17)},  // lone character ignored
        {1, 1, -1, "01 03 0", std::string("QQS#CAMD11:/<02,\x01\x03", 18)},
        {4, 2, 1, "01 03 00", std::string("QQS#CAMD42:1<03,\x01\x03\x00", 19)},
        {3, 1, 1, "FF 00 23 51", std::string("QQS#CAMD31:1<04,\xFF\x00#Q", 20)},  // raw bytes, even "#"
        {0, 1, 1, "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10",
         std::string("QQS#CAMD01:1<14,\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E", 30)},
    };
    for (const auto& row : rows) {
        const ReadMeterCommandResult c = ReadMeterCommand(row.device, row.k, row.open, row.typed);
        ASSERT_TRUE(c.ok()) << row.typed;
        EXPECT_EQ(Text(c.command), row.expected) << row.typed;
    }

    const std::pair<const char*, const char*> refusals[] = {
        {"", "NO SPACK"},         {"010300", "NO SPACK"},      {"01,03", "NO SPACK"},
        {"01 0g", "Data eeore!"}, {"01 03 ab", "Data eeore!"},
    };
    for (const auto& [typed, message] : refusals) {
        const ReadMeterCommandResult c = ReadMeterCommand(0, 1, 1, typed);
        EXPECT_EQ(c.message, message) << typed;
        EXPECT_TRUE(c.command.bytes.empty());
    }
}

TEST(DeviceCommands, RegisterLabels)
{
    const std::pair<int, std::array<std::string, 5>> rows[] = {
        {0, {"40001", "40003", "40005", "40007", "40009"}},
        {2, {"40021", "40023", "40025", "40027", "40029"}},
        {4, {"40041", "40043", "40045", "40047", "40049"}},
    };
    for (const auto& [device, texts] : rows) EXPECT_EQ(RegisterLabelTexts(device), texts);
}

TEST(DeviceCommands, DeviceSelectionClearsExactlyTheListedControls)
{
    const std::set<std::string> lists = {
        "ComboBox6", "ComboBox17", "ComboBox16", "ComboBox34", "FAMOUT1",  "FAMOUT3",   "FAMOUT5",
        "FAMOUT7",   "FAMOUT9",    "ComboBox28", "ComboBox29", "RADCOM1",  "RADCOM3",   "RADCOM5",
        "RADCOM7",   "READLG1",    "READLG3",    "READLG5",    "READLG7",  "ComboBox7", "RS485ADY",
        "RS485BDY",  "ComboBox2",  "ComboBox4",  "ComboBox8",  "ComboBox9"};
    const std::set<std::string> edits = {"Edit1",    "Edit4",    "Edit5",  "READADR1", "READADR3",
                                         "READADR5", "READADR7", "Edit14", "Edit6"};
    // Everything else a selection writes; ComboBox14, ComboBox15, ComboBox18,
    // the coefficients, ABadr, BBadr and the value captions stay as they are.
    std::set<std::string> expected = {"Label19", "Label24", "Label27", "Label28",
                                      "Label29", "Edit19",  "Edit20",  "GroupBox13"};
    expected.insert(lists.begin(), lists.end());
    expected.insert(edits.begin(), edits.end());

    RecordingSink out;
    for (const auto& name : lists) out.index[name] = 1;
    for (const auto& name : edits) out.text[name] = "x";
    ApplyDeviceSelection(out, 4);
    std::set<std::string> written;
    for (const auto& w : out.writes) {
        const auto a = w.find(' ') + 1;
        written.insert(w.substr(a, w.find(' ', a) - a));
    }
    EXPECT_EQ(written, expected);
    for (const auto& name : lists) EXPECT_EQ(out.Index(name), -1) << name;
    for (const auto& name : edits) EXPECT_EQ(out.text[name], "") << name;
    EXPECT_EQ(out.text["Label19"], "40041");
    EXPECT_EQ(out.text["Edit19"], "40");
    EXPECT_EQ(out.text["Edit20"], "10");
    EXPECT_FALSE(out.visible["GroupBox13"]);

    RecordingSink zero;
    ApplyDeviceSelection(zero, 0);
    EXPECT_EQ(zero.text["Edit19"], "00");
}

TEST(DeviceCommands, MeterTypeChangeAndHartAddressChoice)
{
    for (int type : {-1, 1, 7, 19}) {
        RecordingSink out;
        ApplyMeterTypeChange(out, type);
        EXPECT_EQ(out.writes, std::vector<std::string>{"SetVisible GroupBox13 0"}) << type;
    }
    RecordingSink custom;
    custom.index["ComboBox15"] = 5;
    custom.text["Edit4"] = "01 03";
    ApplyMeterTypeChange(custom, 0);
    EXPECT_TRUE(custom.visible["GroupBox13"]);
    EXPECT_EQ(custom.Index("ComboBox15"), -1);  // the meter type clears the address bits, a device change does not
    EXPECT_EQ(custom.text["Edit4"], "");
    EXPECT_EQ(custom.writes.size(), 1 + kMeterTypeClearedLists.size() + kMeterTypeClearedEdits.size());

    RecordingSink three;
    three.listSizes["ComboBox41"] = 5;
    ApplyHartAddressChoice(three, 3);
    EXPECT_EQ(three.Index("ComboBox41"), 3);
    EXPECT_EQ(three.text["Label19"], "40031");
    RecordingSink seven;
    seven.listSizes["ComboBox41"] = 5;
    seven.index["ComboBox41"] = 2;
    ApplyHartAddressChoice(seven, 7);
    EXPECT_EQ(seven.Index("ComboBox41"), -1);
    EXPECT_EQ(seven.writes, std::vector<std::string>{"SetIndex ComboBox41 -1"});  // labels unchanged
}
