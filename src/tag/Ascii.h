#pragma once
// ASCII letter case, digits and blanks, and bounded byte access: the rules of frame
// IDs, markers and numbers in tags, which never depend on the locale.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brindle {

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }
constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c; }
constexpr char16_t AsciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

inline std::string AsciiLower(std::string_view s)
{
    std::string out(s);
    for (auto& c : out)
        c = AsciiLower(c);
    return out;
}
inline std::string AsciiUpper(std::string_view s)
{
    std::string out(s);
    for (auto& c : out)
        c = AsciiUpper(c);
    return out;
}
inline std::u16string AsciiLower(std::u16string_view s)
{
    std::u16string out(s);
    for (auto& c : out)
        c = AsciiLower(c);
    return out;
}

inline bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

// At least one character, every one of them 0 to 9.
inline bool AllDigits(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The value of a run of digits (AllDigits).
inline std::int64_t DigitsValue(std::string_view digits)
{
    std::int64_t v = 0;
    for (char c : digits)
        v = v * 10 + (c - '0');
    return v;
}

// Without the blanks (U+0020 only) at both ends.
template <typename Char>
std::basic_string_view<Char> TrimBlanks(std::basic_string_view<Char> s)
{
    const auto first = s.find_first_not_of(Char(' '));
    if (first == std::basic_string_view<Char>::npos)
        return {};
    return s.substr(first, s.find_last_not_of(Char(' ')) - first + 1);
}

// The byte at i, or 0 past the end.
inline unsigned ByteAt(std::string_view s, std::size_t i)
{
    return i < s.size() ? static_cast<unsigned char>(s[i]) : 0u;
}

} // namespace brindle
