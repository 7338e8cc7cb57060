#include "float_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ortiva {

namespace {

// Significant digits (trailing zeros dropped) and decimal exponent of |v|
// rounded to `digits` significant digits. v must be finite and non-zero.
void Decompose(double v, int digits, std::string& sig, int& exp10)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", digits - 1, std::fabs(v));
    // buf: d[.ddd]e[+-]xx
    const char* e = std::strchr(buf, 'e');
    sig.clear();
    for (const char* p = buf; p < e; ++p)
        if (*p != '.') sig += *p;
    while (sig.size() > 1 && sig.back() == '0') sig.pop_back();
    exp10 = std::atoi(e + 1);
}

// Text with '.' as the separator.
std::string Scientific(bool negative, const std::string& sig, int exp10)
{
    std::string t = negative ? "-" : "";
    t += sig[0];
    if (sig.size() > 1) {
        t += '.';
        t.append(sig, 1, std::string::npos);
    }
    t += 'E';
    if (exp10 < 0) t += '-';
    t += std::to_string(std::abs(exp10));
    return t;
}

std::string Fixed(bool negative, const std::string& sig, int exp10)
{
    std::string t = negative ? "-" : "";
    if (exp10 >= 0) {
        const size_t intDigits = static_cast<size_t>(exp10) + 1;
        if (sig.size() <= intDigits) {
            t += sig;
            t.append(intDigits - sig.size(), '0');
        } else {
            t.append(sig, 0, intDigits);
            t += '.';
            t.append(sig, intDigits, std::string::npos);
        }
    } else {
        t += "0.";
        t.append(static_cast<size_t>(-exp10 - 1), '0');
        t += sig;
    }
    return t;
}

// GeneralText15 with '.' as the separator.
std::string General15Dot(double v)
{
    const bool negative = std::signbit(v);
    if (std::isnan(v)) return negative ? "-NAN" : "NAN";
    if (std::isinf(v)) return negative ? "-INF" : "INF";
    if (v == 0) return "0";
    std::string sig;
    int exp10 = 0;
    Decompose(v, 15, sig, exp10);
    if (exp10 >= -4 && exp10 < 15) return Fixed(negative, sig, exp10);
    return Scientific(negative, sig, exp10);
}

std::string WithSeparator(const std::string& dotted, const std::string& sep)
{
    std::string out;
    for (char c : dotted) {
        if (c == '.')
            out += sep;
        else
            out += c;
    }
    return out;
}

}  // namespace

float SingleFromBytes(const std::array<uint8_t, 4>& b)
{
    const uint32_t bits = (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
    float f;
    static_assert(sizeof f == sizeof bits);
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::string GeneralText15(double value, const std::string& sep) { return WithSeparator(General15Dot(value), sep); }

std::string FloatText(const std::array<uint8_t, 4>& b, size_t maxChars, const std::string& sep)
{
    const double v = SingleFromBytes(b);
    std::string t = General15Dot(v);
    if (t.size() > maxChars) {
        const size_t dot = t.find('.');
        const bool scientific = t.find('E') != std::string::npos;
        if (!scientific && dot != std::string::npos && dot < maxChars) {
            t.resize(maxChars);  // only digits after the separator are lost
        } else {
            // Fewer significant digits in scientific notation, the most that
            // fit; "NAN" and "INF" have no digits and are only cut.
            const bool negative = std::signbit(v);
            std::string best;
            for (int digits = 15; digits >= 1 && std::isfinite(v); --digits) {
                std::string sig;
                int exp10 = 0;
                Decompose(v, digits, sig, exp10);
                std::string s = Scientific(negative, sig, exp10);
                if (s.size() <= maxChars) {
                    best = s;
                    break;
                }
            }
            t = best.empty() ? t.substr(0, maxChars) : best;
        }
    }
    return WithSeparator(t, sep);
}

}  // namespace ortiva
