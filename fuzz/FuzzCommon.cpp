#include "FuzzCommon.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace brindle::fuzz {

namespace {

int scratchFd = -1;

std::string scratchFolder()
{
    return std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path().string();
}

// An unnamed file reached through /proc, so that nothing is left behind when a run
// ends in a crash; the tag engine opens it by that path like any other file.
std::string makeScratchPath()
{
    std::string folder = scratchFolder();
    // The writer's temporary copy goes beside it rather than to a disk folder.
    setenv("TEMP", folder.c_str(), 1);
    scratchFd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (scratchFd >= 0)
        return "/proc/self/fd/" + std::to_string(scratchFd);
    // A file system without unnamed files: a named one, removed at a normal exit.
    static std::string named = folder + "/brindle-fuzz-XXXXXX";
    scratchFd = ::mkstemp(named.data());
    if (scratchFd < 0)
        Fail("cannot create the scratch file");
    std::atexit([] { ::unlink(named.c_str()); });
    return named;
}

std::uint64_t mix(std::uint64_t h, std::uint64_t v) { return (h ^ v) * 0x100000001b3ULL; }

std::uint64_t mixText(std::uint64_t h, const std::u16string& s)
{
    for (char16_t c : s)
        h = mix(h, c);
    return mix(h, s.size());
}

std::uint64_t mixDouble(std::uint64_t h, double d)
{
    // NaN or infinity from a division would be a fault worth seeing.
    if (!std::isfinite(d))
        Fail("audio property is not a finite number");
    return mix(h, static_cast<std::uint64_t>(static_cast<std::int64_t>(d)));
}

} // namespace

volatile std::uint64_t sink = 0;

const std::string& ScratchPath()
{
    static const std::string path = makeScratchPath();
    return path;
}

void WriteScratch(std::string_view bytes)
{
    ScratchPath();
    if (::ftruncate(scratchFd, 0) != 0)
        Fail("cannot empty the scratch file");
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::pwrite(scratchFd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n <= 0)
            Fail("cannot write the scratch file");
        done += static_cast<std::size_t>(n);
    }
}

std::string ReadScratch()
{
    ScratchPath();
    std::string out;
    char buf[65536];
    ssize_t n;
    while ((n = ::pread(scratchFd, buf, sizeof buf, static_cast<off_t>(out.size()))) > 0)
        out.append(buf, static_cast<std::size_t>(n));
    return out;
}

std::string KeepScratch(const char* label)
{
    std::string path = scratchFolder() + "/brindle-fuzz-" + label + "-" + std::to_string(getpid()) + ".mp3";
    std::string bytes = ReadScratch();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::fprintf(stderr, "brindle fuzz: %s is incomplete\n", path.c_str());
        ::close(fd);
    }
    return path;
}

std::uint64_t TouchAll(const clsID3& t)
{
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const std::u16string* s : {&t.Comments,
                                    &t.Album,
                                    &t.BeatsPerMinute,
                                    &t.Composer,
                                    &t.Genre,
                                    &t.Copyright,
                                    &t.EncodedBy,
                                    &t.Lyricist,
                                    &t.Title,
                                    &t.InitialKey,
                                    &t.Languages,
                                    &t.OriginalAlbum,
                                    &t.OriginalFileName,
                                    &t.OriginalLyricist,
                                    &t.OriginalArtist,
                                    &t.OriginalReleaseYear,
                                    &t.FileOwner,
                                    &t.Artist,
                                    &t.Band,
                                    &t.Conductor,
                                    &t.InterpretedBy,
                                    &t.DiscNumber,
                                    &t.DiscsTotal,
                                    &t.Publisher,
                                    &t.TrackNumber,
                                    &t.TracksTotal,
                                    &t.InternetRadioStationName,
                                    &t.InternetRadioStationOwner,
                                    &t.ISRC,
                                    &t.Year,
                                    &t.Lyrics,
                                    &t.CopyrightInfo,
                                    &t.AudioURL,
                                    &t.AudioSourceURL,
                                    &t.InternetRadioURL,
                                    &t.PaymentURL,
                                    &t.PublisherURL})
        h = mixText(h, *s);
    h = mix(h, static_cast<std::uint32_t>(t.GenreID));
    h = mixText(h, clsID3::GenreName(t.GenreID));
    h = mix(h, static_cast<std::uint32_t>(clsID3::ToGenreID(t.Genre)));
    for (const auto& list : {t.CommercialInfo, t.ArtistURL, t.AttachedPictures}) {
        if (!list)
            Fail("a value list is missing after a read");
        for (std::int32_t i = 1; i <= list->Count(); ++i) {
            const std::string& entry = list->Item(i);
            h = mix(h, entry.size());
            if (!entry.empty())
                h = mix(h, static_cast<unsigned char>(entry.front()) + static_cast<unsigned char>(entry.back()));
        }
    }
    h = mix(h, t.ID3v1Exists());
    h = mix(h, t.ID3v2Exists());
    h = mix(h, t.Lyrics3v1Exists());
    h = mix(h, t.Lyrics3v2Exists());
    h = mix(h, t.ID3RevisionV2());
    h = mix(h, static_cast<std::uint32_t>(t.Layer()));
    h = mix(h, static_cast<std::uint32_t>(t.Padding()));
    h = mix(h, static_cast<std::uint32_t>(t.MPEGVersion()));
    h = mix(h, static_cast<std::uint32_t>(t.ChannelMode()));
    h = mix(h, static_cast<std::uint32_t>(t.Encoding()));
    h = mix(h, static_cast<std::uint32_t>(t.SamplingRateFrequency()));
    h = mix(h, static_cast<std::uint32_t>(t.FrameSamples()));
    h = mixDouble(h, t.BitRate());
    h = mixDouble(h, t.FrameSize());
    h = mixDouble(h, t.Length());
    return h;
}

void Fail(const char* what)
{
    std::fprintf(stderr, "brindle fuzz: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

} // namespace brindle::fuzz
