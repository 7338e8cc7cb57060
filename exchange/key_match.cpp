#include "key_match.h"

#include "convert.h"

namespace ortiva {

size_t FindKey(std::string_view text, std::string_view key)
{
    if (key.empty() || key.size() > text.size()) return std::string_view::npos;
    for (size_t p = 0; p + key.size() <= text.size(); ++p) {
        bool match = true;
        for (size_t i = 0; i < key.size(); ++i) {
            if (key[i] != kAnyChar && key[i] != text[p + i]) {
                match = false;
                break;
            }
        }
        if (match) return p;
    }
    return std::string_view::npos;
}

std::string TextAt(std::string_view text, size_t pos, size_t count)
{
    if (pos >= text.size()) return {};
    return std::string(text.substr(pos, count));
}

int DigitAt(std::string_view text, size_t pos) { return NumberAt(text, pos, 1); }

int NumberAt(std::string_view text, size_t pos, size_t count)
{
    // A number cut short by the end of the reply is not taken for a shorter one.
    const std::string field = TextAt(text, pos, count);
    if (field.size() < count) throw EConvertError(NotAnIntegerMessage(field));
    return StrToInt(field);
}

}  // namespace ortiva
