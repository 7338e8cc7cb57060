#include "hart_decoders.h"

#include "float_text.h"
#include "hart_units.h"

namespace ortiva {

namespace {

// Command 0 reply, from the last preamble byte k.
constexpr size_t kIdManufacturer = 8;
constexpr size_t kIdDeviceType = 9;
constexpr size_t kIdPreambles = 10;
constexpr size_t kIdDeviceId = 16;  // three bytes, through k+18

// Command 3 reply.
constexpr size_t kVarByteCount = 8;
constexpr size_t kVarFirstUnit = 15;  // slot s: unit at 15+5(s-1), value at 16+5(s-1) .. 19+5(s-1)
constexpr size_t kVarSlotStride = 5;

std::span<const uint8_t> HeldChunk(ExchangeState& s)
{
    s.RxLength = static_cast<int32_t>(s.RxText.size());
    return std::span<const uint8_t>(s.RxBytes.data(), s.RxText.size());
}

void FillSlot(std::span<const uint8_t> r, size_t unitPos, const HartSlotControls& slot, FieldSink& out,
              const std::string& sep)
{
    const std::array<uint8_t, 4> value{r[unitPos + 1], r[unitPos + 2], r[unitPos + 3], r[unitPos + 4]};
    const std::string text = HartValueText(value, sep);
    out.SetText(slot.valueEdit, text);
    out.SetText(slot.mirrorLabel, text);
    out.SetIndex(slot.unitList, HartUnitIndex(r[unitPos]));
}

}  // namespace

std::optional<size_t> FindHartReply(std::span<const uint8_t> chunk, uint8_t delimiter)
{
    if (chunk.size() < 5) return std::nullopt;
    for (size_t k = 0; k + 5 <= chunk.size(); ++k) {
        if (chunk[k] == 0xFF && chunk[k + 1] == delimiter) return k;
    }
    return std::nullopt;
}

std::string HartValueText(const std::array<uint8_t, 4>& bytes, const std::string& sep)
{
    if (bytes[0] == 0x7F) return "00000000";
    return FloatText(bytes, 9, sep);
}

void DecodeHartIdentityReply(std::span<const uint8_t> chunk, HartIdentity& identity, FieldSink& out)
{
    const auto k = FindHartReply(chunk, kHartIdentityReplyDelimiter);
    if (!k || *k + kIdDeviceId + 2 >= chunk.size()) {
        for (const char* edit : kHartIdentityEdits) out.SetText(edit, "");
        return;
    }
    const auto r = chunk.subspan(*k);
    identity.ManufacturerId = r[kIdManufacturer];
    identity.DeviceType = r[kIdDeviceType];
    identity.RequiredPreambles = r[kIdPreambles];
    out.SetText("Edit28", std::to_string(identity.ManufacturerId));
    out.SetText("Edit29", std::to_string(identity.DeviceType));
    out.SetText("Edit31", std::to_string(identity.RequiredPreambles));
    out.SetIndex("ComboBox27", identity.PollAddress);
    identity.DeviceId = {r[kIdDeviceId], r[kIdDeviceId + 1], r[kIdDeviceId + 2]};
    const uint32_t serial =
        (uint32_t(identity.DeviceId[0]) << 16) | (uint32_t(identity.DeviceId[1]) << 8) | uint32_t(identity.DeviceId[2]);
    out.SetText("Edit32", std::to_string(serial));
}

int DecodeHartVariablesReply(std::span<const uint8_t> chunk, FieldSink& out, const std::string& sep)
{
    const auto k = FindHartReply(chunk, kHartVariablesReplyDelimiter);
    if (!k) return 0;
    const auto r = chunk.subspan(*k);
    auto complete = [&](size_t unitPos) { return unitPos + 4 < r.size(); };

    int filled = 0;
    if (!complete(kVarFirstUnit)) return filled;
    FillSlot(r, kVarFirstUnit, kHartSlots[0], out, sep);
    ++filled;
    const int byteCount = r[kVarByteCount];
    for (size_t n = 0; n < 3 && static_cast<int>(n * kVarSlotStride) < byteCount - 11; ++n) {
        const size_t unitPos = kVarFirstUnit + (n + 1) * kVarSlotStride;
        if (!complete(unitPos)) break;
        FillSlot(r, unitPos, kHartSlots[n + 1], out, sep);
        ++filled;
    }
    return filled;
}

void DecodeHartIdentityReply(ExchangeState& s, HartIdentity& identity, FieldSink& out)
{
    DecodeHartIdentityReply(HeldChunk(s), identity, out);
}

int DecodeHartVariablesReply(ExchangeState& s, FieldSink& out, const std::string& sep)
{
    return DecodeHartVariablesReply(HeldChunk(s), out, sep);
}

}  // namespace ortiva
