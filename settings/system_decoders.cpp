#include "system_decoders.h"

#include "key_match.h"

namespace ortiva {

namespace {

constexpr size_t npos = std::string_view::npos;

// First "ADR:" that is the slave address key itself, not the tail of one of
// the base address keys.
size_t FindSlaveAddressKey(std::string_view text)
{
    size_t from = 0;
    while (from < text.size()) {
        const size_t p = FindKey(text.substr(from), "ADR:");
        if (p == npos) return npos;
        const size_t at = from + p;
        if (at == 0 || (text[at - 1] != 'A' && text[at - 1] != 'B')) return at;
        from = at + 1;
    }
    return npos;
}

}  // namespace

bool DecodeCommunicationQuery(std::string_view rxText) { return FindKey(rxText, "QV:") != npos; }

void DecodeSystemParameters(std::string_view rxText, FieldSink& sink)
{
    const std::string_view t = rxText;
    if (FindKey(t, "QX") == npos) return;

    if (const size_t k = FindKey(t, "BA1:"); k != npos) {
        sink.SetIndex("ComboBox2", DigitAt(t, k + 4));
        sink.SetIndex("ComboBox4", DigitAt(t, k + 5));
    }
    if (const size_t k = FindKey(t, "BA2:"); k != npos) {
        sink.SetIndex("ComboBox8", DigitAt(t, k + 4));
        sink.SetIndex("ComboBox9", DigitAt(t, k + 5));
    }
    if (const size_t k = FindKey(t, "MD:"); k != npos) {
        const int mode = DigitAt(t, k + 3);
        sink.SetIndex("ComboBox7", mode);
        sink.SetIndex("ComboBox14", mode);
    }
    if (const size_t k = FindSlaveAddressKey(t); k != npos) sink.SetText("Edit14", TextAt(t, k + 4, 3));
    if (const size_t k = FindKey(t, "XY1:"); k != npos) sink.SetIndex("RS485ADY", DigitAt(t, k + 4));
    if (const size_t k = FindKey(t, "XY2:"); k != npos) sink.SetIndex("RS485BDY", DigitAt(t, k + 4));
    if (const size_t k = FindKey(t, "JTM:"); k != npos) sink.SetText("Edit6", TextAt(t, k + 4, 3));
    if (const size_t k = FindKey(t, "AADR"); k != npos) {
        sink.SetText("ABadr", TextAt(t, k + 5, 5));
        sink.SetText("BBadr", TextAt(t, k + 11, 5));
    }
}

}  // namespace ortiva
