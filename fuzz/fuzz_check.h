// Shared by the fuzz targets: a check that stops the run with its reason
// (libFuzzer then keeps the input that broke it), and small input helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition);                       \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

namespace ortiva::fuzz {

inline std::string_view AsText(const uint8_t* data, size_t size) { return {reinterpret_cast<const char*>(data), size}; }

// Splits the input into `parts` texts at the byte 0x00 (missing parts are
// empty), so that a seed reads like the operator's fields one after another.
template <size_t N>
void SplitFields(std::string_view input, std::string_view (&fields)[N])
{
    for (size_t i = 0; i < N; ++i) {
        const size_t end = input.find('\0');
        fields[i] = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view{} : input.substr(end + 1);
    }
}

}  // namespace ortiva::fuzz
