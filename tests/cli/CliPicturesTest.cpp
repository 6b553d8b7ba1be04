// Pictures from the command line: added with set, seen by an independent reader,
// extracted again with art.
#include "CliRunner.h"
#include "Mp3Builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>

using namespace brindle::test;
namespace fs = std::filesystem;

namespace {

// The smallest valid PNG: one transparent pixel.
std::string onePixelPng()
{
    const unsigned char bytes[] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
                                   0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
                                   0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78,
                                   0x9C, 0x63, 0x00, 0x01, 0x00, 0x00, 0x05, 0x00, 0x01, 0x0D, 0x0A, 0x2D, 0xB4, 0x00,
                                   0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// A white 4 x 1 BMP, 24 bits: no row padding, so its last byte is not 0.
std::string whiteBmp()
{
    auto le = [](std::uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        return s;
    };
    return "BM" + le(66, 4) + le(0, 4) + le(54, 4) + le(40, 4) + le(4, 4) + le(1, 4) + le(1, 2) + le(24, 2) + le(0, 4) +
           le(12, 4) + le(2835, 4) + le(2835, 4) + le(0, 4) + le(0, 4) + std::string(12, '\xFF');
}

// MIME type, picture type and image length of each picture, as mutagen sees them.
std::string mutagenPictures(const std::string& file)
{
    std::string cmd = "/usr/bin/python3 -c \"import sys, mutagen.id3 as m; t = m.ID3(sys.argv[1]); "
                      "print(';'.join('%s,%d,%d' % (f.mime, f.type, len(f.data)) for f in t.getall('APIC')))\" '" +
                      file + "' 2>/dev/null";
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p))
            out += buf;
        if (::pclose(p) != 0)
            return "unavailable";
    }
    return out;
}

} // namespace

TEST(CliPictures, AddedPictureIsSeenByAnIndependentReaderAndExtractedAlike)
{
    TempDir dir;
    std::string png = onePixelPng();
    WriteFile(dir.file("cover.png"), png);
    WriteFile(dir.file("a.mp3"), Tag(3, Frame(3, "TIT2", Latin1("t"))) + MpegFrames(5));

    CliResult r = RunCli({"set", "--add", "AttachedPictures=" + dir.file("cover.png") + ":4", dir.file("a.mp3")});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string seen = mutagenPictures(dir.file("a.mp3"));
    if (seen == "unavailable")
        GTEST_SKIP() << "python3-mutagen is not installed";
    EXPECT_EQ(seen, "image/png,4," + std::to_string(png.size()) + "\n");

    fs::create_directory(dir.path() / "out");
    r = RunCli({"art", dir.file("a.mp3"), "--extract", (dir.path() / "out").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir.path() / "out" / "01-Back Cover.png"), png);
    // A second extraction never replaces what the first wrote.
    r = RunCli({"art", dir.file("a.mp3"), "--extract", (dir.path() / "out").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadFile(dir.path() / "out" / "01-Back Cover.png"), png);

    r = RunCli({"set", "--clear", "AttachedPictures", dir.file("a.mp3")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(mutagenPictures(dir.file("a.mp3")), "\n");
}

TEST(CliPictures, SomethingThatIsNotAnImageIsRefusedBeforeAnyFileIsWritten)
{
    TempDir dir;
    WriteFile(dir.file("notes.png"), "not an image at all");
    std::string original = Tag(3, Frame(3, "TIT2", Latin1("t"))) + MpegFrames(5);
    WriteFile(dir.file("a.mp3"), original);
    CliResult r = RunCli(
        {"set", "--set", "Title=changed", "--add", "AttachedPictures=" + dir.file("notes.png"), dir.file("a.mp3")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("notes.png"), std::string::npos);
    EXPECT_EQ(ReadFile(dir.file("a.mp3")), original);
    EXPECT_EQ(RunCli({"set", "--add", "AttachedPictures=" + dir.file("notes.png") + ":21", dir.file("a.mp3")}).status,
              2);
    // A FIFO or a device as the image neither blocks nor runs on for ever.
    EXPECT_EQ(RunCli({"set", "--add", "AttachedPictures=/dev/zero", dir.file("a.mp3")}).status, 2);
    EXPECT_EQ(ReadFile(dir.file("a.mp3")), original);
}

TEST(CliPictures, VersionTwoTagsGetAThreeLetterFormat)
{
    TempDir dir;
    WriteFile(dir.file("cover.png"), onePixelPng());
    WriteFile(dir.file("old.mp3"), Tag(2, Frame(2, "TT2", Latin1("t"))) + MpegFrames(5));
    CliResult r = RunCli({"set", "--add", "AttachedPictures=" + dir.file("cover.png"), dir.file("old.mp3")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunCli({"show", "--json", dir.file("old.mp3")});
    EXPECT_NE(r.out.find("\"Format\":\"PNG\",\"PictureType\":3"), std::string::npos) << r.out;
}

TEST(CliPictures, AnImageTheWindowTakesIsTakenToo)
{
    TempDir dir;
    const std::string bmp = whiteBmp();
    WriteFile(dir.file("scan.bmp"), bmp);
    WriteFile(dir.file("a.mp3"), Tag(3, Frame(3, "TIT2", Latin1("t"))) + MpegFrames(5));
    CliResult r = RunCli({"set", "--add", "AttachedPictures=" + dir.file("scan.bmp"), dir.file("a.mp3")});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string seen = mutagenPictures(dir.file("a.mp3"));
    if (seen == "unavailable")
        GTEST_SKIP() << "python3-mutagen is not installed";
    EXPECT_EQ(seen, "image/bmp,3," + std::to_string(bmp.size()) + "\n");
}
