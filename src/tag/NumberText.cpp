#include "NumberText.h"

#include <cstdlib>
#include <string>

namespace brindle {

namespace {

std::u16string_view trimBlanks(std::u16string_view s)
{
    auto first = s.find_first_not_of(u' ');
    if (first == std::u16string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(u' ') - first + 1);
}

} // namespace

bool IsNumberText(std::u16string_view text)
{
    std::u16string_view s = trimBlanks(text);
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
    std::u16string_view s = trimBlanks(text);
    const std::string ascii(s.begin(), s.end()); // only sign, digits and a point remain
    return std::strtod(ascii.c_str(), nullptr);
}

} // namespace brindle
