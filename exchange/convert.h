// Integer conversion of operator-typed texts and reply characters.
//
// A text that is not an integer raises EConvertError with the message
// "'<text>' is not a valid integer value"; the handler that asked stops there
// and the application's error report shows the message.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ortiva {

class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const std::string& message) : std::runtime_error(message) {}
};

// The message for a text that is not an integer.
std::string NotAnIntegerMessage(std::string_view text);

// Decimal integer in the 32-bit signed range. Accepted: blanks (spaces and
// tabs) before and after, one optional sign, then at least one decimal digit.
// Anything else (letters, hex prefixes, inner blanks, an empty text, a value
// outside -2147483648..2147483647) raises EConvertError.
int32_t StrToInt(std::string_view text);

// Like StrToInt, but gives false instead of raising.
bool TryStrToInt(std::string_view text, int32_t& value);

}  // namespace ortiva

namespace ortiva {

// Input the tool refuses before sending anything (a number outside what its
// field can carry, a frame that would not fit). Shown like a conversion error.
class EInputError : public std::runtime_error {
public:
    explicit EInputError(const std::string& message) : std::runtime_error(message) {}
};

// StrToInt, then a range check: "<what>: '<text>' is outside <lo> to <hi>".
int32_t StrToIntInRange(std::string_view text, int32_t lo, int32_t hi, std::string_view what);

}  // namespace ortiva
