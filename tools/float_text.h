// The text of an IEEE 754 single, as the HART values and the calculator show it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace ortiva {

// Four bytes, first most significant (sign and exponent first), as a float.
float SingleFromBytes(const std::array<uint8_t, 4>& b);

// General format with 15 significant digits of the single widened exactly to
// double: trailing zeros and a trailing separator dropped, fixed notation for
// magnitudes (rounded to 15 digits) from 0.0001 up to below 1E15, otherwise
// "d.dddE[-]x"; zero (of either sign) is "0"; "INF"/"NAN" after a minus sign
// when the sign bit is set. `sep` is the decimal separator of the system's
// regional settings.
std::string GeneralText15(double value, const std::string& sep);

// GeneralText15 of the single, kept to `maxChars` characters (the separator
// counts as one). Digits after the separator are cut without rounding; a text
// whose cut would lose digits before the separator or its exponent is given
// instead in scientific notation with as many digits as fit (1E9 rather than
// a misleading 100000000).
std::string FloatText(const std::array<uint8_t, 4>& b, size_t maxChars, const std::string& sep);

}  // namespace ortiva
