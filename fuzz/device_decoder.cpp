// The device reply decoder (code 301): only EConvertError leaves; text fields
// get exactly their width (a command text 3n-1 characters or none); list
// indexes come from single digits less their base or a two-character number;
// and what a reply cut short applies is also applied by the whole reply (no
// field is read past the end, none changes when more of the reply arrives).
// Input: one byte choosing where the cut falls, then the reply text.
#include "device_decoder.h"
#include "convert.h"
#include "fuzz_check.h"
#include "recording_sink.h"

#include <algorithm>
#include <map>
#include <vector>

using namespace ortiva;

namespace {

struct Decoded {
    RecordingSink sink;
    bool convertError = false;
};

void Decode(std::string_view reply, Decoded& d)
{
    try {
        DecodeModbusParamsReply(reply, d.sink);
    } catch (const EConvertError&) {
        d.convertError = true;
    }
}

void CheckWrites(const RecordingSink& sink)
{
    static const std::map<std::string, size_t, std::less<>> kWidths = {
        {"Beilv", 5},    {"xishu2", 5},   {"xishu3", 5},   {"xishu4", 5},   {"Edit1", 3},
        {"READADR1", 2}, {"READADR3", 2}, {"READADR5", 2}, {"READADR7", 2},
    };
    for (const std::string& write : sink.writes) {
        const size_t blank1 = write.find(' ');
        const size_t blank2 = write.find(' ', blank1 + 1);
        const std::string verb = write.substr(0, blank1);
        const std::string control = write.substr(blank1 + 1, blank2 - blank1 - 1);
        const std::string value = blank2 == std::string::npos ? "" : write.substr(blank2 + 1);
        if (verb == "SetText") {
            if (control == "Edit4" || control == "Edit5") {
                FUZZ_CHECK(value.empty() || value.size() % 3 == 2);
                FUZZ_CHECK(value.size() <= 3 * 99 - 1);
            } else {
                const auto width = kWidths.find(control);
                FUZZ_CHECK(width != kWidths.end() && value.size() == width->second);
            }
        } else if (verb == "SetIndex") {
            const int index = std::stoi(value);
            const int base = control == "ComboBox34" ? 4 : control == "ComboBox15" ? 3 : 0;
            if (control == "ComboBox17") {
                FUZZ_CHECK(index >= -9 && index <= 99);
            } else {
                FUZZ_CHECK(index >= -base && index <= 9 - base);
            }
        } else {
            FUZZ_CHECK(write == "SetVisible GroupBox13 0" || write == "SetVisible GroupBox13 1");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    const std::string_view reply = fuzz::AsText(data + 1, std::min<size_t>(size - 1, 255));
    Decoded whole;
    Decode(reply, whole);
    CheckWrites(whole.sink);

    const size_t cut = reply.empty() ? 0 : data[0] % (reply.size() + 1);
    Decoded part;
    Decode(reply.substr(0, cut), part);
    CheckWrites(part.sink);
    if (!whole.convertError && !part.convertError) {
        for (const std::string& write : part.sink.writes) {
            if (write.rfind("SetVisible", 0) != 0) {
                FUZZ_CHECK(std::find(whole.sink.writes.begin(), whole.sink.writes.end(), write) !=
                           whole.sink.writes.end());
            }
        }
    }
    return 0;
}
