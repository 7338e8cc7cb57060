// The module's configuration commands: every set command read back through
// the query that reports it, at the positions the tool reads.
#include "module.h"
#include "reply_reader.h"

#include <gtest/gtest.h>

#include <cctype>

namespace ortiva::sim {
namespace {

using testing::Field;
using testing::FindKey;
using testing::Kept;
using testing::Req;
using namespace std::string_literals;

std::string Ask(Module& m, std::string_view request) { return ToText(m.Handle(Req(request))); }

// Everything the module reports about itself.
std::string Snapshot(Module& m)
{
    std::string all = Ask(m, "QQQ#QV#") + Ask(m, "QQQ#QX#");
    for (char d = '0'; d <= '4'; ++d) all += Ask(m, std::string("QQQ#QQ") + d + "#");
    for (char s = '1'; s <= '6'; ++s) all += Ask(m, std::string("QQQ#RCAD0") + s + "#");
    return all;
}

TEST(SimSystem, VersionReplyCarriesQvAndTheProductionData)
{
    Module m;
    EXPECT_NE(Ask(m, "QQQ#QV#").find("QV:V"), std::string::npos);
    EXPECT_EQ(Ask(m, "KAVORN#PCBSN:00000123,006#"), "KAVORN#PCBSN:OK#");
    EXPECT_NE(Ask(m, "QQQ#QV#").find("00000123,006"), std::string::npos);
    EXPECT_EQ(Ask(m, "KAVORN#PCBSN:-0000123,006#"), "KAVORN#PCBSN:ERR#");
    EXPECT_EQ(Ask(m, "KAVORN#PCBSN:0000123,006#"), "KAVORN#PCBSN:ERR#");
}

TEST(SimSystem, EachSetIsReadBackWhereTheSystemDecoderLooks)
{
    struct Case {
        const char* set;
        const char* key;
        size_t offset;
        const char* expected;
    };
    const Case cases[] = {
        {"QQS#BA1:72#", "BA1:", 4, "72"},
        {"QQS#BA2:51#", "BA2:", 4, "51"},
        {"QQS#MD:4#", "MD:", 3, "4"},
        {"QQS#ADR:247#", "ADR:", 4, "247"},
        {"QQS#ADR:000#", "ADR:", 4, "000"},
        {"QQS#XY1:0#", "XY1:", 4, "0"},
        {"QQS#XY2:5#", "XY2:", 4, "5"},
        {"QQS#JTM:050#", "JTM:", 4, "050"},
        {"QQS#AADR:40001#", "AADR", 5, "40001"},
        {"QQS#BADR:00200#", "AADR", 11, "00200"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set);
        Module m;
        const std::string set = c.set;
        const std::string key = set.substr(4, set.find(':') - 4);
        EXPECT_EQ(Ask(m, set), "QQS#" + key + ":OK#");
        const std::string reply = Ask(m, "QQQ#QX#");
        EXPECT_NE(reply.find("QX"), std::string::npos);
        EXPECT_EQ(Field(reply, c.key, c.offset, std::string_view(c.expected).size()), c.expected);
    }
}

TEST(SimSystem, RefusedCommandsChangeNothing)
{
    const std::string refused[] = {
        "QQS#MD:/#",  // list without a selection
        "QQS#MD:5#",
        "QQS#BA1:82#",
        "QQS#BA1:3#",
        "QQS#BA2:33#",
        "QQS#ADR:248#",
        "QQS#ADR:1#",
        "QQS#ADR:001",
        "QQS#XY1:6#",
        "QQS#JTM:05a#",
        "QQS#AADR:4000#",
        "QQS#YB:3#",
        "QQS#RESET:1#",
        "QQS#HART5:1,1,05,5,060#",
        "QQS#HART0:1,1,20,5,060#",
        "QQS#HART0:1,1,05,3,060#",
        "QQS#HART0:1,1,0/,5,060#",
        "QQS#HART0:1;1,05,5,060#",
        "QQS#DFOT0:20000#",
        "QQS#DFOT0:0000#",
        "QQS#FMW:4,0.001#",
        "QQS#FMW:1,0.01#",
        "QQS#FMU:1.000,1.000#",
        "QQS#MDBS0:2,1030,0000,0000,0000#",
        "QQS#MDBS0:8,3030,0000,0000,0000#",
        "QQS#MDBS0:8,1030,0000,0000,000#",
        "QQS#NOPE:1#",
        // byte lists whose count disagrees, or for no such device, command or slot
        std::string("QQS#CAMD01:1<03,\x01\x02", 18),
        std::string("QQS#CAMD01:1<01,\x01\x02", 18),
        "QQS#CAMD01:1<15,123456789012345",
        "QQS#CAMD03:1<00,",
        "QQS#CAMD51:1<00,",
        "QQS#CAMD01:/<00,",
        "QQS#WCAD07:1<00,",
        "QQS#WCAD11:1<00,",
        "QQQ#QQ5#",
        "QQQ#RCAD07#",
        "QQQ#QX",
    };
    for (const std::string& request : refused) {
        SCOPED_TRACE(request);
        Module m;
        const std::string before = Snapshot(m);
        const std::string ack = Ask(m, request);
        EXPECT_TRUE(ack.ends_with("ERR#")) << ack;
        EXPECT_EQ(Snapshot(m), before);
    }
}

TEST(SimSystem, ResetRestoresFactorySettingsButKeepsTheSerialNumber)
{
    Module m;
    const std::string factory = Ask(m, "QQQ#QX#");
    const std::string factory_device = Ask(m, "QQQ#QQ1#");
    Ask(m, "QQS#BA1:72#");
    Ask(m, "QQS#JTM:999#");
    Ask(m, "QQS#HART1:1,0,07,9,123#");
    Ask(m, "QQS#WCAD01:1<01,\x7f");
    Ask(m, "KAVORN#PCBSN:12345678,101#");
    EXPECT_EQ(Ask(m, "QQS#RESET#"), "QQS#RESET:OK#");
    EXPECT_EQ(Ask(m, "QQQ#QX#"), factory);
    EXPECT_EQ(Ask(m, "QQQ#QQ1#"), factory_device);
    EXPECT_EQ(Field(Ask(m, "QQQ#RCAD01#"), "RCAD?:", 8, 2), "00");
    EXPECT_NE(Ask(m, "QQQ#QV#").find("12345678,101"), std::string::npos);
}

// --- per-device records -------------------------------------------------

// Device 2 set as an operator would, with both custom commands.
Module DeviceTwoConfigured()
{
    Module m;
    EXPECT_EQ(Ask(m, "QQS#HART2:1,0,07,9,123#"), "QQS#HART2:OK#");
    EXPECT_EQ(Ask(m, "QQS#DFOT2:13421#"), "QQS#DFOT2:OK#");
    EXPECT_EQ(Ask(m, "QQS#FMW:3,0.125#"), "QQS#FMW:OK#");
    EXPECT_EQ(Ask(m, "QQS#FMU:2.500,0.750,#1:ab#"), "QQS#FMU:OK#");
    EXPECT_EQ(Ask(m, "QQS#MDBS2:9,1030,2991,0001,1450#"), "QQS#MDBS2:OK#");
    EXPECT_EQ(Ask(m, std::string("QQS#CAMD21:1<04,\x01\x03\x00\x02", 20)), "QQS#CAMD21:OK#");
    EXPECT_EQ(Ask(m, "QQS#CAMD22:0<14,\xFF\x23QQ:#\x00\x01\x02\x03\x04\x05\x06\x07"s), "QQS#CAMD22:OK#");
    EXPECT_EQ(Ask(m, "QQS#MD:0#"), "QQS#MD:OK#");
    return m;
}

struct DeviceField {
    const char* key;
    size_t offset;
    const char* expected;
};

// Device 2's fields as the device decoder reads them.
const DeviceField kDeviceTwoFields[] = {
    {"FMW:", 4, "3"},
    {"FMW:", 6, "0.125"},
    {"FMU:", 4, "2.500"},
    {"FMU:", 10, "0.750"},
    {"FMU:", 16, "#1:ab"},
    {"HART?:", 6, "1"},
    {"HART?:", 8, "0"},
    {"HART?:", 10, "07"},
    {"HART?:", 13, "9"},
    {"HART?:", 15, "123"},
    {"DFO?:", 5, "13421"},
    {"ZDY?:", 5, "9"},
    {"ZDY?:", 7, "1"},
    {"ZDY?:", 8, "03"},
    {"ZDY?:", 10, "0"},
    {"ZDY?:", 12, "2"},
    {"ZDY?:", 13, "99"},
    {"ZDY?:", 15, "1"},
    {"ZDY?:", 17, "0"},
    {"ZDY?:", 18, "00"},
    {"ZDY?:", 20, "1"},
    {"ZDY?:", 22, "1"},
    {"ZDY?:", 23, "45"},
    {"ZDY?:", 25, "0"},
    {"MD:", 3, "0"},
    {"CAMD?1:", 7, "1"},
    {"CAMD?1:", 9, "04"},
    {"CAMD?1:", 12, "01 03 00 02"},
    {"CAMD?2:", 7, "0"},
    {"CAMD?2:", 9, "14"},
    {"CAMD?2:", 12, "FF 23 51 51 3A 23 00 01 02 03 04 05 06 07"},
};

void ExpectDeviceTwo(const std::string& reply)
{
    for (const DeviceField& f : kDeviceTwoFields)
        EXPECT_EQ(Field(reply, f.key, f.offset, std::string_view(f.expected).size()), f.expected)
            << f.key << " +" << f.offset;
}

TEST(SimDevice, EveryParameterOfDeviceTwoIsReadBackWithinTheFirst255Characters)
{
    Module m = DeviceTwoConfigured();
    const Bytes reply = m.Handle(Req("QQQ#QQ2#"));
    EXPECT_LE(reply.size(), 255u);  // even with two 14-byte commands
    const std::string kept = Kept(reply);
    EXPECT_TRUE(kept.starts_with("QQ"));
    EXPECT_EQ(Field(kept, "HART?:", 4), "2");
    ExpectDeviceTwo(kept);
}

TEST(SimDevice, OtherDevicesKeepTheirOwnRecords)
{
    Module m = DeviceTwoConfigured();
    const std::string device0 = Ask(m, "QQQ#QQ0#");
    EXPECT_EQ(Field(device0, "HART?:", 4), "0");
    EXPECT_EQ(Field(device0, "HART?:", 10, 2), "00");
    EXPECT_EQ(Field(device0, "DFO?:", 5, 5), "00000");
    EXPECT_EQ(Field(device0, "CAMD?1:", 9, 2), "00");
    EXPECT_EQ(Field(device0, "FMW:", 6, 5), "0.125");  // the coefficients are the module's
    ExpectDeviceTwo(Ask(m, "QQQ#QQ2#"));
}

TEST(SimDevice, ShapedRepliesForTheDecoder)
{
    Module m = DeviceTwoConfigured();

    m.options = {};
    m.options.reorder = true;
    const std::string reordered = Ask(m, "QQQ#QQ2#");
    EXPECT_LT(FindKey(reordered, "CAMD?2:"), FindKey(reordered, "FMW:"));
    ExpectDeviceTwo(reordered);

    m.options = {};
    m.options.lateSections = true;
    const Bytes late = m.Handle(Req("QQQ#QQ2#"));
    const std::string kept = Kept(late);
    for (const char* key : {"FMW:", "FMU:", "HART?:", "DFO?:"}) EXPECT_NE(FindKey(kept, key), std::string::npos) << key;
    for (const char* key : {"ZDY?:", "MD:", "CAMD?1:", "CAMD?2:"}) {
        EXPECT_EQ(FindKey(kept, key), std::string::npos) << key;
        EXPECT_NE(FindKey(ToText(late), key), std::string::npos) << key;
    }

    m.options = {};
    m.options.meterType = 20;
    EXPECT_EQ(Field(Ask(m, "QQQ#QQ2#"), "HART?:", 10, 2), "20");

    m.options = {};
    m.options.badDigit = true;
    EXPECT_FALSE(std::isdigit(static_cast<unsigned char>(Field(Ask(m, "QQQ#QQ2#"), "DFO?:", 5)[0])));
    EXPECT_FALSE(std::isdigit(static_cast<unsigned char>(Field(Ask(m, "QQQ#QX#"), "XY1:", 4)[0])));
    EXPECT_EQ(Field(Ask(m, "QQQ#QX#"), "BA1:", 4, 2), "30");  // fields before it are sound
    EXPECT_FALSE(std::isdigit(static_cast<unsigned char>(Field(Ask(m, "QQQ#RCAD01#"), "RCAD?:", 8)[0])));
}

// --- monitoring slots ---------------------------------------------------

TEST(SimSlots, EachSlotIsReadBackWhereTheMonitoringDecoderLooks)
{
    struct Case {
        std::string set;
        const char* query;
        const char* slot;
        const char* flag;
        const char* count;
        const char* text;
    };
    const Case cases[] = {
        {std::string("QQS#WCAD02:1<02,\x10\x20", 18), "QQQ#RCAD02#", "2", "1", "02", "10 20"},
        {"QQS#WCAD01:0<00,", "QQQ#RCAD01#", "1", "0", "00", ""},
        {std::string("QQS#WCAD06:1<03,\x01\x03\x00", 19), "QQQ#RCAD06#", "6", "1", "03", "01 03 00"},
        {"QQS#WCAD05:1<14,ABCDEFGHIJKLMN", "QQQ#RCAD05#", "5", "1", "14", "41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        Module m;
        EXPECT_TRUE(Ask(m, c.set).ends_with(":OK#"));
        const std::string reply = Ask(m, c.query);
        EXPECT_EQ(Field(reply, "RCAD?:", 4), c.slot);
        EXPECT_EQ(Field(reply, "RCAD?:", 6), c.flag);
        EXPECT_EQ(Field(reply, "RCAD?:", 8, 2), c.count);
        const size_t n = std::string_view(c.text).size();
        if (n > 0) {
            EXPECT_EQ(Field(reply, "RCAD?:", 11, n), c.text);
        }
    }
}

}  // namespace
}  // namespace ortiva::sim
