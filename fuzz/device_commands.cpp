// The MODBUS parameter page's command builders from operator text: fixed
// frame lengths, the clear time's and start addresses' digits, coefficients of
// exactly five characters that a short plain decimal keeps the value of, the
// read meter command's bytes exactly as the hex byte text gives them, only the
// documented exceptions, and every frame fits TxFrame.
// Input: one byte choosing the builder, six list bytes, then texts separated
// by 0x00.
#include "device_commands.h"
#include "builders.h"
#include "hex_text.h"

#include <cstdlib>

using namespace ortiva;
using namespace ortiva::fuzz;

namespace {

bool PlainDecimal(std::string_view t)
{
    if (!t.empty() && t[0] == '-') {
        t.remove_prefix(1);
    }
    const size_t digits =
        static_cast<size_t>(std::count_if(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }));
    const size_t dots = static_cast<size_t>(std::count(t.begin(), t.end(), '.'));
    return digits >= 1 && dots <= 1 && digits + dots == t.size();
}

void CheckCoefficient(std::string_view text)
{
    try {
        const std::string field = CoefficientField(text, "Variable 2 coefficient");
        FUZZ_CHECK(field.size() == 5);
        if (text.size() >= 5) {
            FUZZ_CHECK(field == text.substr(0, 5));
        } else {
            FUZZ_CHECK(PlainDecimal(text));
            FUZZ_CHECK(std::strtod(field.c_str(), nullptr) == std::strtod(std::string(text).c_str(), nullptr));
        }
    } catch (const EInputError&) {
        FUZZ_CHECK(text.size() < 5 && !PlainDecimal(text));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 7) {
        return 0;
    }
    int list[6];
    for (int i = 0; i < 6; ++i) {
        list[i] = ListIndex(data[1 + i]);
    }
    const int device = (data[1] % 6) - 1;  // -1 (no selection) to 4
    std::string_view texts[4];
    SplitFields(AsText(data + 7, size - 7), texts);

    switch (data[0] % 6) {
    case 0: {
        const std::optional<int32_t> clear = IntegerOf(texts[0]);
        try {
            const Command c = HartPollingCommand(device, list[1], list[2], list[3], list[4], texts[0]);
            FUZZ_CHECK(clear && *clear >= 0 && *clear <= 999);
            CheckFits(c);
            const std::string t = Text(c);
            FUZZ_CHECK(t.size() == 23 && t.rfind("QQS#HART", 0) == 0);
            FUZZ_CHECK(t.substr(19) == Digits(*clear, 3) + "#");
        } catch (const EConvertError&) {
            FUZZ_CHECK(!clear);
        } catch (const EInputError&) {
            FUZZ_CHECK(clear && (*clear < 0 || *clear > 999));
        }
        break;
    }
    case 1: {
        const Command c = OutputFormatsCommand(device, {list[1], list[2], list[3], list[4], list[5]});
        CheckFits(c);
        FUZZ_CHECK(c.bytes.size() == 16);
        break;
    }
    case 2:
        CheckCoefficient(texts[0]);
        try {
            const Command c = Variable1CoefficientCommand(list[1], texts[0]);
            CheckFits(c);
            FUZZ_CHECK(Text(c) == "QQS#FMW:" + std::string(1, static_cast<char>('0' + list[1])) + "," +
                                      CoefficientField(texts[0], "") + "#");
        } catch (const EInputError&) {
            FUZZ_CHECK(texts[0].size() < 5);
        }
        break;
    case 3:
        for (const std::string_view& text : texts) {
            CheckCoefficient(text);
        }
        try {
            const Command c = VariableCoefficientsCommand(texts[0], texts[1], texts[2]);
            CheckFits(c);
            FUZZ_CHECK(c.bytes.size() == 4 + 4 + 3 * 5 + 2 + 1);
        } catch (const EInputError&) {
            FUZZ_CHECK(texts[0].size() < 5 || texts[1].size() < 5 || texts[2].size() < 5);
        }
        break;
    case 4: {
        const HexBytesResult typed = ParseHexBytes(texts[0], kCustomCommandByteLimit);
        const ReadMeterCommandResult r = ReadMeterCommand(device, 1 + data[2] % 2, list[3], texts[0]);
        FUZZ_CHECK(r.message == typed.error);
        if (r.ok()) {
            CheckFits(r.command);
            FUZZ_CHECK(r.command.echo == Echo::Hex);
            const std::string t = Text(r.command);
            FUZZ_CHECK(t.size() == 16 + typed.bytes.size() && t.rfind("QQS#CAMD", 0) == 0);
            FUZZ_CHECK(t.substr(12, 4) == "<" + Digits(static_cast<int32_t>(typed.bytes.size()), 2) + ",");
            FUZZ_CHECK(std::equal(typed.bytes.begin(), typed.bytes.end(), r.command.bytes.begin() + 16));
        }
        break;
    }
    default: {
        std::array<ParsingRow, 4> rows;
        bool allNumbers = true;
        bool allInRange = true;
        for (size_t i = 0; i < rows.size(); ++i) {
            rows[i] = {list[2 + i % 4], std::string(texts[i]), list[(3 + i) % 6]};
            const std::optional<int32_t> start = IntegerOf(texts[i]);
            if (allNumbers && allInRange) {
                allNumbers = start.has_value();
                allInRange = !start || (*start >= 0 && *start <= 99);
            }
        }
        try {
            const Command c = ParsingFormatCommand(device, list[1], rows);
            FUZZ_CHECK(allNumbers && allInRange);
            CheckFits(c);
            FUZZ_CHECK(c.bytes.size() == 32);
        } catch (const EConvertError&) {
            FUZZ_CHECK(!allNumbers);
        } catch (const EInputError&) {
            FUZZ_CHECK(allNumbers && !allInRange);
        }
        break;
    }
    }
    return 0;
}
