#include "FileNameRules.h"
#include "ToolsTestSupport.h"

#include <gtest/gtest.h>

using namespace brindle;

namespace {

struct Case {
    const char16_t* in;
    const char16_t* out;
};

void expectTable(QString (*f)(const QString&), std::initializer_list<Case> cases)
{
    for (const Case& c : cases)
        EXPECT_EQ(f(QString::fromUtf16(c.in)), QString::fromUtf16(c.out))
            << "input: " << QString::fromUtf16(c.in).toStdString();
}

TEST(NameRules, TitleFromFileNameRemovesEveryMp3InOnePass)
{
    expectTable(TitleFromFileName,
                {
                    {u"Song.MP3", u"Song"},
                    {u"a.mp3.b.mp3", u"a.b"},
                    {u"Intro", u"Intro"},
                    {u"x.mp.mp33", u"x.mp3"}, // one pass: what a removal joins is not looked at again
                    {u"Mp3 Blog.mp3", u"Mp3 Blog"},
                });
    EXPECT_EQ(FileNameFromTitle(QStringLiteral("Intro")), QStringLiteral("Intro.mp3"));
    EXPECT_EQ(FileNameFromTitle(QStringLiteral(" Intro ")), QStringLiteral(" Intro .mp3"));
    // Control characters never reach a name; a damaged title's lone surrogate is text,
    // not a byte of the name.
    EXPECT_EQ(FileNameFromTitle(QStringLiteral("\r\nA\tB\r\n\x1b[2JC\x7f\u0085")), QStringLiteral("A B [2JC.mp3"));
    EXPECT_EQ(NameBytes(FileNameFromTitle(QString(QChar(0xDCFF)))), "\xEF\xBF\xBD.mp3");
}

TEST(NameRules, CleanBaseName)
{
    expectTable(CleanBaseName, {
                                   {u"mY   song_TITLE%20live", u"My Song Title Live"},
                                   {u"AC/DC", u"Ac/dc"},
                                   {u"a  b", u"A B"},
                                   {u"a    b", u"A B"},   // four blanks: two passes of pairs leave one
                                   {u"a     b", u"A  B"}, // five leave two
                                   {u"__lead and trail__", u"Lead And Trail"},
                                   {u"%20%20x", u"X"},
                                   {u"don't stop", u"Don't Stop"},
                                   {u"tab\tword", u"Tab\tWord"},
                                   {u"\u00e9lan \u00c9COLE", u"\u00c9lan \u00c9cole"},
                                   {u"12 o'CLOCK", u"12 O'clock"},
                                   {u"", u""},
                               });
}

TEST(NameRules, CleanFileNameWorksOnTheBaseAndEndsInLowerCaseMp3)
{
    expectTable(CleanFileName, {
                                   {u"song.mp3", u"Song.mp3"},
                                   {u"my_song.MP3", u"My Song.mp3"},
                                   {u"a.b_c.mp3", u"A.b C.mp3"},
                                   {u"noextension", u"Noextension.mp3"},
                               });
}

TEST(NameRules, LeadingNumberPrefixSkipsOtherCharactersOfTheFirstFive)
{
    expectTable(LeadingNumberPrefix, {
                                         {u"03 - Song.mp3", u"03 - "},
                                         {u"1. Intro.mp3", u"1. "},
                                         {u"12Song.mp3", u"12"},
                                         {u"7 A 2 x.mp3", u"7  2"},
                                         {u"05_Intro.mp3", u"05_"},
                                         {u"#*x-.9", u"#*-."},
                                         {u"Song.mp3", u"."},
                                         {u"", u""},
                                     });
}

TEST(NameRules, RemoveLeadingNumbers)
{
    expectTable(RemoveLeadingNumbersName, {
                                              {u"Intro.mp3", u"Intro.mp3"}, // no leading digit: left alone
                                              {u"05_Intro.mp3", u"Intro.mp3"},
                                              {u"03 - Song.MP3", u"Song.mp3"},
                                              {u"1. Intro.mp3", u"Intro.mp3"},
                                              {u"7 A 2 x.mp3", u"7 A 2 x.mp3"},    // the prefix occurs nowhere
                                              {u"12 - 12 - x.mp3", u"12 - x.mp3"}, // first occurrence only
                                              {u"-1 x.mp3", u"-1 x.mp3"},
                                          });
}

TEST(NameRules, AutoNumber)
{
    EXPECT_EQ(AutoNumberName(QStringLiteral("03 - Song.mp3"), 1), QStringLiteral("01 - Song.mp3"));
    EXPECT_EQ(AutoNumberName(QStringLiteral("5 Take 5 .mp3"), 1), QStringLiteral("01 - Take 01 - .mp3"));
    EXPECT_EQ(AutoNumberName(QStringLiteral("Song.MP3"), 9), QStringLiteral("09 - Song.mp3"));
    EXPECT_EQ(AutoNumberName(QStringLiteral("Song.mp3"), 10), QStringLiteral("10 - Song.mp3"));
    EXPECT_EQ(AutoNumberName(QStringLiteral("Song.mp3"), 100), QStringLiteral("100 - Song.mp3"));
    EXPECT_EQ(NumberText(1), QStringLiteral("01"));
    EXPECT_EQ(NumberText(99), QStringLiteral("99"));
}

TEST(NameRules, EditedNameNeedsTheExtension)
{
    EXPECT_TRUE(EditedNameAccepted(QStringLiteral("New.MP3")));
    EXPECT_TRUE(EditedNameAccepted(QStringLiteral("  New.mp3  ")));
    EXPECT_FALSE(EditedNameAccepted(QStringLiteral("New")));
    EXPECT_FALSE(EditedNameAccepted(QStringLiteral("New.mp3x")));
    EXPECT_FALSE(EditedNameAccepted(QStringLiteral("    ")));
    EXPECT_FALSE(EditedNameAccepted(QString()));
}

TEST(NameRules, UnusableNewNames)
{
    for (const QString& bad : {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("AC/DC.mp3"),
                               QStringLiteral("../x.mp3"), QStringLiteral("a") + QChar(0) + QStringLiteral("b.mp3"),
                               QStringLiteral(".mp3"), QStringLiteral(".hidden.mp3")})
        EXPECT_FALSE(NewNameProblem(bad).isEmpty()) << bad.toStdString();
    EXPECT_EQ(NewNameProblem(QStringLiteral("AC/DC.mp3")), QStringLiteral("the new name \"AC/DC.mp3\" contains \"/\""));
    EXPECT_TRUE(NewNameProblem(QStringLiteral("Song: Live.mp3")).isEmpty());
    EXPECT_TRUE(NewNameProblem(QString(251, u'x') + ".mp3").isEmpty());
    EXPECT_FALSE(NewNameProblem(QString(252, u'x') + ".mp3").isEmpty());
    // Bytes count, not characters: 126 two-byte letters and ".mp3" make 256 bytes.
    EXPECT_FALSE(NewNameProblem(QString(126, QChar(0xe9)) + ".mp3").isEmpty());
}

} // namespace
