// Key match: how every ASCII reply is read.
//
// A field is found by the first occurrence of its key anywhere in the reply
// and read at fixed offsets from the key's first character. Readers never
// look past the end of the reply: a text field gets the characters that are
// there, a digit field past the end is a conversion error like any other
// non-digit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ortiva {

// A '?' in `key` stands for one character that is not compared.
inline constexpr char kAnyChar = '?';

// Position of the first occurrence of `key` in `text`, or npos.
size_t FindKey(std::string_view text, std::string_view key);

// The one character at `pos` converted as a decimal integer (EConvertError
// for anything but a digit, and for a position past the end).
int DigitAt(std::string_view text, size_t pos);

// The decimal number written by the `count` characters from `pos`
// (EConvertError when they are not one, or when the reply ends before them).
int NumberAt(std::string_view text, size_t pos, size_t count);

// Up to `count` characters from `pos`, fewer when the text ends earlier.
std::string TextAt(std::string_view text, size_t pos, size_t count);

}  // namespace ortiva
