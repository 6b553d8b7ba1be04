#include "NumberText.h"

#include "Ascii.h"

#include <cstdlib>
#include <string>

namespace brindle {

bool IsNumberText(std::u16string_view text)
{
    std::u16string_view s = TrimBlanks(text);
    if (s.empty())
        return false;
    if (s[0] == u'+' || s[0] == u'-')
        s.remove_prefix(1);
    bool digit = false, point = false;
    for (char16_t c : s) {
        if (c >= u'0' && c <= u'9')
            digit = true;
        else if (c == u'.' && !point)
            point = true;
        else
            return false;
    }
    return digit;
}

std::optional<double> NumberTextValue(std::u16string_view text)
{
    if (!IsNumberText(text))
        return std::nullopt;
    std::u16string_view s = TrimBlanks(text);
    const std::string ascii(s.begin(), s.end()); // only sign, digits and a point remain
    return std::strtod(ascii.c_str(), nullptr);
}

} // namespace brindle
