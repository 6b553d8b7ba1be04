#include "RowCompare.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <langinfo.h>
#include <locale.h>
#include <numeric>

namespace brindle {

const int kTieBreakColumns[kListColumnCount][kListColumnCount] = {
    {0, 2, 3, 5, 6, 1, 4, 7, 10, 8, 9}, // Filename
    {1, 2, 3, 5, 6, 4, 7, 10, 0, 8, 9}, // Title
    {2, 3, 5, 6, 1, 4, 7, 10, 0, 8, 9}, // Artist
    {3, 5, 6, 2, 1, 4, 7, 10, 0, 8, 9}, // Album
    {4, 2, 3, 5, 6, 1, 7, 10, 0, 8, 9}, // Genre
    {5, 6, 2, 3, 1, 4, 7, 10, 0, 8, 9}, // Track No.
    {6, 5, 2, 3, 1, 4, 7, 10, 0, 8, 9}, // Tracks Total
    {7, 2, 3, 5, 6, 1, 4, 10, 0, 8, 9}, // Year
    {8, 2, 3, 5, 6, 1, 4, 7, 10, 0, 9}, // Duration
    {9, 2, 3, 5, 6, 1, 4, 7, 10, 0, 8}, // Bit Rate
    {10, 3, 5, 6, 2, 1, 4, 7, 0, 8, 9}, // Comments
};

namespace {

constexpr std::size_t kMaxCellChars = 255; // the comparison reads at most this much of a cell

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\u00A0'; }

std::u16string_view trim(std::u16string_view t)
{
    while (!t.empty() && isSpace(t.front()))
        t.remove_prefix(1);
    while (!t.empty() && isSpace(t.back()))
        t.remove_suffix(1);
    return t;
}

std::u16string decimalText(double v)
{
    char buf[64];
    if (v == std::trunc(v) && std::fabs(v) < 1e15)
        std::snprintf(buf, sizeof buf, "%.0f", v);
    else
        std::snprintf(buf, sizeof buf, "%.15g", v);
    std::u16string out;
    for (const char* p = buf; *p; ++p)
        out.push_back(static_cast<char16_t>(*p));
    return out;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool validDate(int y, int m, int d)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1)
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= days[m - 1] + (m == 2 && leap ? 1 : 0);
}

// Splits "12/31/2004" into digit groups and the one separator between them.
bool splitDate(std::u16string_view t, std::vector<std::u16string_view>& parts, char16_t& sep)
{
    parts.clear();
    sep = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= t.size(); ++i) {
        if (i < t.size() && isDigit(t[i]))
            continue;
        if (i == start)
            return false; // empty group or a leading separator
        parts.push_back(t.substr(start, i - start));
        if (i < t.size()) {
            const char16_t c = t[i];
            if (c != u'/' && c != u'.' && c != u'-')
                return false;
            if (sep && c != sep)
                return false;
            sep = c;
        }
        start = i + 1;
    }
    return true;
}

int toInt(std::u16string_view digits)
{
    int v = 0;
    for (char16_t c : digits)
        v = v * 10 + (c - u'0');
    return v;
}

char16_t lowerChar(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<char16_t>(c + 32);
    if (c >= 0x100 && c <= 0x137)
        return (c % 2 == 0) ? static_cast<char16_t>(c + 1) : c;
    if (c == 0x130)
        return u'i';
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c % 2 == 1) ? static_cast<char16_t>(c + 1) : c;
    if (c >= 0x14A && c <= 0x177)
        return (c % 2 == 0) ? static_cast<char16_t>(c + 1) : c;
    if (c == 0x178)
        return 0xFF;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return static_cast<char16_t>(c + 32);
    if (c >= 0x410 && c <= 0x42F)
        return static_cast<char16_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<char16_t>(c + 80);
    return c;
}

// First code point of a UTF-8 string as one UTF-16 unit (0 when empty or outside the BMP).
char16_t firstChar(const char* s)
{
    const auto* u = reinterpret_cast<const unsigned char*>(s);
    if (!u || !u[0])
        return 0;
    if (u[0] < 0x80)
        return u[0];
    if ((u[0] & 0xE0) == 0xC0 && u[1])
        return static_cast<char16_t>(((u[0] & 0x1F) << 6) | (u[1] & 0x3F));
    if ((u[0] & 0xF0) == 0xE0 && u[1] && u[2])
        return static_cast<char16_t>(((u[0] & 0x0F) << 12) | ((u[1] & 0x3F) << 6) | (u[2] & 0x3F));
    return 0;
}

} // namespace

SortLocale SortLocale::fromEnvironment()
{
    SortLocale l;
    locale_t loc = ::newlocale(LC_NUMERIC_MASK | LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (!loc)
        return l;
    if (char16_t c = firstChar(::nl_langinfo_l(RADIXCHAR, loc)))
        l.decimalPoint = c;
    l.groupSeparator = firstChar(::nl_langinfo_l(THOUSEP, loc));
    if (l.groupSeparator == l.decimalPoint)
        l.groupSeparator = 0;
    const std::string fmt = ::nl_langinfo_l(D_FMT, loc);
    auto pos = [&](std::initializer_list<const char*> specs) {
        std::size_t best = std::string::npos;
        for (const char* s : specs)
            best = std::min(best, fmt.find(s));
        return best;
    };
    if (fmt.find("%D") != std::string::npos) {
        l.dateOrder = DateOrder::MonthDayYear;
    } else if (fmt.find("%F") != std::string::npos) {
        l.dateOrder = DateOrder::YearMonthDay;
    } else {
        const std::size_t d = pos({"%d", "%e"}), m = pos({"%m", "%b", "%B"}), y = pos({"%y", "%Y"});
        if (y < m && y < d)
            l.dateOrder = DateOrder::YearMonthDay;
        else if (d < m)
            l.dateOrder = DateOrder::DayMonthYear;
        else
            l.dateOrder = DateOrder::MonthDayYear;
    }
    ::freelocale(loc);
    return l;
}

std::optional<double> ParseNumber(std::u16string_view text, const SortLocale& locale)
{
    const std::u16string_view t = trim(text);
    std::string ascii;
    std::size_t i = 0;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        ascii.push_back(static_cast<char>(t[i++]));
    std::size_t mantissaDigits = 0;
    std::size_t runSinceGroup = 0;
    bool grouped = false;
    while (i < t.size()) {
        if (isDigit(t[i])) {
            ascii.push_back(static_cast<char>(t[i++]));
            ++mantissaDigits;
            ++runSinceGroup;
        } else if (locale.groupSeparator && t[i] == locale.groupSeparator && mantissaDigits > 0 &&
                   (!grouped || runSinceGroup == 3)) {
            // a group separator must be followed by exactly three digits
            for (int k = 1; k <= 3; ++k)
                if (i + k >= t.size() || !isDigit(t[i + k]))
                    return std::nullopt;
            if (i + 4 < t.size() && isDigit(t[i + 4]))
                return std::nullopt;
            grouped = true;
            runSinceGroup = 0;
            ++i;
        } else {
            break;
        }
    }
    if (grouped && runSinceGroup != 3)
        return std::nullopt;
    if (i < t.size() && t[i] == locale.decimalPoint) {
        ascii.push_back('.');
        ++i;
        while (i < t.size() && isDigit(t[i])) {
            ascii.push_back(static_cast<char>(t[i++]));
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
        ascii.push_back('e');
        ++i;
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
            ascii.push_back(static_cast<char>(t[i++]));
        std::size_t expDigits = 0;
        while (i < t.size() && isDigit(t[i])) {
            ascii.push_back(static_cast<char>(t[i++]));
            ++expDigits;
        }
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != t.size())
        return std::nullopt;
    // strtod reads '.' only in the C locale; the text was normalised to that above.
    locale_t c = ::newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    char* end = nullptr;
    const double v = c ? ::strtod_l(ascii.c_str(), &end, c) : std::strtod(ascii.c_str(), &end);
    if (c)
        ::freelocale(c);
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<double> ParsePlayingTime(std::u16string_view text, const SortLocale& locale)
{
    std::vector<std::u16string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i)
        if (i == text.size() || text[i] == u':') {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    const std::size_t n = std::min<std::size_t>(parts.size(), 3);
    double total = 0;
    for (std::size_t k = 0; k < n; ++k) {
        // k = 0 seconds, 1 minutes, 2 hours
        const auto v = ParseNumber(parts[parts.size() - 1 - k], locale);
        if (!v)
            return std::nullopt;
        if (k < 2 ? (*v < 0 || *v > 59) : *v < 0)
            return std::nullopt;
        total += *v * (k == 0 ? 1 : k == 1 ? 60 : 3600);
    }
    return total;
}

std::optional<double> ParseBitRate(std::u16string_view text, const SortLocale& locale)
{
    static constexpr std::u16string_view kUnit = u" kbps ";
    const std::size_t pos = text.find(kUnit);
    if (pos == std::u16string_view::npos)
        return std::nullopt;
    const std::u16string_view mode = text.substr(pos + kUnit.size());
    const bool vbr = mode == u"VBR";
    if (!vbr && mode != u"CBR")
        return std::nullopt;
    const auto rate = ParseNumber(text.substr(0, pos), locale);
    if (!rate || !(*rate > 0) || !(*rate < 214748364))
        return std::nullopt;
    return *rate * 10 + (vbr ? 1 : 0);
}

std::optional<std::int64_t> ParseDate(std::u16string_view text, const SortLocale& locale)
{
    const std::u16string_view t = trim(text);
    std::vector<std::u16string_view> parts;
    char16_t sep = 0;
    if (!splitDate(t, parts, sep) || parts.size() != 3)
        return std::nullopt;
    for (auto p : parts)
        if (p.size() > 4)
            return std::nullopt;
    auto make = [](int y, int m, int d, std::size_t yearDigits) -> std::optional<std::int64_t> {
        if (yearDigits <= 2)
            y += y < 30 ? 2000 : 1900;
        if (!validDate(y, m, d))
            return std::nullopt;
        return daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
    };
    if (sep == u'-' && parts[0].size() == 4) // ISO, whatever the locale
        return make(toInt(parts[0]), toInt(parts[1]), toInt(parts[2]), 4);
    switch (locale.dateOrder) {
    case SortLocale::DateOrder::DayMonthYear:
        return make(toInt(parts[2]), toInt(parts[1]), toInt(parts[0]), parts[2].size());
    case SortLocale::DateOrder::MonthDayYear:
        return make(toInt(parts[2]), toInt(parts[0]), toInt(parts[1]), parts[2].size());
    case SortLocale::DateOrder::YearMonthDay:
        return make(toInt(parts[0]), toInt(parts[1]), toInt(parts[2]), parts[0].size());
    }
    return std::nullopt;
}

std::u16string LowerCase(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& c : out)
        c = lowerChar(c);
    return out;
}

void AlignEmbeddedNumbers(std::u16string& a, std::u16string& b)
{
    std::size_t prevA = 0, prevB = 0;
    for (;;) {
        std::size_t da = prevA, db = prevB;
        while (da < a.size() && !isDigit(a[da]))
            ++da;
        while (db < b.size() && !isDigit(b[db]))
            ++db;
        if (da >= a.size() || db >= b.size() || da != db)
            return;
        if (a.compare(prevA, da - prevA, b, prevB, db - prevB) != 0)
            return;
        std::size_t ea = da, eb = db;
        while (ea < a.size() && isDigit(a[ea]))
            ++ea;
        while (eb < b.size() && isDigit(b[eb]))
            ++eb;
        const std::size_t la = ea - da, lb = eb - db, len = std::max(la, lb);
        a.insert(da, len - la, u'0');
        b.insert(db, len - lb, u'0');
        prevA = da + len;
        prevB = db + len;
    }
}

SortValue MakeSortValue(std::u16string_view cell, const SortLocale& locale)
{
    cell = cell.substr(0, std::min(cell.size(), kMaxCellChars));
    SortValue v;
    std::optional<double> converted = ParsePlayingTime(cell, locale);
    if (!converted)
        converted = ParseBitRate(cell, locale);
    if (converted) {
        v.number = converted;
        v.text = decimalText(*converted);
        return v;
    }
    v.text = LowerCase(cell);
    v.number = ParseNumber(cell, locale);
    if (!v.number)
        v.day = ParseDate(cell, locale);
    return v;
}

int CompareSortValues(const SortValue& a, const SortValue& b)
{
    if (a.number && b.number)
        return *a.number < *b.number ? -1 : *a.number > *b.number ? 1 : 0;
    if (a.day && b.day)
        return *a.day < *b.day ? -1 : *a.day > *b.day ? 1 : 0;
    std::u16string ta = a.text, tb = b.text;
    AlignEmbeddedNumbers(ta, tb);
    const int c = ta.compare(tb);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int CompareRows(const std::vector<std::u16string>& a, const std::vector<std::u16string>& b, int sortColumn,
                bool ascending, const SortLocale& locale)
{
    if (sortColumn < 0 || sortColumn >= kListColumnCount)
        sortColumn = 0;
    for (int level = 0; level < kListColumnCount; ++level) {
        const auto c = static_cast<std::size_t>(kTieBreakColumns[sortColumn][level]);
        const std::u16string_view ca = c < a.size() ? std::u16string_view(a[c]) : std::u16string_view();
        const std::u16string_view cb = c < b.size() ? std::u16string_view(b[c]) : std::u16string_view();
        const int r = CompareSortValues(MakeSortValue(ca, locale), MakeSortValue(cb, locale));
        if (r != 0)
            return ascending ? r : -r;
    }
    return 0;
}

std::vector<std::size_t> SortRowOrder(std::size_t rowCount, int sortColumn, bool ascending, const SortLocale& locale,
                                      const std::function<std::u16string_view(std::size_t, int)>& cell)
{
    if (sortColumn < 0 || sortColumn >= kListColumnCount)
        sortColumn = 0;
    // Each column's values are made when a comparison first needs that column.
    std::vector<std::vector<SortValue>> columns(kListColumnCount);
    auto column = [&](int c) -> const std::vector<SortValue>& {
        auto& col = columns[static_cast<std::size_t>(c)];
        if (col.empty() && rowCount > 0) {
            col.reserve(rowCount);
            for (std::size_t r = 0; r < rowCount; ++r)
                col.push_back(MakeSortValue(cell(r, c), locale));
        }
        return col;
    };
    std::vector<std::size_t> order(rowCount);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        for (int level = 0; level < kListColumnCount; ++level) {
            const auto& col = column(kTieBreakColumns[sortColumn][level]);
            const int r = CompareSortValues(col[x], col[y]);
            if (r != 0)
                return ascending ? r < 0 : r > 0;
        }
        return false;
    });
    return order;
}

} // namespace brindle
