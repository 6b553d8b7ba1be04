#pragma once
// The file list's sort comparison, free of widgets so that the window and the
// command-line tool order rows identically. A row is its eleven cell texts, in column
// order (file name first).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindle {

constexpr int kListColumnCount = 11;

// For each sort column, the columns compared in turn until two rows differ.
extern const int kTieBreakColumns[kListColumnCount][kListColumnCount];

// How the user writes numbers and dates. ISO dates (yyyy-mm-dd) are always understood.
struct SortLocale {
    enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };
    char16_t decimalPoint = u'.';
    char16_t groupSeparator = u',';
    DateOrder dateOrder = DateOrder::MonthDayYear;

    // From the process environment (LC_NUMERIC, LC_TIME), without any toolkit.
    static SortLocale fromEnvironment();
};

// One cell as the comparison sees it: playing times and bit rates turned into plain
// numbers, then recognised as a number or a date where possible.
struct SortValue {
    std::u16string text; // lower-cased
    std::optional<double> number;
    std::optional<std::int64_t> day; // days since 1970-01-01
};

SortValue MakeSortValue(std::u16string_view cell, const SortLocale& locale);

// -1, 0 or 1 in ascending sense.
int CompareSortValues(const SortValue& a, const SortValue& b);

// Compares two rows by sortColumn (0-based) and its tie-break columns; -1, 0 or 1
// with the direction applied.
int CompareRows(const std::vector<std::u16string>& a, const std::vector<std::u16string>& b, int sortColumn,
                bool ascending, const SortLocale& locale);

// The order of rows after sorting (stable: rows that compare equal keep their order).
// cell(row, column) returns that cell's text; each cell is converted at most once.
std::vector<std::size_t> SortRowOrder(std::size_t rowCount, int sortColumn, bool ascending, const SortLocale& locale,
                                      const std::function<std::u16string_view(std::size_t, int)>& cell);

// Building blocks, exposed for tests.
std::optional<double> ParsePlayingTime(std::u16string_view text, const SortLocale& locale);
std::optional<double> ParseBitRate(std::u16string_view text, const SortLocale& locale);
std::optional<double> ParseNumber(std::u16string_view text, const SortLocale& locale);
std::optional<std::int64_t> ParseDate(std::u16string_view text, const SortLocale& locale);
std::u16string LowerCase(std::u16string_view text);
// Left-pads embedded digit runs so that "track 2" and "track 10" compare as numbers.
void AlignEmbeddedNumbers(std::u16string& a, std::u16string& b);

} // namespace brindle
