// The write path: read the input as a file, change a few properties, write the tag
// back, read it again, then strip every tag. Besides sanitizer findings it checks
// what the writer promises: the audio between the leading tag and the trailing
// tags is carried over byte for byte, and what was written reads back.
#include "FuzzCommon.h"

#include "tag/FileReader.h"
#include "tag/FileSystem.h"
#include "tag/Id3v2Layout.h"
#include "tag/TrailingTags.h"

#include <algorithm>
#include <cstdio>

namespace {

using namespace brindle;
using namespace brindle::fuzz;

// The bytes of the scratch file the writer must keep: after the ID3v2 tag, before
// the ID3v1 tag and any Lyrics3 block.
std::string AudioRange(const std::string& bytes)
{
    FileReader file(FileSystem::posix(), ScratchPath());
    std::int64_t begin = 0;
    if (auto hdr = ParseId3v2Header(file.read(0, 10)))
        begin = hdr->totalLength();
    std::int64_t end = LocateTrailingTags(file).audioEnd();
    begin = std::min(begin, end);
    if (begin < 0 || end > static_cast<std::int64_t>(bytes.size()))
        Fail("audio range outside the file");
    return bytes.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

std::string PictureEntry(int revision, unsigned variant)
{
    std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    png.append(variant % 64, static_cast<char>(variant));
    std::string entry = revision == 2 ? std::string("PNG") : std::string("image/png", 9) + '\0';
    entry += static_cast<char>(variant % 21);
    entry += "Cover \xe9t\xe9";
    entry += '\0';
    return entry + png;
}

// Keeps the file as the writer left it beside the scratch file, for the post-mortem.
[[noreturn]] void FailWritten(const char* what)
{
    std::fprintf(stderr, "brindle fuzz: the written file is kept as %s\n", KeepScratch("written").c_str());
    Fail(what);
}

} // namespace

int BrindleFuzzWrite(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    WriteScratch(input);
    const std::string audio = AudioRange(input);

    clsID3 tag;
    tag.SetFileName(ScratchPath());
    sink = TouchAll(tag);

    // Which edits to make comes from the input's length, so the fuzzer reaches
    // each combination without a separate control byte in the file.
    const unsigned variant = static_cast<unsigned>(size);
    std::u16string title = u"\u041f\u0435\u0441\u043d\u044f \u6625\u306e\u6b4c \U0001F3B5 ";
    title.append((variant & 1) ? 200 : 3, u'x');
    tag.Title = title;
    tag.Artist = u"Caf\u00e9 Ensemble with a name longer than thirty";
    if (variant & 2)
        tag.Album.clear();
    else
        tag.Album = u"\u00c6ther";
    tag.Comments = u"line one\r\nline two \u20ac";
    tag.GenreID = (variant & 4) ? 17 : 255;
    tag.ArtistURL->Add("https://example.org/artist/\xc3\xa9");
    tag.CommercialInfo->Add("https://shop.example.org/" + std::to_string(variant % 97));
    if (variant & 8)
        tag.AttachedPictures->Clear();
    tag.AttachedPictures->Add(PictureEntry(tag.ID3RevisionV2(), variant), std::nullopt, std::nullopt, true);

    if (tag.UpdateID3Tags()) {
        const std::string written = ReadScratch();
        auto hdr = ParseId3v2Header(std::string_view(written).substr(0, 10));
        if (!hdr)
            FailWritten("the written file has no ID3v2 header");
        const std::size_t head = static_cast<std::size_t>(hdr->totalLength());
        if (head > written.size() || written.compare(head, audio.size(), audio) != 0)
            FailWritten("the audio changed while the tag was written");

        clsID3 again;
        again.SetFileName(ScratchPath());
        sink = TouchAll(again);
        if (again.Title != title)
            FailWritten("the written title does not read back");
        if (again.ArtistURL->Count() < 1)
            FailWritten("the written artist URL does not read back");
        if (again.AttachedPictures->Count() < 1)
            FailWritten("the written picture does not read back");

        const std::string audioNow = AudioRange(written);
        if (again.DeleteID3Tags() && ReadScratch() != audioNow)
            FailWritten("stripping the tags changed the audio");
    } else if (tag.DeleteID3Tags()) {
        if (ReadScratch() != audio)
            Fail("stripping the tags changed the audio");
    }
    return 0;
}

#ifndef BRINDLE_FUZZ_REPLAY
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return BrindleFuzzWrite(data, size);
}
#endif
