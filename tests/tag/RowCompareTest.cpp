#include "tag/RowCompare.h"

#include <gtest/gtest.h>

using namespace brindle;

namespace {

using Row = std::vector<std::u16string>;

Row row(std::initializer_list<std::u16string> cells)
{
    Row r(cells);
    r.resize(kListColumnCount);
    return r;
}

// A row with one cell set.
Row with(int column, std::u16string text)
{
    Row r(kListColumnCount);
    r[static_cast<std::size_t>(column)] = std::move(text);
    return r;
}

const SortLocale us{};
const SortLocale german{u',', u'.', SortLocale::DateOrder::DayMonthYear};

int cmp(const Row& a, const Row& b, int column, bool ascending = true, const SortLocale& l = us)
{
    return CompareRows(a, b, column, ascending, l);
}

std::vector<std::u16string> sortColumn(std::vector<std::u16string> cells, int column, bool ascending = true)
{
    std::vector<Row> rows;
    for (auto& c : cells)
        rows.push_back(with(column, c));
    const auto order = SortRowOrder(rows.size(), column, ascending, us, [&](std::size_t r, int c) {
        return std::u16string_view(rows[r][static_cast<std::size_t>(c)]);
    });
    std::vector<std::u16string> out;
    for (std::size_t i : order)
        out.push_back(rows[i][static_cast<std::size_t>(column)]);
    return out;
}

} // namespace

TEST(CompareRows, DurationsCompareAsTimes)
{
    EXPECT_EQ(cmp(with(8, u"9:59"), with(8, u"10:00"), 8), -1);
    EXPECT_EQ(cmp(with(8, u"1:00:00"), with(8, u"59:59"), 8), 1);
    EXPECT_EQ(cmp(with(8, u"10:00"), with(8, u"9:59"), 8, false), -1);
    EXPECT_EQ(*ParsePlayingTime(u"1:02:05", us), 3725);
    EXPECT_EQ(*ParsePlayingTime(u"45", us), 45);
    EXPECT_EQ(*ParsePlayingTime(u"9:8:7:6", us), 8 * 3600 + 7 * 60 + 6); // only the last three parts count
    EXPECT_FALSE(ParsePlayingTime(u"12:75", us));
    EXPECT_FALSE(ParsePlayingTime(u"60:00:61", us));
    EXPECT_FALSE(ParsePlayingTime(u"75", us));
    EXPECT_FALSE(ParsePlayingTime(u":30", us));
    EXPECT_FALSE(ParsePlayingTime(u"", us));
    // 12:75 is not a time, so it is compared as text with the other's seconds ("540"):
    // as a time it would come after 9:00.
    EXPECT_EQ(cmp(with(8, u"12:75"), with(8, u"9:00"), 8), -1);
}

TEST(CompareRows, BitRatesKnowTheirMode)
{
    EXPECT_EQ(sortColumn({u"320 kbps CBR", u"128 kbps VBR", u"96 kbps CBR", u"128 kbps CBR", u"129 kbps CBR"}, 9),
              (std::vector<std::u16string>{u"96 kbps CBR", u"128 kbps CBR", u"128 kbps VBR", u"129 kbps CBR",
                                           u"320 kbps CBR"}));
    EXPECT_EQ(*ParseBitRate(u"128 kbps VBR", us), 1281);
    EXPECT_FALSE(ParseBitRate(u"128 kbps vbr", us));
    EXPECT_FALSE(ParseBitRate(u"0 kbps CBR", us));
    EXPECT_FALSE(ParseBitRate(u"214748364 kbps CBR", us));
    EXPECT_FALSE(ParseBitRate(u"128 kbps CBR ", us));
}

TEST(CompareRows, TextIsNaturalAndIgnoresCase)
{
    EXPECT_EQ(cmp(with(1, u"Song 9"), with(1, u"Song 10"), 1), -1);
    EXPECT_EQ(sortColumn({u"Track 10b", u"track 2", u"Track 1", u"Track 10a", u"Ärger", u"apple"}, 1),
              (std::vector<std::u16string>{u"apple", u"Track 1", u"track 2", u"Track 10a", u"Track 10b", u"Ärger"}));
    // Equal titles fall through to the artist.
    Row a = row({u"a.mp3", u"song 9", u"Beta"});
    Row b = row({u"b.mp3", u"Song 9", u"Alpha"});
    EXPECT_EQ(cmp(a, b, 1), 1);
    EXPECT_EQ(cmp(a, b, 1, false), -1);
    std::u16string x = u"cd 7 track 2", y = u"cd 12 track 10";
    AlignEmbeddedNumbers(x, y);
    EXPECT_EQ(x, u"cd 07 track 02");
    EXPECT_EQ(y, u"cd 12 track 10");
    // Alignment stops where the texts before the numbers differ.
    x = u"a1 b2", y = u"c10 b20";
    AlignEmbeddedNumbers(x, y);
    EXPECT_EQ(x, u"a1 b2");
    EXPECT_EQ(LowerCase(u"ÄÖÜ ÉŸ Ω Я"), u"äöü éÿ ω я");
}

TEST(CompareRows, TieBreaksFollowTheTable)
{
    // Sorting by artist: equal artists by album, then track number, then total, then title.
    Row a = row({u"1.mp3", u"Zulu", u"Same", u"Album A", u"", u"2"});
    Row b = row({u"2.mp3", u"Alpha", u"Same", u"Album A", u"", u"10"});
    Row c = row({u"3.mp3", u"Alpha", u"Same", u"Album B", u"", u"1"});
    EXPECT_EQ(cmp(a, b, 2), -1); // track 2 before track 10
    EXPECT_EQ(cmp(b, c, 2), -1);
    EXPECT_EQ(cmp(c, b, 2, false), -1); // descending: greater album first
    EXPECT_EQ(cmp(a, a, 2), 0);
    EXPECT_EQ(cmp(row({}), row({}), 0), 0);
    // Rows differing only in the last tie-break column are still ordered by it.
    Row d = with(9, u"128 kbps CBR"), e = with(9, u"192 kbps CBR");
    EXPECT_EQ(cmp(d, e, 8), -1);
    EXPECT_EQ(cmp(d, e, 0), -1);
    for (int col = 0; col < kListColumnCount; ++col) {
        std::vector<bool> seen(kListColumnCount);
        EXPECT_EQ(kTieBreakColumns[col][0], col);
        for (int level = 0; level < kListColumnCount; ++level)
            seen[static_cast<std::size_t>(kTieBreakColumns[col][level])] = true;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), true), kListColumnCount) << col;
    }
    EXPECT_EQ(std::vector<int>(kTieBreakColumns[10], kTieBreakColumns[10] + 11),
              (std::vector<int>{10, 3, 5, 6, 2, 1, 4, 7, 0, 8, 9}));
}

TEST(CompareRows, NumbersAndDatesFollowTheLocale)
{
    EXPECT_EQ(*ParseNumber(u" 1,234.5 ", us), 1234.5);
    EXPECT_EQ(*ParseNumber(u"-3e2", us), -300);
    EXPECT_FALSE(ParseNumber(u"1,23", us));
    EXPECT_FALSE(ParseNumber(u"12a", us));
    EXPECT_FALSE(ParseNumber(u".", us));
    EXPECT_EQ(*ParseNumber(u"1.234,5", german), 1234.5);
    EXPECT_EQ(cmp(with(7, u"2,5"), with(7, u"10"), 7, true, german), -1);
    EXPECT_EQ(cmp(with(7, u"900"), with(7, u"1000"), 7), -1); // numbers, not text

    EXPECT_TRUE(ParseDate(u"2004-02-29", us));
    EXPECT_FALSE(ParseDate(u"2003-02-29", us));
    EXPECT_EQ(ParseDate(u"2004-12-31", german), ParseDate(u"31.12.2004", german));
    EXPECT_EQ(ParseDate(u"12/31/2004", us), ParseDate(u"2004-12-31", us));
    EXPECT_FALSE(ParseDate(u"31/12/2004", us));
    EXPECT_EQ(ParseDate(u"1/2/05", us), ParseDate(u"2005-01-02", us));
    EXPECT_EQ(cmp(with(10, u"2/1/2004"), with(10, u"10/1/2003"), 10), 1); // dates, not text
    EXPECT_EQ(cmp(with(10, u"2004-06-01"), with(10, u"2004-10-01"), 10), -1);
}

TEST(CompareRows, OnlyTheFirst255CharactersCount)
{
    const std::u16string base(255, u'x');
    EXPECT_EQ(cmp(with(10, base + u"a"), with(10, base + u"b"), 10), 0);
    EXPECT_EQ(cmp(with(10, base.substr(1) + u"a"), with(10, base.substr(1) + u"b"), 10), -1);
}

TEST(CompareRows, SortingIsStable)
{
    std::vector<Row> rows = {row({u"b", u"same"}), row({u"a", u"same"}), row({u"c", u"other"})};
    // Sorting by title with equal titles and otherwise equal cells keeps the list order
    // when even the file names tie.
    rows[0][0] = rows[1][0] = u"x";
    const auto order = SortRowOrder(rows.size(), 1, true, us, [&](std::size_t r, int c) {
        return std::u16string_view(rows[r][static_cast<std::size_t>(c)]);
    });
    EXPECT_EQ(order, (std::vector<std::size_t>{2, 0, 1}));
}
