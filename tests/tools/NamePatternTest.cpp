// Names from tags and tags from names by pattern, on tables of names and tags.
#include "NamePattern.h"

#include "tag/TextCodec.h"
#include "tag/clsID3.h"

#include <gtest/gtest.h>

using namespace brindle;

namespace {

NamePattern parsed(std::string_view text)
{
    std::string error;
    auto p = NamePattern::Parse(text, error);
    EXPECT_TRUE(p) << text << ": " << error;
    return p ? *p : *NamePattern::Parse("%title%", error);
}

std::string parseError(std::string_view text)
{
    std::string error;
    EXPECT_FALSE(NamePattern::Parse(text, error)) << text;
    return error;
}

// "Property=value" pairs joined by "|", or "no match".
std::string read(std::string_view pattern, std::string_view name)
{
    const auto values = parsed(pattern).ValuesFromName(name);
    if (!values)
        return "no match";
    std::string out;
    for (const auto& v : *values)
        out += (out.empty() ? "" : "|") + std::string(v.property->name) + "=" + ToUtf8(v.value);
    return out;
}

} // namespace

TEST(NamePattern, ParseRefusesWhatCannotBeAName)
{
    EXPECT_EQ(parseError("%track% - %titel%"), "unknown placeholder \"%titel%\"");
    EXPECT_NE(parseError("%title% 100%").find("write %% for a \"%\""), std::string::npos);
    EXPECT_NE(parseError("%artist%/%title%").find("\"/\""), std::string::npos);
    EXPECT_NE(parseError("%title%\t").find("control character"), std::string::npos);
    EXPECT_EQ(parseError(""), "the pattern is empty");
    EXPECT_EQ(parseError("just text %%"), "the pattern has no placeholder");
    // Every property of the table has its placeholder, letter case ignored.
    for (const auto& p : TextProperties())
        parsed("%" + std::string(p.name) + "%");
    EXPECT_EQ(parsed("%Track% %TITLE%").ReadingProblem(), "");
    EXPECT_NE(parsed("%track% %tracknumber%").ReadingProblem().find("TrackNumber twice"), std::string::npos);
    EXPECT_EQ(parsed("%filename%").ReadingProblem(), "the pattern names no tag property to read");
    EXPECT_NE(ReplacementProblem("a/b"), "");
    EXPECT_EQ(ReplacementProblem("_"), "");
}

TEST(NamePattern, NameFromTags)
{
    clsID3 tag;
    tag.Artist = u"AC/DC";
    tag.Title = u"Über\tAlles \U0001F3B8";
    tag.TrackNumber = u"3";
    const std::string old = "old \xff name.MP3"; // not UTF-8: %filename% keeps its bytes
    struct Case {
        const char* pattern;
        const char* replacement;
        std::string name;
    } cases[] = {
        {"%track% - %artist% - %title%", "-", "03 - AC-DC - Über-Alles \U0001F3B8.mp3"},
        {"%artist% %title%", "_", "AC_DC Über_Alles \U0001F3B8.mp3"},
        {"%artist%%title%.mp3", "", "ACDCÜberAlles \U0001F3B8.mp3"}, // ".mp3" is appended once
        {"100%% %album% [%filename%]", "-", "100%  [old \xff name].mp3"},
        {"%album%%year%", "-", ""}, // nothing to name the file after: it keeps its name
    };
    for (const Case& c : cases)
        EXPECT_EQ(parsed(c.pattern).NameFor(tag, old, c.replacement), c.name) << c.pattern;

    tag.TrackNumber = u"12";
    EXPECT_EQ(parsed("%track%").NameFor(tag, old), "12.mp3");
    tag.TrackNumber = u"";
    EXPECT_EQ(parsed("%track%. %title%").NameFor(tag, old), ". Über-Alles \U0001F3B8.mp3");
}

TEST(NamePattern, TagsFromNames)
{
    struct Case {
        const char* pattern;
        const char* name;
        const char* values;
    } cases[] = {
        {"%track% - %artist% - %title%", "07 - Sigur Rós - Hoppípolla.mp3",
         "TrackNumber=07|Artist=Sigur Rós|Title=Hoppípolla"},
        // Shortest first: the rest of the name goes to the last placeholder.
        {"%artist% - %title%", "A - B - C.mp3", "Artist=A|Title=B - C"},
        {"%track% - %title%", "1 - 2 - 3.MP3", "TrackNumber=1|Title=2 - 3"},
        // Empty fields are values too.
        {"%track% - %artist% - %title%", "01 -  - Intro.mp3", "TrackNumber=01|Artist=|Title=Intro"},
        // Adjacent placeholders: the first takes the shortest text, here none.
        {"%artist%%title%", "AB.mp3", "Artist=|Title=AB"},
        // Numbers take digits only, a year four digits or nothing.
        {"%track%%title%", "ab.mp3", "TrackNumber=|Title=ab"},
        {"%track% %title%", "Side A.mp3", "no match"},
        {"%year% %title%", "1999 Song.mp3", "Year=1999|Title=Song"},
        {"%year% %title%", "99 Song.mp3", "no match"},
        // Whole characters: the en dash and the emoji are never split.
        {"%artist%–%title%", "Björk–\U0001F3B5Jóga.mp3", "Artist=Björk|Title=\U0001F3B5Jóga"},
        {"%title% \U0001F3B5", "Zß \U0001F3B5.mp3", "Title=Zß"},
        {"100%% %title%", "100% Pure.mp3", "Title=Pure"},
        {"%filename% (%year%)", "Live (Remix) (2001).mp3", "Year=2001"},
        {"%artist% - %title%", "no dash here.mp3", "no match"},
        {"%track%. %title%", "", "no match"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(c.pattern, c.name), c.values) << c.pattern << " on " << c.name;
}

TEST(NamePattern, HostilePatternsStayPolynomial)
{
    // Each %filename% can take any length: plain backtracking would try every split of
    // the name among 300 placeholders before finding that no "x" follows.
    std::string pattern;
    for (int i = 0; i < 300; ++i)
        pattern += "%filename%";
    pattern += "x%title%";
    EXPECT_EQ(read(pattern, std::string(3000, 'a') + ".mp3"), "no match");
    EXPECT_EQ(read(pattern, std::string(3000, 'a') + "x.mp3"), "Title=");
}
