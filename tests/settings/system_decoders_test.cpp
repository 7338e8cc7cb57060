#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert.h"
#include "recording_sink.h"
#include "system_decoders.h"

using namespace ortiva;
using ortiva::RecordingSink;
using Writes = std::vector<std::string>;

TEST(CommunicationQueryDecoder, AnswersWhenQvStandsAnywhere)
{
    struct Row {
        std::string reply;
        bool answered;
    };
    const Row rows[] = {
        {"QV:V2.13", true},
        {"##QQQ#QV#\r\nQV:1", true},
        {std::string("\0\0QV:", 5), true},
        {"QQQ#QV#", false},
        {"QV", false},
        {"qv:1", false},
        {"", false},
    };
    for (const auto& r : rows) EXPECT_EQ(DecodeCommunicationQuery(r.reply), r.answered) << r.reply;
}

TEST(SystemParameterDecoder, WritesEveryFieldInKeyOrder)
{
    RecordingSink sink;
    DecodeSystemParameters("QX:BA1:31,BA2:72,MD:2,ADR:247,XY1:0,XY2:5,JTM:050,AADR:00100,00200#", sink);
    EXPECT_EQ(sink.writes, (Writes{
                               "SetIndex ComboBox2 3",
                               "SetIndex ComboBox4 1",
                               "SetIndex ComboBox8 7",
                               "SetIndex ComboBox9 2",
                               "SetIndex ComboBox7 2",
                               "SetIndex ComboBox14 2",
                               "SetText Edit14 247",
                               "SetIndex RS485ADY 0",
                               "SetIndex RS485BDY 5",
                               "SetText Edit6 050",
                               "SetText ABadr 00100",
                               "SetText BBadr 00200",
                           }));
}

TEST(SystemParameterDecoder, KeysAreFoundWhereverTheyStand)
{
    struct Row {
        const char* name;
        std::string reply;
        Writes writes;
    };
    const Row rows[] = {
        {"no QX: nothing at all", "BA1:31,BA2:72,MD:2,ADR:247,XY1:0,XY2:5,JTM:050,AADR:00100,00200", {}},
        {"QX at the end, keys in another order",
         "JTM:120 XY2:1 BA1:52 QX",
         {"SetIndex ComboBox2 5", "SetIndex ComboBox4 2", "SetIndex RS485BDY 1", "SetText Edit6 120"}},
        {"first occurrence wins", "QX BA1:31 BA1:52", {"SetIndex ComboBox2 3", "SetIndex ComboBox4 1"}},
        {"mode above the short list still goes to both", "QXMD:4", {"SetIndex ComboBox7 4", "SetIndex ComboBox14 4"}},
        {"base addresses before the slave address",
         "QX AADR:40001,00200 ADR:017",
         {"SetText Edit14 017", "SetText ABadr 40001", "SetText BBadr 00200"}},
        {"B base address before the slave address", "QX BADR:12345 ADR:009", {"SetText Edit14 009"}},
        {"slave address at the very start", "ADR:005 QX", {"SetText Edit14 005"}},
        {"only base addresses: slave address untouched",
         "QX AADR:00100,00200",
         {"SetText ABadr 00100", "SetText BBadr 00200"}},
        {"AADR needs no colon; +4 and +10 are not looked at",
         "QXAADR#12345;67890",
         {"SetText ABadr 12345", "SetText BBadr 67890"}},
        {"text fields cut by the end of the reply", "QX JTM:05", {"SetText Edit6 05"}},
        {"base addresses cut short", "QX AADR:001", {"SetText ABadr 001", "SetText BBadr "}},
        {"zero bytes are characters like any other",
         std::string("QX\0ADR:0\0"
                     "1",
                     10),
         {std::string("SetText Edit14 0\0"
                      "1",
                      18)}},
    };
    for (const auto& r : rows) {
        RecordingSink sink;
        DecodeSystemParameters(r.reply, sink);
        EXPECT_EQ(sink.writes, r.writes) << r.name;
    }
}

TEST(SystemParameterDecoder, BadDigitStopsAndKeepsEarlierWrites)
{
    const std::string tail = ",MD:2,ADR:247,XY1:0,XY2:5,JTM:050,AADR:00100,00200";
    struct Row {
        std::string reply;
        const char* message;
        Writes writes;
    };
    const Row rows[] = {
        {"QX BA1:x1,BA2:72" + tail, "'x' is not a valid integer value", {}},
        {"QX BA1:3x,BA2:72" + tail, "'x' is not a valid integer value", {"SetIndex ComboBox2 3"}},
        {"QX BA1:31,BA2:7 " + tail,
         "' ' is not a valid integer value",
         {"SetIndex ComboBox2 3", "SetIndex ComboBox4 1", "SetIndex ComboBox8 7"}},
        {"QX BA1:31,MD:-,XY1:0", "'-' is not a valid integer value", {"SetIndex ComboBox2 3", "SetIndex ComboBox4 1"}},
        {"QX ADR:001 XY2:", "'' is not a valid integer value", {"SetText Edit14 001"}},
        {"QX BA1:3", "'' is not a valid integer value", {"SetIndex ComboBox2 3"}},
    };
    for (const auto& r : rows) {
        RecordingSink sink;
        try {
            DecodeSystemParameters(r.reply, sink);
            ADD_FAILURE() << "no conversion error for " << r.reply;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), r.message) << r.reply;
        }
        EXPECT_EQ(sink.writes, r.writes) << r.reply;
    }
}
