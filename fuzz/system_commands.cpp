// The system page's command builders from operator text: a number its field
// carries gives exactly its digits in the frame, a text that is no integer
// raises EConvertError and a number out of range EInputError, nothing else
// leaves; every frame fits TxFrame.
// Input: one byte choosing the builder, two list bytes, then the edit texts
// separated by 0x00.
#include "system_commands.h"
#include "builders.h"

using namespace ortiva;
using namespace ortiva::fuzz;

namespace {

// Builds with `build`; checks the outcome against the value the text stands
// for, the field's range and the frame the value must give.
template <class Build>
void CheckNumberField(std::string_view text, int32_t hi, Build build, const std::string& prefix, size_t width)
{
    const std::optional<int32_t> value = IntegerOf(text);
    try {
        const Command c = build();
        FUZZ_CHECK(value && *value >= 0 && *value <= hi);
        CheckFits(c);
        FUZZ_CHECK(Text(c) == prefix + Digits(*value, width) + "#");
    } catch (const EConvertError&) {
        FUZZ_CHECK(!value);
    } catch (const EInputError&) {
        FUZZ_CHECK(value && (*value < 0 || *value > hi));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) {
        return 0;
    }
    const int a = ListIndex(data[1]);
    const int b = ListIndex(data[2]);
    std::string_view edits[2];
    SplitFields(AsText(data + 3, size - 3), edits);
    const std::string_view edit = edits[0];
    const auto digit = [](int index) { return std::string(1, static_cast<char>('0' + index)); };

    switch (data[0] % 12) {
    case 0:
        CheckNumberField(
            edit, 999, [&] { return SetSlaveAddressCommand(edit); }, "QQS#ADR:", 3);
        break;
    case 1:
        CheckNumberField(
            edit, 999, [&] { return SetPollingIntervalCommand(edit); }, "QQS#JTM:", 3);
        break;
    case 2:
        CheckNumberField(
            edit, 99999, [&] { return SetBaseAddressACommand(edit); }, "QQS#AADR:", 5);
        break;
    case 3:
        CheckNumberField(
            edit, 99999, [&] { return SetBaseAddressBCommand(edit); }, "QQS#BADR:", 5);
        break;
    case 4: {
        const std::optional<int32_t> serial = IntegerOf(edits[0]);
        const std::optional<int32_t> inspector = IntegerOf(edits[1]);
        try {
            const Command c = SerialNumberCommand(edits[0], edits[1]);
            FUZZ_CHECK(serial && inspector && *serial >= 0 && *inspector >= 0);
            CheckFits(c);
            FUZZ_CHECK(Text(c) == "KAVORN#PCBSN:" + Digits(*serial, 8) + "," + Digits(*inspector, 3) + "#");
            FUZZ_CHECK(c.timer == ReplyTimer::None);
        } catch (const EConvertError&) {
            // The serial is converted first.
            FUZZ_CHECK(!serial || (*serial >= 0 && !inspector));
        } catch (const EInputError&) {
            FUZZ_CHECK(serial && (*serial < 0 || (inspector && *inspector < 0)));
        }
        break;
    }
    case 5:
    case 6: {
        const Command c = data[0] % 12 == 5 ? SetSerialACommand(a, b) : SetSerialBCommand(a, b);
        CheckFits(c);
        FUZZ_CHECK(Text(c) == std::string(data[0] % 12 == 5 ? "QQS#BA1:" : "QQS#BA2:") + digit(a) + digit(b) + "#");
        FUZZ_CHECK(c.delayedClose);
        break;
    }
    case 7: FUZZ_CHECK(Text(SetModeCommand(a)) == "QQS#MD:" + digit(a) + "#"); break;
    case 8: FUZZ_CHECK(Text(SetReturnTimeACommand(a)) == "QQS#XY1:" + digit(a) + "#"); break;
    case 9: FUZZ_CHECK(Text(SetReturnTimeBCommand(a)) == "QQS#XY2:" + digit(a) + "#"); break;
    default:
        for (const Command& c : {ParameterInitializationCommand(), Label8Command(), Label51Command(),
                                 CommunicationQueryCommand(), SystemParametersQueryCommand()}) {
            CheckFits(c);
        }
        break;
    }
    return 0;
}
