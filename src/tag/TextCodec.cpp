#include "TextCodec.h"

#include <array>
#include <cstdint>

namespace brindle {

namespace {

constexpr std::array<char16_t, 32> kHigh1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int encode1252(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (kHigh1252[static_cast<std::size_t>(i)] == c)
            return 0x80 + i;
    return -1;
}

void appendUtf16(std::u16string& out, std::string_view bytes, bool bigEndian)
{
    std::size_t pairs = bytes.size() / 2; // an odd final byte is ignored
    out.reserve(out.size() + pairs);
    for (std::size_t i = 0; i < pairs; ++i) {
        auto a = static_cast<unsigned char>(bytes[2 * i]);
        auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
        out.push_back(static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a)));
    }
}

} // namespace

std::u16string DecodeSingleByte(std::string_view bytes)
{
    std::u16string out(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? kHigh1252[b - 0x80] : static_cast<char16_t>(b);
    }
    return out;
}

std::string EncodeSingleByte(std::u16string_view text)
{
    std::string out(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        int b = encode1252(text[i]);
        out[i] = static_cast<char>(b < 0 ? '?' : b);
    }
    return out;
}

bool FitsSingleByte(std::u16string_view text)
{
    for (char16_t c : text)
        if (encode1252(c) < 0)
            return false;
    return true;
}

std::u16string DecodeMarkedUtf16(std::string_view bytes)
{
    auto findMark = [&](std::size_t from) -> std::size_t {
        for (std::size_t i = from; i + 1 < bytes.size(); ++i) {
            auto a = static_cast<unsigned char>(bytes[i]);
            auto b = static_cast<unsigned char>(bytes[i + 1]);
            if ((a == 0xFF && b == 0xFE) || (a == 0xFE && b == 0xFF))
                return i;
        }
        return std::string_view::npos;
    };
    std::size_t mark = findMark(0);
    std::u16string out = DecodeSingleByte(bytes.substr(0, mark));
    while (mark != std::string_view::npos) {
        bool bigEndian = static_cast<unsigned char>(bytes[mark]) == 0xFE;
        std::size_t next = findMark(mark + 2);
        std::string_view part = bytes.substr(mark + 2,
                                             next == std::string_view::npos ? std::string_view::npos : next - mark - 2);
        appendUtf16(out, part, bigEndian);
        mark = next;
    }
    return out;
}

std::string SwapBytePairs(std::string_view bytes)
{
    std::string out(bytes);
    for (std::size_t i = 0; i + 1 < out.size(); i += 2)
        std::swap(out[i], out[i + 1]);
    return out;
}

std::u16string DecodeUtf16BE(std::string_view bytes)
{
    std::u16string out;
    appendUtf16(out, bytes, true);
    return out;
}

std::string EncodeUtf16WithBom(std::u16string_view text)
{
    std::string out;
    out.reserve(2 + 2 * text.size());
    out.push_back(static_cast<char>(0xFF));
    out.push_back(static_cast<char>(0xFE));
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

std::u16string DecodeUtf8(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t i = 0, n = bytes.size();
    auto at = [&](std::size_t k) { return static_cast<int>(static_cast<unsigned char>(bytes[k])); };
    while (i < n) {
        int b1 = at(i);
        if (b1 < 0xC0) {
            out.push_back(static_cast<char16_t>(b1));
            ++i;
        } else if (b1 < 0xE0) {
            if (i + 1 >= n)
                break;
            out.push_back(static_cast<char16_t>((b1 - 0xC0) * 64 + (at(i + 1) - 0x80)));
            i += 2;
        } else if (b1 < 0xF0) {
            if (i + 2 >= n)
                break;
            out.push_back(static_cast<char16_t>((b1 - 0xE0) * 4096 + (at(i + 1) - 0x80) * 64 + (at(i + 2) - 0x80)));
            i += 3;
        } else {
            // Four-byte sequences become a surrogate pair.
            if (i + 3 >= n)
                break;
            std::uint32_t cp = static_cast<std::uint32_t>((b1 & 0x07) << 18 | (at(i + 1) & 0x3F) << 12 |
                                                          (at(i + 2) & 0x3F) << 6 | (at(i + 3) & 0x3F));
            if (cp >= 0x10000 && cp <= 0x10FFFF) {
                cp -= 0x10000;
                out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
                out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
            } else {
                out.push_back(u'\uFFFD');
            }
            i += 4;
        }
    }
    return out;
}

std::string ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | cp >> 6));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | cp >> 12));
            out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | cp >> 18));
            out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

Utf8Step DecodeUtf8Step(std::string_view s, std::size_t i)
{
    Utf8Step step;
    const std::size_t n = s.size();
    auto cont = [&](std::size_t k) { return k < n && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80; };
    auto b = static_cast<unsigned char>(s[i]);
    std::uint32_t cp = 0;
    if (b < 0x80) {
        cp = b;
        step.length = 1;
    } else if (b >= 0xC2 && b < 0xE0 && cont(i + 1)) {
        cp = (b & 0x1Fu) << 6 | (s[i + 1] & 0x3F);
        step.length = 2;
    } else if (b >= 0xE0 && b < 0xF0 && cont(i + 1) && cont(i + 2)) {
        cp = (b & 0x0Fu) << 12 | (s[i + 1] & 0x3F) << 6 | (s[i + 2] & 0x3F);
        step.length = 3;
        if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))
            return step;
    } else if (b >= 0xF0 && b < 0xF5 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
        cp = (b & 0x07u) << 18 | (s[i + 1] & 0x3F) << 12 | (s[i + 2] & 0x3F) << 6 | (s[i + 3] & 0x3F);
        step.length = 4;
        if (cp < 0x10000 || cp > 0x10FFFF)
            return step;
    } else {
        return step;
    }
    step.codePoint = cp;
    step.valid = true;
    return step;
}

std::u16string FromUtf8(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const Utf8Step step = DecodeUtf8Step(s, i);
        std::uint32_t cp = step.codePoint;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += step.length;
    }
    return out;
}

std::string FileNameForDisplay(std::string_view nameBytes) { return ToUtf8(FromUtf8(nameBytes)); }

} // namespace brindle
