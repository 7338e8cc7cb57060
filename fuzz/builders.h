// Shared by the command builder targets: what every built frame promises.
#pragma once

#include "convert.h"
#include "exchange_rules.h"
#include "fuzz_check.h"

#include <algorithm>
#include <optional>
#include <string>

namespace ortiva::fuzz {

// A frame fits TxFrame and is placed there whole, as the text that is sent.
inline void CheckFits(const Command& c)
{
    FUZZ_CHECK(!c.bytes.empty());
    FUZZ_CHECK(c.bytes.size() <= kTxFrameSize);
    ExchangeState s;
    s.TxFrame.fill(0xA5);
    const std::string sent = PlaceInTxFrame(s, c.bytes);
    FUZZ_CHECK(sent.size() == c.bytes.size());
    FUZZ_CHECK(std::equal(c.bytes.begin(), c.bytes.end(), s.TxFrame.begin()));
    FUZZ_CHECK(std::equal(sent.begin(), sent.end(), c.bytes.begin(),
                          [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }));
}

inline std::string Text(const Command& c) { return std::string(c.bytes.begin(), c.bytes.end()); }

// The integer a text stands for, when it is one.
inline std::optional<int32_t> IntegerOf(std::string_view text)
{
    int32_t value = 0;
    if (!TryStrToInt(text, value)) {
        return std::nullopt;
    }
    return value;
}

// `value` written with at least `width` digits.
inline std::string Digits(int32_t value, size_t width)
{
    std::string t = std::to_string(value);
    return std::string(t.size() < width ? width - t.size() : 0, '0') + t;
}

// A list index as the window passes it: -1 (no selection) to 9.
inline int ListIndex(uint8_t byte) { return static_cast<int>(byte % 11) - 1; }

}  // namespace ortiva::fuzz
