#include "convert.h"

namespace ortiva {

std::string NotAnIntegerMessage(std::string_view text)
{
    std::string m = "'";
    m.append(text);
    m += "' is not a valid integer value";
    return m;
}

bool TryStrToInt(std::string_view text, int32_t& value)
{
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    size_t b = 0, e = text.size();
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    if (b == e) return false;
    bool negative = false;
    if (text[b] == '+' || text[b] == '-') {
        negative = text[b] == '-';
        ++b;
    }
    if (b == e) return false;
    int64_t v = 0;
    for (size_t i = b; i < e; ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > 2147483648LL) return false;
    }
    if (negative) v = -v;
    if (v > 2147483647LL || v < -2147483648LL) return false;
    value = static_cast<int32_t>(v);
    return true;
}

int32_t StrToInt(std::string_view text)
{
    int32_t v = 0;
    if (!TryStrToInt(text, v)) throw EConvertError(NotAnIntegerMessage(text));
    return v;
}

}  // namespace ortiva

namespace ortiva {

int32_t StrToIntInRange(std::string_view text, int32_t lo, int32_t hi, std::string_view what)
{
    const int32_t v = StrToInt(text);
    if (v < lo || v > hi) {
        std::string m(what);
        m += ": '";
        m.append(text);
        m += "' is outside " + std::to_string(lo) + " to " + std::to_string(hi);
        throw EInputError(m);
    }
    return v;
}

}  // namespace ortiva
