// The float text: never wider than asked; the same as the general text when
// that fits; a cut text in fixed notation is the general text's start; and
// the general text reads back as the single to 15 significant digits.
// Input: four bytes of the single, one byte for the width and the separator.
#include "float_text.h"
#include "fuzz_check.h"

#include <cmath>
#include <cstdlib>

using namespace ortiva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5) {
        return 0;
    }
    const std::array<uint8_t, 4> bytes{data[0], data[1], data[2], data[3]};
    const size_t width = 1 + (data[4] & 0x1F);
    const std::string sep = data[4] & 0x80 ? "," : ".";
    const float single = SingleFromBytes(bytes);

    const std::string general = GeneralText15(single, ".");
    const std::string text = FloatText(bytes, width, sep);
    FUZZ_CHECK(text.size() <= width);
    FUZZ_CHECK(GeneralText15(single, sep).size() == general.size());
    std::string dotted = text;
    for (char& c : dotted) {
        if (c == sep[0]) {
            c = '.';
        }
    }
    if (general.size() <= width) {
        FUZZ_CHECK(dotted == general);
    } else if (dotted.find('E') == std::string::npos && general.find('E') == std::string::npos && !std::isnan(single) &&
               !std::isinf(single) && general.find('.') < width) {
        FUZZ_CHECK(general.rfind(dotted, 0) == 0);
    }

    if (std::isfinite(single)) {
        const double back = std::strtod(general.c_str(), nullptr);
        const double exact = single;
        FUZZ_CHECK(std::fabs(back - exact) <= std::fabs(exact) * 1e-14);
        FUZZ_CHECK(std::signbit(back) == std::signbit(exact) || exact == 0);
    } else {
        FUZZ_CHECK(general == (std::isnan(single) ? "NAN" : "INF") ||
                   general == (std::isnan(single) ? "-NAN" : "-INF"));
    }
    return 0;
}
