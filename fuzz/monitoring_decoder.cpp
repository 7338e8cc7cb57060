// The monitoring slot reply (code 501) against its header: slot digit at
// offset 4, check box from offset 6, two count digits at 8 and 9, then the
// 3n-1 characters from offset 11 only when all of them are there. Only
// EConvertError leaves, after the check box was written.
// Input: the reply text.
#include "convert.h"
#include "fuzz_check.h"
#include "monitoring.h"
#include "recording_sink.h"

#include <vector>

using namespace ortiva;

namespace {

struct Expected {
    std::vector<std::string> writes;
    bool convertError = false;
};

bool Digit(std::string_view t, size_t at) { return at < t.size() && t[at] >= '0' && t[at] <= '9'; }

Expected Reference(std::string_view t)
{
    Expected e;
    size_t p = std::string_view::npos;
    for (size_t i = 0; i + 6 <= t.size(); ++i) {
        if (t.compare(i, 4, "RCAD") == 0 && t[i + 5] == ':') {
            p = i;
            break;
        }
    }
    if (p == std::string_view::npos || t[p + 4] < '1' || t[p + 4] > '6') {
        return e;
    }
    const MonitoringSlotControls& slot = MonitoringSlot(t[p + 4] - '0');
    e.writes.push_back(std::string("SetChecked ") + slot.checkBox +
                       (p + 6 < t.size() && t[p + 6] == '1' ? " 1" : " 0"));
    if (!Digit(t, p + 8) || !Digit(t, p + 9)) {
        e.convertError = true;
        return e;
    }
    const size_t n = static_cast<size_t>((t[p + 8] - '0') * 10 + (t[p + 9] - '0'));
    const size_t length = n == 0 ? 0 : 3 * n - 1;
    if (p + 11 + length <= t.size() || n == 0) {
        e.writes.push_back(std::string("SetText ") + slot.edit + " " +
                           std::string(n == 0 ? std::string_view{} : t.substr(p + 11, length)));
    }
    return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view reply = fuzz::AsText(data, std::min<size_t>(size, 255));
    const Expected expected = Reference(reply);
    RecordingSink sink;
    bool convertError = false;
    try {
        DecodeMonitoringReply(reply, sink);
    } catch (const EConvertError&) {
        convertError = true;
    }
    FUZZ_CHECK(convertError == expected.convertError);
    FUZZ_CHECK(sink.writes == expected.writes);
    return 0;
}
