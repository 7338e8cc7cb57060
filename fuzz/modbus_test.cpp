// The MODBUS communication test request from Edit18, Edit19 and Edit20: each
// text's low 8 bits, function 3, high bytes 0 and a CRC-16 that an independent
// bitwise computation agrees with; EConvertError alone leaves.
// Input: the three texts separated by 0x00.
#include "modbus_test.h"
#include "builders.h"

using namespace ortiva;
using namespace ortiva::fuzz;

namespace {

uint16_t Crc16(const uint8_t* bytes, size_t count)
{
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
        }
    }
    return crc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view texts[3];
    SplitFields(AsText(data, size), texts);
    std::optional<int32_t> values[3];
    bool all = true;
    for (size_t i = 0; i < 3; ++i) {
        values[i] = IntegerOf(texts[i]);
        all = all && values[i].has_value();
    }
    try {
        const Command c = ModbusTestCommand(texts[0], texts[1], texts[2]);
        FUZZ_CHECK(all);
        CheckFits(c);
        FUZZ_CHECK(c.echo == Echo::Hex && c.pendingCode == 302 && c.timeoutKind == 1);
        const std::vector<uint8_t> expected{
            static_cast<uint8_t>(*values[0]), kReadHoldingRegisters, 0, static_cast<uint8_t>(*values[1]), 0,
            static_cast<uint8_t>(*values[2])};
        FUZZ_CHECK(c.bytes.size() == 8 && std::equal(expected.begin(), expected.end(), c.bytes.begin()));
        const uint16_t crc = Crc16(c.bytes.data(), 6);
        FUZZ_CHECK(c.bytes[6] == (crc & 0xFF) && c.bytes[7] == (crc >> 8));
    } catch (const EConvertError&) {
        FUZZ_CHECK(!all);
    }
    return 0;
}
