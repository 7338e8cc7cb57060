// How the tool reads the module's replies, written here from the published
// reply layouts and independent of how the simulator builds them.
#pragma once

#include "wire.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace ortiva::sim::testing {

// First position of `key` in `text`, '?' matching any one character.
inline size_t FindKey(std::string_view text, std::string_view key)
{
    for (size_t p = 0; p + key.size() <= text.size(); ++p) {
        bool match = true;
        for (size_t i = 0; i < key.size() && match; ++i) match = key[i] == '?' || key[i] == text[p + i];
        if (match) return p;
    }
    return std::string_view::npos;
}

// The `count` characters at `offset` from the first occurrence of `key`,
// "<no key>" when absent and "<short>" when the reply ends earlier.
inline std::string Field(std::string_view text, std::string_view key, size_t offset, size_t count = 1)
{
    const size_t p = FindKey(text, key);
    if (p == std::string_view::npos) return "<no key>";
    if (p + offset + count > text.size()) return "<short>";
    return std::string(text.substr(p + offset, count));
}

// What the tool keeps of a reply: its first 255 characters.
inline std::string Kept(const Bytes& reply) { return ToText(reply).substr(0, 255); }

inline Bytes Req(std::string_view text) { return ToBytes(text); }

// A HART frame: `preambles` bytes 0xFF, then `body` (delimiter to last data
// byte), then the XOR of the body.
inline Bytes HartFrame(int preambles, Bytes body)
{
    Bytes frame(static_cast<size_t>(preambles), 0xFF);
    uint8_t x = 0;
    for (uint8_t b : body) x ^= b;
    frame.insert(frame.end(), body.begin(), body.end());
    frame.push_back(x);
    return frame;
}

}  // namespace ortiva::sim::testing
