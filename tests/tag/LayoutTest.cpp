// The container routines shared by reader and writer, and the text decoders.
#include "tag/Id3v2Layout.h"
#include "tag/TextCodec.h"

#include <gtest/gtest.h>

using namespace brindle;

namespace {
std::string bytes(std::initializer_list<int> list)
{
    std::string s;
    for (int b : list)
        s.push_back(static_cast<char>(b));
    return s;
}
} // namespace

TEST(Layout, HeaderValidity)
{
    EXPECT_TRUE(ParseId3v2Header(bytes({'I', 'D', '3', 3, 0, 0, 0, 0, 1, 0})));
    EXPECT_FALSE(ParseId3v2Header(bytes({'I', 'D', '3', 255, 0, 0, 0, 0, 1, 0})));
    EXPECT_FALSE(ParseId3v2Header(bytes({'I', 'D', '3', 3, 255, 0, 0, 0, 1, 0})));
    EXPECT_FALSE(ParseId3v2Header(bytes({'I', 'D', '3', 3, 0, 0, 0, 0, 128, 0})));
    EXPECT_FALSE(ParseId3v2Header(bytes({'i', 'd', '3', 3, 0, 0, 0, 0, 1, 0})));
    EXPECT_FALSE(ParseId3v2Header("ID3"));
    auto h = ParseId3v2Header(bytes({'I', 'D', '3', 4, 0, 0x10, 0, 0, 2, 1}));
    ASSERT_TRUE(h);
    EXPECT_EQ(h->size, 257);
    EXPECT_TRUE(h->footer());
    EXPECT_EQ(h->totalLength(), 277);
}

TEST(Layout, SizesAndUnsynchronisation)
{
    EXPECT_EQ(DecodeSize(bytes({0, 0, 2, 1}), true), 257);
    EXPECT_EQ(DecodeSize(bytes({0, 0, 2, 1}), false), 513);
    EXPECT_FALSE(DecodeSize(bytes({0xFF, 0xFF, 0xFF, 0xFF}), false)); // beyond 32-bit signed
    EXPECT_EQ(EncodeSize(257, 4, true), bytes({0, 0, 2, 1}));
    EXPECT_EQ(EncodeSize(0x1234567, 3, false), bytes({0x23, 0x45, 0x67})); // low-order bytes kept
    EXPECT_EQ(RemoveUnsync(bytes({0xFF, 0, 0xFB, 0xFF, 0, 0, 0xFF})), bytes({0xFF, 0xFB, 0xFF, 0, 0xFF}));
}

TEST(Layout, MarkerPadding)
{
    std::string data = "TIT2" + std::string("MP3ext V3.3.19(unicode)");
    EXPECT_TRUE(IsMarkerPadding(data, 4));
    EXPECT_TRUE(IsMarkerPadding(std::string("\0\0MP3ext V3.3(unicode)", 22), 0));
    EXPECT_TRUE(IsMarkerPadding("unicode)", 0));
    EXPECT_TRUE(IsMarkerPadding("ext V1(unicode)", 0));
    EXPECT_FALSE(IsMarkerPadding("TIT2", 0));
    EXPECT_FALSE(IsMarkerPadding("MP3ext V3.3", 0));
}

TEST(TextCodec, MarkedUtf16)
{
    EXPECT_EQ(DecodeMarkedUtf16(bytes({0xFF, 0xFE, 'A', 0, 'B', 0, 0, 0})), std::u16string(u"AB\0", 3));
    EXPECT_EQ(DecodeMarkedUtf16(bytes({0xFE, 0xFF, 0, 'A', 0, 'B'})), u"AB");
    // Bytes before the first mark are single-byte text; every mark restarts the order.
    EXPECT_EQ(DecodeMarkedUtf16(bytes({'x', 0xFF, 0xFE, 'A', 0, 0xFE, 0xFF, 0, 'B', 'C'})), u"xAB");
    EXPECT_EQ(SwapBytePairs("abcde"), "badce");
    EXPECT_EQ(DecodeUtf16BE(bytes({0, 'A', 0, 'B'})), u"AB");
}

TEST(TextCodec, LenientUtf8)
{
    EXPECT_EQ(DecodeUtf8(bytes({0xC3, 0xA9})), u"\u00E9");
    EXPECT_EQ(DecodeUtf8(bytes({'a', 0xC3})), u"a"); // cut short: ends the text
    EXPECT_EQ(DecodeUtf8(bytes({0xE2, 0x82, 0xAC})), u"\u20AC");
    EXPECT_EQ(DecodeUtf8(bytes({0xF0, 0x9F, 0x8E, 0xB5})), u"\U0001F3B5");
    EXPECT_EQ(DecodeUtf8(bytes({0x80, 'a'})), u"\u0080a"); // stray continuation byte kept
}

TEST(TextCodec, Windows1252RoundTripsEveryByte)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    std::u16string text = DecodeSingleByte(all);
    EXPECT_EQ(text[0x80], u'\u20AC');
    EXPECT_EQ(text[0x81], u'\u0081');
    EXPECT_EQ(EncodeSingleByte(text), all);
    EXPECT_TRUE(FitsSingleByte(text));
    EXPECT_FALSE(FitsSingleByte(u"\u0416"));
    EXPECT_EQ(EncodeSingleByte(u"a\u0416"), "a?");
}

TEST(TextCodec, StrictUtf8)
{
    std::u16string lone(1, static_cast<char16_t>(0xD800));
    EXPECT_EQ(ToUtf8(lone), "\xEF\xBF\xBD");
    EXPECT_EQ(ToUtf8(u"\U0001F3B5"), "\xF0\x9F\x8E\xB5");
    EXPECT_EQ(FromUtf8("\xF0\x9F\x8E\xB5"), u"\U0001F3B5");
    EXPECT_EQ(FromUtf8("a\xFF"
                       "b"),
              u"a\uFFFDb");
    EXPECT_EQ(ToUtf8(std::u16string(u"a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(FileNameForDisplay("song\xFF.mp3"), "song\xEF\xBF\xBD.mp3");
}
