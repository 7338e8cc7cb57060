// The IEEE 754 calculator: four hex bytes typed as "41 20 00 00" become the
// single-precision value they encode. A local calculation; nothing is sent.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ortiva {

inline constexpr const char* kNoSpacesMessage = "Input data contains no spaces";
inline constexpr const char* kInvalidCharactersMessage = "Invalid characters detected. Please re-enter!";

// Characters the value text of the calculator keeps (Edit22).
inline constexpr size_t kCalculatorWidth = 10;

// The calculator's own reading of its input: a text of length 3k+2 (k >= 0)
// whose every third character is a blank and whose other characters are
// upper-case hex digits, one pair per byte. The first four pairs are the bytes,
// most significant first; pairs past the fourth are checked but not used, and
// bytes not typed are 0x00.
// Refusals: a separator position that is not a blank gives kNoSpacesMessage
// (checked first); a character that is not 0-9 or A-F, an incomplete last pair,
// a trailing blank or an empty text give kInvalidCharactersMessage.
struct CalculatorInput {
    std::array<uint8_t, 4> bytes{};
    std::string message;  // "" when the text was accepted
    bool ok() const { return message.empty(); }
};
CalculatorInput ParseCalculatorInput(std::string_view text);

// Button13 ("Calculation"): the text for Edit22, FloatText of the bytes cut to
// 10 characters with `sep` as the decimal separator, or the message to show
// (then Edit22 keeps its text).
struct CalculatorResult {
    std::string value;
    std::string message;
    bool ok() const { return message.empty(); }
};
CalculatorResult Calculate(std::string_view edit7, const std::string& sep);

}  // namespace ortiva
