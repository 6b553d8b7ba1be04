// The value list and the genre table.
#include "tag/Genres.h"
#include "tag/MultiFrameData.h"
#include "tag/clsID3.h"

#include <gtest/gtest.h>

using namespace brindle;

TEST(MultiFrameData, KeysRefuseDuplicates)
{
    MultiFrameData urls;
    urls.Add("http://a");
    urls.Add("http://a");
    EXPECT_EQ(urls.Count(), 1);
    urls.Add(" HTTP://A ");                      // blanks and letter case are ignored in the key
    urls.Add(std::string("http://a\0junk", 13)); // so is everything after a NUL
    EXPECT_EQ(urls.Count(), 1);
    urls.Add("http://b");
    ASSERT_EQ(urls.Count(), 2);
    EXPECT_EQ(urls.Item(2), "http://b");

    MultiFrameData pictures;
    pictures.Add("image/png\0\3\0AAAA", std::nullopt, std::nullopt, true);
    pictures.Add(std::string("image/png\0\3\0AAAB", 17), std::nullopt, std::nullopt, true);
    pictures.Add(std::string("image/png\0\3\0AAAB", 17), std::nullopt, std::nullopt, true);
    EXPECT_EQ(pictures.Count(), 2);
    // A binary key keeps blanks: the same bytes with a blank are a different picture.
    pictures.Add(std::string(" image/png\0\3\0AAAB", 18), std::nullopt, std::nullopt, true);
    EXPECT_EQ(pictures.Count(), 3);
}

TEST(MultiFrameData, PositionsAndReplacement)
{
    MultiFrameData l;
    l.Add("a");
    l.Add("b");
    l.Add("c", 1); // before 1
    EXPECT_EQ(l.Item(1), "c");
    l.Add("d", std::nullopt, 5); // after beyond the end appends
    EXPECT_EQ(l.Item(4), "d");
    l.Add("e", std::nullopt, 0); // after < 1 puts first
    EXPECT_EQ(l.Item(1), "e");
    l.SetItem(2, "c2");
    EXPECT_EQ(l.Item(2), "c2");
    EXPECT_EQ(l.Item(3), "a");
    l.Add("c"); // the replaced entry lost its key, so "c" may come back
    EXPECT_EQ(l.Count(), 6);
    l.Remove(1);
    EXPECT_EQ(l.Item(1), "c2");
    EXPECT_THROW(l.Item(0), std::out_of_range);
    EXPECT_THROW(l.Remove(99), std::out_of_range);
    EXPECT_THROW(l.SetItem(7, "x"), std::out_of_range);
    l.Clear();
    EXPECT_EQ(l.Count(), 0);
}

TEST(Genres, NamesAndLookups)
{
    EXPECT_EQ(clsID3::GenreName(0), u"Blues");
    EXPECT_EQ(clsID3::GenreName(133), u"Negerpunk");
    EXPECT_EQ(clsID3::GenreName(147), u"Synthpop");
    EXPECT_EQ(clsID3::GenreName(255), u"Unknown");
    EXPECT_EQ(clsID3::GenreName(-1), u"Remix");
    EXPECT_EQ(clsID3::GenreName(-2), u"Cover");
    EXPECT_EQ(clsID3::GenreName(200), u"");
    EXPECT_EQ(clsID3::GenreName(148), u"");

    EXPECT_EQ(clsID3::ToGenreID(u"  "), 255);
    EXPECT_EQ(clsID3::ToGenreID(u"Drum and Bass"), 127);
    EXPECT_EQ(clsID3::ToGenreID(u"Polka Punk"), 12);
    EXPECT_EQ(clsID3::ToGenreID(u"cover"), -2);
    EXPECT_EQ(clsID3::ToGenreID(u"hip hop"), 7);
    EXPECT_EQ(clsID3::ToGenreID(u"HipHop"), 7);
    EXPECT_EQ(clsID3::ToGenreID(u"Rock & Roll"), 78);
    EXPECT_EQ(clsID3::ToGenreID(u"unknown"), 255);
    // Every table name finds its own number.
    for (int id = 0; id < kGenreCount; ++id) {
        int found = clsID3::ToGenreID(clsID3::GenreName(id));
        EXPECT_EQ(clsID3::GenreName(found), clsID3::GenreName(id)) << id;
    }
}
