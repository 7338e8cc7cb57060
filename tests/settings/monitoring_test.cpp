#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "convert.h"
#include "hex_text.h"
#include "monitoring.h"
#include "recording_sink.h"

using namespace ortiva;
using ortiva::RecordingSink;
using Writes = std::vector<std::string>;

namespace {
std::string Raw(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}
}  // namespace

TEST(MonitoringSet, FrameCarriesFlagCountAndRawBytes)
{
    struct Row {
        int slot;
        bool checked;
        std::string edit;
        std::string frame;
    };
    const Row rows[] = {
        {2, true, "10 20", "QQS#WCAD02:1<02," + Raw({0x10, 0x20})},
        {1, false, "01 03 00 00 00 0A", "QQS#WCAD01:0<06," + Raw({0x01, 0x03, 0x00, 0x00, 0x00, 0x0A})},
        {5, true, "FF", "QQS#WCAD05:1<01," + Raw({0xFF})},
        {6, false, "00 11 22 33 44 55 66 77 88 99 AA BB CC DD",
         "QQS#WCAD06:0<14," +
             Raw({0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD})},
        // Fifteen pairs: the fifteenth is beyond the limit and ignored.
        {3, true, "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F",
         "QQS#WCAD03:1<14," + Raw({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14})},
        {4, true, "7689", "QQS#WCAD04:1<01," + Raw({0x76})},
    };
    for (const auto& r : rows) {
        const MonitoringSetResult res = MonitoringSetCommand(r.slot, r.checked, r.edit);
        ASSERT_TRUE(res.ok()) << r.edit << ": " << res.message;
        EXPECT_EQ(BytesToString(res.command.bytes), r.frame) << r.edit;
        EXPECT_EQ(res.command.bytes.size(), r.frame.size());
        EXPECT_EQ(res.command.echo, Echo::Hex);
        EXPECT_EQ(res.command.pendingCode, kPendingSetAck);
        EXPECT_EQ(res.command.timeoutKind, kTimeoutSet);
        EXPECT_EQ(res.command.timer, ReplyTimer::Set3000);
        EXPECT_FALSE(res.command.delayedClose);
    }
    EXPECT_EQ(MonitoringSetCommand(2, true, "10 20").command.bytes.size(), 18u);
}

TEST(MonitoringSet, RefusalComesBackAsMessage)
{
    struct Row {
        const char* edit;
        const char* message;
    };
    const Row rows[] = {
        {"", "NO SPACK"},         {"10-20", "NO SPACK"},    {"1", "NO SPACK"},
        {"1g 20", "Data eeore!"}, {"10 2a", "Data eeore!"}, {"10 +0", "Data eeore!"},
    };
    for (const auto& r : rows) {
        const MonitoringSetResult res = MonitoringSetCommand(1, true, r.edit);
        EXPECT_FALSE(res.ok()) << r.edit;
        EXPECT_EQ(res.message, r.message) << r.edit;
        EXPECT_TRUE(res.command.bytes.empty()) << r.edit;
    }
}

TEST(MonitoringQuery, FramePerSlot)
{
    for (int s = 1; s <= kMonitoringSlots; ++s) {
        const Command c = MonitoringQueryCommand(s);
        EXPECT_EQ(BytesToString(c.bytes), "QQQ#RCAD0" + std::to_string(s) + "#");
        EXPECT_EQ(c.echo, Echo::Hex);
        EXPECT_EQ(c.pendingCode, kPendingMonitoring);
        EXPECT_EQ(c.timeoutKind, kTimeoutSet);
        EXPECT_EQ(c.timer, ReplyTimer::Set3000);
    }
    EXPECT_EQ(HexText(MonitoringQueryCommand(1).bytes), "51 51 51 23 52 43 41 44 30 31 23 ");
    for (int bad : {0, 7, -1}) {
        EXPECT_THROW(MonitoringQueryCommand(bad), std::out_of_range);
        EXPECT_THROW(MonitoringSetCommand(bad, true, "01"), std::out_of_range);
    }
}

TEST(MonitoringDecoder, FillsTheSlotTheReplyNames)
{
    struct Row {
        const char* name;
        std::string reply;
        Writes writes;
    };
    const Row rows[] = {
        {"slot 2 named, whatever was queried",
         "RCAD2:1<03,01 03 00",
         {"SetChecked ONECHECK02 1", "SetText ONECMAD02 01 03 00"}},
        {"slot 5 unchecked", "QQQ#RCAD05#RCAD5:0<01,FF\r\n", {"SetChecked RUNCHEAK1 0", "SetText RUNCAMD1 FF"}},
        {"count 00 empties the edit", "RCAD6:1<00,", {"SetChecked RUNCHEAK2 1", "SetText RUNCAMD2 "}},
        {"count 00 with nothing after it", "RCAD4:0<00", {"SetChecked ONECHECK04 0", "SetText ONECMAD04 "}},
        {"any flag but '1' is unchecked", "RCAD3:Y<01,AB", {"SetChecked ONECHECK03 0", "SetText ONECMAD03 AB"}},
        {"text after the counted bytes is ignored",
         "RCAD1:1<01,AB CD#",
         {"SetChecked ONECHECK01 1", "SetText ONECMAD01 AB"}},
        {"offsets 7 and 10 are not looked at",
         "RCAD1:1x02yAB CD",
         {"SetChecked ONECHECK01 1", "SetText ONECMAD01 AB CD"}},
        {"first occurrence only", "RCAD3:1<01,AB RCAD4:1<01,CD", {"SetChecked ONECHECK03 1", "SetText ONECMAD03 AB"}},
        {"slot 0 changes nothing", "RCAD0:1<01,AB", {}},
        {"slot 9 changes nothing", "RCAD9:1<01,AB", {}},
        {"a later valid key is not searched for", "RCAD7:1<01,AB RCAD1:1<01,CD", {}},
        {"no key", "QQQ#RCAD01#", {}},
        {"short reply keeps the edit", "RCAD1:1<03,01 03", {"SetChecked ONECHECK01 1"}},
        {"count far beyond the reply", "RCAD2:0<99,01", {"SetChecked ONECHECK02 0"}},
        {"reply ends at the comma", "RCAD2:1<02", {"SetChecked ONECHECK02 1"}},
    };
    for (const auto& r : rows) {
        RecordingSink sink;
        DecodeMonitoringReply(r.reply, sink);
        EXPECT_EQ(sink.writes, r.writes) << r.name;
    }
}

TEST(MonitoringDecoder, BadCountStopsAfterTheCheckBox)
{
    struct Row {
        std::string reply;
        const char* message;
    };
    const Row rows[] = {
        {"RCAD1:1<0x,01", "'x' is not a valid integer value"},
        {"RCAD1:1< 1,01", "' ' is not a valid integer value"},
        {"RCAD1:1<", "'' is not a valid integer value"},
        {"RCAD1:1<1", "'' is not a valid integer value"},
    };
    for (const auto& r : rows) {
        RecordingSink sink;
        try {
            DecodeMonitoringReply(r.reply, sink);
            ADD_FAILURE() << "no conversion error for " << r.reply;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), r.message) << r.reply;
        }
        EXPECT_EQ(sink.writes, (Writes{"SetChecked ONECHECK01 1"})) << r.reply;
    }
    // A reply that ends right after the key: unchecked, then the missing count.
    RecordingSink sink;
    EXPECT_THROW(DecodeMonitoringReply("RCAD1:", sink), EConvertError);
    EXPECT_EQ(sink.writes, (Writes{"SetChecked ONECHECK01 0"}));
}
