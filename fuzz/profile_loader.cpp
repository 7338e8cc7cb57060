// The profile loader (ParseProfile) against the schema's limits: a profile
// it takes has every key its groups and meter types call for, each command
// "" or 1 to 14 bytes written exactly as the hex writer writes them (so no
// frame is shortened), each number inside its range, each list value one of
// its items; written out and read again it gives the same values; and the
// restore's frames are built from it or refused as a profile.
// Input: the file's bytes.
#include "choice_lists.h"
#include "device_commands.h"
#include "fuzz_check.h"
#include "hex_text.h"
#include "monitoring.h"
#include "profile.h"

#include <string>

using namespace ortiva;
using namespace ortiva::cli;

namespace {

void CheckValue(const KeyDef& d, const std::string& text)
{
    switch (d.kind) {
    case Kind::HexBytes: {
        if (text.empty()) return;
        const HexBytesResult r = ParseHexBytes(text, kMonitoringMaxBytes);
        FUZZ_CHECK(r.ok());
        FUZZ_CHECK(!r.bytes.empty() && r.bytes.size() <= static_cast<size_t>(kMonitoringMaxBytes));
        FUZZ_CHECK(HexText(r.bytes) == text + " ");
        return;
    }
    case Kind::Integer: {
        const int v = std::stoi(text);
        FUZZ_CHECK(std::to_string(v) == text && v >= d.lo && v <= d.hi);
        return;
    }
    case Kind::NumberChoice:
    case Kind::Choice: FUZZ_CHECK(ItemIndex(d.items, text) >= 0); return;
    case Kind::Flag: FUZZ_CHECK(text == "true" || text == "false"); return;
    case Kind::Text: FUZZ_CHECK(text.size() <= 5); return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Profile p;
    try {
        p = ParseProfile(fuzz::AsText(data, size));
    } catch (const Failure&) {
        return 0;
    }
    size_t expected = 0;
    for (const KeyDef& d : KeyTable()) {
        const bool indexed = d.group == Group::Device || d.group == Group::Custom || d.group == Group::Monitoring;
        const int first = d.group == Group::Monitoring ? 1 : 0;
        const int count = !indexed ? 1 : d.group == Group::Monitoring ? kMonitoringSlots : kDeviceCount;
        for (int i = first; i < first + count; ++i) {
            const std::string key = FlatKey(d, i);
            const auto it = p.values.find(key);
            // Custom parsing keys exactly for a custom meter.
            const bool present = d.group != Group::Custom ||
                                 p.values.at("devices[" + std::to_string(i) + "].meter_type") == kMeterTypeItems[0];
            FUZZ_CHECK(present == (it != p.values.end()));
            if (!present) continue;
            ++expected;
            CheckValue(d, it->second);
        }
    }
    FUZZ_CHECK(p.values.size() == expected);

    const Profile again = ParseProfile(ProfileText(p));
    FUZZ_CHECK(again.values == p.values);
    try {
        (void)RestoreSteps(p, 'a');
    } catch (const Failure&) {
    }
    return 0;
}
