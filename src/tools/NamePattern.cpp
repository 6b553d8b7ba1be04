#include "NamePattern.h"

#include "tag/Ascii.h"
#include "tag/TextCodec.h"
#include "tag/clsID3.h"

#include <array>
#include <utility>

namespace brindle {

namespace {

// Short names users of other tag editors type, for properties whose full names are long.
constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kAliases = {{
    {"track", "TrackNumber"},
    {"tracks", "TracksTotal"},
    {"disc", "DiscNumber"},
    {"discs", "DiscsTotal"},
    {"comment", "Comments"},
}};

constexpr std::string_view kFileName = "filename";

bool endsWithMp3(std::string_view s) { return s.size() >= 4 && EqualsIgnoreAsciiCase(s.substr(s.size() - 4), ".mp3"); }

// Whole characters: a surrogate pair is one character.
std::u32string toChars(std::u16string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        out.push_back(c);
    }
    return out;
}

std::u16string toUtf16(std::u32string_view chars)
{
    std::u16string out;
    out.reserve(chars.size());
    for (char32_t c : chars) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

// NUL, the other C0 controls, DEL and the C1 controls: a name holding one is refused
// or garbles a terminal.
bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }
bool unfitForName(char32_t c) { return c == U'/' || isControl(c); }
bool isDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

enum class Shape { Any, Digits, Year };

Shape shapeOf(const TextProperty* p)
{
    if (!p)
        return Shape::Any;
    if (p->name == "TrackNumber" || p->name == "TracksTotal" || p->name == "DiscNumber" || p->name == "DiscsTotal")
        return Shape::Digits;
    return p->name == "Year" ? Shape::Year : Shape::Any;
}

std::string problemInLiteral(std::u32string_view literal)
{
    for (char32_t c : literal) {
        if (c == U'/')
            return "the pattern contains \"/\", which a file name cannot hold";
        if (isControl(c))
            return "the pattern contains a control character, which a file name cannot hold";
    }
    return {};
}

} // namespace

std::string_view WithoutMp3(std::string_view fileName)
{
    return endsWithMp3(fileName) ? fileName.substr(0, fileName.size() - 4) : fileName;
}

std::vector<std::string> NamePattern::PlaceholderNames()
{
    std::vector<std::string> names;
    for (const auto& p : TextProperties())
        names.push_back(AsciiLower(p.name));
    for (const auto& [alias, property] : kAliases)
        names.emplace_back(alias);
    names.emplace_back(kFileName);
    return names;
}

std::optional<NamePattern> NamePattern::Parse(std::string_view pattern, std::string& error)
{
    if (endsWithMp3(pattern))
        pattern.remove_suffix(4);
    if (pattern.empty()) {
        error = "the pattern is empty";
        return std::nullopt;
    }
    NamePattern result;
    auto literal = [&]() -> std::u32string& {
        if (result.tokens_.empty() || result.tokens_.back().kind != Token::Kind::Literal)
            result.tokens_.push_back({Token::Kind::Literal, {}, nullptr, {}});
        return result.tokens_.back().literal;
    };
    bool placeholders = false;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const std::size_t percent = pattern.find('%', i);
        if (percent != i) {
            const std::size_t end = percent == std::string_view::npos ? pattern.size() : percent;
            literal() += toChars(FromUtf8(std::string(pattern.substr(i, end - i))));
            i = end;
            continue;
        }
        const std::size_t close = pattern.find('%', i + 1);
        if (close == std::string_view::npos) {
            error = "a \"%\" in the pattern opens no placeholder (write %% for a \"%\")";
            return std::nullopt;
        }
        const std::string name = AsciiLower(pattern.substr(i + 1, close - i - 1));
        const std::string typed(pattern.substr(i, close - i + 1));
        i = close + 1;
        if (name.empty()) {
            literal() += U'%';
            continue;
        }
        placeholders = true;
        if (name == kFileName) {
            result.tokens_.push_back({Token::Kind::FileName, {}, nullptr, typed});
            continue;
        }
        const TextProperty* property = nullptr;
        for (const auto& p : TextProperties())
            if (AsciiLower(p.name) == name)
                property = &p;
        for (const auto& [alias, target] : kAliases)
            if (alias == name)
                property = FindTextProperty(target);
        if (!property) {
            error = "unknown placeholder \"" + typed + "\"";
            return std::nullopt;
        }
        result.tokens_.push_back({Token::Kind::Property, {}, property, typed});
    }
    for (const Token& t : result.tokens_)
        if (t.kind == Token::Kind::Literal)
            if (std::string problem = problemInLiteral(t.literal); !problem.empty()) {
                error = problem;
                return std::nullopt;
            }
    if (!placeholders) {
        error = "the pattern has no placeholder";
        return std::nullopt;
    }
    return result;
}

std::string NamePattern::NameFor(const clsID3& tag, std::string_view fileName, std::string_view replacement) const
{
    std::string name;
    bool anyValue = false;
    for (const Token& t : tokens_) {
        switch (t.kind) {
        case Token::Kind::Literal: name += ToUtf8(toUtf16(t.literal)); break;
        case Token::Kind::FileName: // bytes kept as they are
            name += WithoutMp3(fileName);
            anyValue = anyValue || !WithoutMp3(fileName).empty();
            break;
        case Token::Kind::Property: {
            std::u16string value = tag.*(t.property->member);
            if (t.property->name == "TrackNumber" && value.size() == 1 && isDigit(value[0]))
                value.insert(value.begin(), u'0');
            anyValue = anyValue || !value.empty();
            std::u32string kept;
            for (char32_t c : toChars(value)) {
                if (unfitForName(c)) {
                    name += ToUtf8(toUtf16(kept));
                    name += replacement;
                    kept.clear();
                } else {
                    kept.push_back(c);
                }
            }
            name += ToUtf8(toUtf16(kept));
            break;
        }
        }
    }
    if (!anyValue)
        return {};
    return name + ".mp3";
}

std::string NamePattern::ReadingProblem() const
{
    bool properties = false;
    for (const Token& t : tokens_)
        properties = properties || t.property;
    if (!properties)
        return "the pattern names no tag property to read";
    for (std::size_t i = 0; i < tokens_.size(); ++i)
        for (std::size_t j = i + 1; j < tokens_.size(); ++j)
            if (tokens_[i].property && tokens_[i].property == tokens_[j].property)
                return "the pattern names " + std::string(tokens_[i].property->name) + " twice (" +
                       tokens_[i].placeholder + " and " + tokens_[j].placeholder +
                       "), so a name could give it two values";
    return {};
}

std::optional<std::vector<PatternValue>> NamePattern::ValuesFromName(std::string_view fileName) const
{
    const std::u32string name = toChars(FromUtf8(std::string(WithoutMp3(fileName))));
    const std::size_t n = name.size(), count = tokens_.size();
    // digitsFrom[p]: how many digits run from p.
    std::vector<std::size_t> digitsFrom(n + 1, 0);
    for (std::size_t p = n; p-- > 0;)
        digitsFrom[p] = isDigit(name[p]) ? digitsFrom[p + 1] + 1 : 0;

    // fits[t][p]: tokens t.. match name[p..]. Filled from the last token back, each row
    // in O(n) (a literal in O(n * its length)), so the whole is linear in the name times
    // the pattern: no backtracking blow-up whatever the pattern.
    std::vector<std::vector<bool>> fits(count + 1, std::vector<bool>(n + 1, false));
    fits[count][n] = true;
    // firstFit[p]: the smallest q >= p with fits[t + 1][q], n + 1 if none.
    std::vector<std::size_t> firstFit(n + 2);
    auto fillFirstFit = [&](const std::vector<bool>& next) {
        firstFit[n + 1] = n + 1;
        for (std::size_t p = n + 1; p-- > 0;)
            firstFit[p] = next[p] ? p : firstFit[p + 1];
    };
    // The end of the shortest text from p that token t may take with the rest matching;
    // n + 1 if none. Needs firstFit for row t + 1.
    auto shortestEnd = [&](std::size_t t, std::size_t p) -> std::size_t {
        const std::vector<bool>& next = fits[t + 1];
        switch (shapeOf(tokens_[t].property)) {
        case Shape::Any: return firstFit[p];
        case Shape::Digits: return firstFit[p] <= p + digitsFrom[p] ? firstFit[p] : n + 1;
        case Shape::Year:
            if (next[p])
                return p;
            return digitsFrom[p] >= 4 && next[p + 4] ? p + 4 : n + 1;
        }
        return n + 1;
    };
    for (std::size_t t = count; t-- > 0;) {
        const Token& token = tokens_[t];
        std::vector<bool>& row = fits[t];
        if (token.kind == Token::Kind::Literal) {
            const std::size_t len = token.literal.size();
            for (std::size_t p = 0; p + len <= n; ++p)
                row[p] = fits[t + 1][p + len] && name.compare(p, len, token.literal) == 0;
            continue;
        }
        fillFirstFit(fits[t + 1]);
        for (std::size_t p = 0; p <= n; ++p)
            row[p] = shortestEnd(t, p) <= n;
    }
    if (!fits[0][0])
        return std::nullopt;

    std::vector<PatternValue> values;
    std::size_t p = 0;
    for (std::size_t t = 0; t < count; ++t) {
        const Token& token = tokens_[t];
        if (token.kind == Token::Kind::Literal) {
            p += token.literal.size();
            continue;
        }
        fillFirstFit(fits[t + 1]);
        const std::size_t end = shortestEnd(t, p);
        if (token.property)
            values.push_back({token.property, toUtf16(std::u32string_view(name).substr(p, end - p))});
        p = end;
    }
    return values;
}

std::string ReplacementProblem(std::string_view replacement)
{
    for (char32_t c : toChars(FromUtf8(std::string(replacement))))
        if (unfitForName(c))
            return "the replacement cannot hold \"/\" or a control character itself";
    return {};
}

} // namespace brindle
