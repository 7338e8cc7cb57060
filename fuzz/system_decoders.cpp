// The two system query decoders against the header's field table: the
// communication query finds "QV:" anywhere; the parameter query writes exactly
// the fields whose keys are there, in the table's order, with the stated
// widths, and leaves by EConvertError only, after the fields before it.
// Input: the reply text.
#include "system_decoders.h"
#include "convert.h"
#include "fuzz_check.h"
#include "recording_sink.h"

#include <vector>

using namespace ortiva;

namespace {

constexpr size_t npos = std::string_view::npos;

// The writes the table asks for, or the point where a digit is missing.
struct Expected {
    std::vector<std::string> writes;
    bool convertError = false;
};

Expected Reference(std::string_view t)
{
    Expected e;
    if (t.find("QX") == npos) {
        return e;
    }
    const auto digit = [&](size_t at, const char* control) {
        if (e.convertError) {
            return;
        }
        if (at >= t.size() || t[at] < '0' || t[at] > '9') {
            e.convertError = true;
            return;
        }
        e.writes.push_back(std::string("SetIndex ") + control + " " + std::string(1, t[at]));
    };
    const auto text = [&](size_t at, size_t count, const char* control) {
        if (!e.convertError) {
            e.writes.push_back(std::string("SetText ") + control + " " +
                               std::string(at < t.size() ? t.substr(at, count) : std::string_view{}));
        }
    };
    if (size_t k = t.find("BA1:"); k != npos) {
        digit(k + 4, "ComboBox2");
        digit(k + 5, "ComboBox4");
    }
    if (size_t k = t.find("BA2:"); k != npos) {
        digit(k + 4, "ComboBox8");
        digit(k + 5, "ComboBox9");
    }
    if (size_t k = t.find("MD:"); k != npos) {
        digit(k + 3, "ComboBox7");
        digit(k + 3, "ComboBox14");
    }
    size_t adr = t.find("ADR:");
    while (adr != npos && adr > 0 && (t[adr - 1] == 'A' || t[adr - 1] == 'B')) {
        adr = t.find("ADR:", adr + 1);
    }
    if (adr != npos) {
        text(adr + 4, 3, "Edit14");
    }
    if (size_t k = t.find("XY1:"); k != npos) {
        digit(k + 4, "RS485ADY");
    }
    if (size_t k = t.find("XY2:"); k != npos) {
        digit(k + 4, "RS485BDY");
    }
    if (size_t k = t.find("JTM:"); k != npos) {
        text(k + 4, 3, "Edit6");
    }
    if (size_t k = t.find("AADR"); k != npos) {
        text(k + 5, 5, "ABadr");
        text(k + 11, 5, "BBadr");
    }
    return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The decoders see the received text, at most 255 characters.
    const std::string_view reply = fuzz::AsText(data, std::min<size_t>(size, 255));
    FUZZ_CHECK(DecodeCommunicationQuery(reply) == (reply.find("QV:") != npos));

    const Expected expected = Reference(reply);
    RecordingSink sink;
    bool convertError = false;
    try {
        DecodeSystemParameters(reply, sink);
    } catch (const EConvertError&) {
        convertError = true;
    }
    FUZZ_CHECK(convertError == expected.convertError);
    FUZZ_CHECK(sink.writes == expected.writes);
    return 0;
}
