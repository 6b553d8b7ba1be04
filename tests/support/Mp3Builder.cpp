#include "Mp3Builder.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace brindle::test {

namespace {

int kbps(const MpegSpec& s)
{
    static const int v1[3][15] = {{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // Layer III
                                  {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // Layer II
                                  {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}}; // Layer I
    static const int v2l1[15] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256};
    static const int v2l23[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    if (s.bitrateIndex <= 0 || s.bitrateIndex >= 15 || s.layer < 1 || s.layer > 3)
        return 0;
    if (s.version == 3)
        return v1[s.layer - 1][s.bitrateIndex];
    return s.layer == 3 ? v2l1[s.bitrateIndex] : v2l23[s.bitrateIndex];
}

int sampleRate(const MpegSpec& s)
{
    static const int rates[3] = {44100, 48000, 32000};
    if (s.sampleIndex < 0 || s.sampleIndex > 2)
        return 0;
    int r = rates[s.sampleIndex];
    return s.version == 3 ? r : s.version == 2 ? r / 2 : r / 4;
}

std::string u16le(std::u16string_view t)
{
    std::string out;
    for (char16_t c : t) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

std::string u16be(std::u16string_view t)
{
    std::string out;
    for (char16_t c : t) {
        out.push_back(static_cast<char>(c >> 8));
        out.push_back(static_cast<char>(c & 0xFF));
    }
    return out;
}

std::string latin(std::u16string_view t)
{
    std::string out;
    for (char16_t c : t)
        out.push_back(static_cast<char>(c <= 0xFF ? c : '?'));
    return out;
}

} // namespace

std::string MpegHeader(const MpegSpec& s)
{
    std::string h(4, '\0');
    h[0] = static_cast<char>(0xFF);
    h[1] = static_cast<char>(0xE0 | (s.version & 3) << 3 | (s.layer & 3) << 1 | 1); // no CRC
    h[2] = static_cast<char>((s.bitrateIndex & 15) << 4 | (s.sampleIndex & 3) << 2 | (s.padding ? 2 : 0));
    h[3] = static_cast<char>((s.channelMode & 3) << 6 | (s.emphasis & 3));
    return h;
}

std::size_t MpegFrameLength(const MpegSpec& s)
{
    int br = kbps(s) * 1000, sr = sampleRate(s);
    if (br <= 0 || sr <= 0)
        return 4;
    if (s.layer == 3)
        return static_cast<std::size_t>((12 * br / sr + (s.padding ? 1 : 0)) * 4);
    int factor = (s.layer == 1 && s.version != 3) ? 72 : 144;
    return static_cast<std::size_t>(factor * br / sr + (s.padding ? 1 : 0));
}

std::string MpegFrame(const MpegSpec& s)
{
    std::string f = MpegHeader(s);
    f.resize(MpegFrameLength(s), '\0');
    return f;
}

std::string MpegFrames(int count, const MpegSpec& s)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += MpegFrame(s);
    return out;
}

std::string XingFrame(std::string_view tag, std::uint32_t flags, std::int32_t frames, std::int32_t bytes,
                      const MpegSpec& s)
{
    std::string f = MpegFrame(s);
    bool mono = s.channelMode == 3;
    std::size_t side = s.version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    std::string x(tag);
    x += BigEndian(flags, 4);
    if (flags & 1)
        x += BigEndian(static_cast<std::uint32_t>(frames), 4);
    if (flags & 2)
        x += BigEndian(static_cast<std::uint32_t>(bytes), 4);
    if (flags & 4)
        for (int i = 0; i < 100; ++i)
            x.push_back(static_cast<char>(i * 255 / 99));
    if (flags & 8)
        x += BigEndian(60, 4);
    if (f.size() < 4 + side + x.size())
        f.resize(4 + side + x.size(), '\0');
    f.replace(4 + side, x.size(), x);
    return f;
}

std::string VbriFrame(std::int32_t frames, std::int32_t bytes, int entries, int entrySize, const MpegSpec& s)
{
    std::string f = MpegFrame(s);
    std::string v = "VBRI";
    v += BigEndian(1, 2);  // version
    v += BigEndian(0, 2);  // delay
    v += BigEndian(75, 2); // quality
    v += BigEndian(static_cast<std::uint32_t>(bytes), 4);
    v += BigEndian(static_cast<std::uint32_t>(frames), 4);
    v += BigEndian(static_cast<std::uint32_t>(entries), 2);
    v += BigEndian(1, 2); // scale
    v += BigEndian(static_cast<std::uint32_t>(entrySize), 2);
    v += BigEndian(1, 2); // frames per entry
    v.append(static_cast<std::size_t>(entries * entrySize), '\x01');
    if (f.size() < 36 + v.size())
        f.resize(36 + v.size(), '\0');
    f.replace(36, v.size(), v);
    return f;
}

std::string SyncSafe(std::uint32_t v)
{
    std::string out(4, '\0');
    for (int i = 3; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = static_cast<char>(v & 0x7F);
        v >>= 7;
    }
    return out;
}

std::string BigEndian(std::uint32_t v, int width)
{
    std::string out(static_cast<std::size_t>(width), '\0');
    for (int i = width - 1; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = static_cast<char>(v & 0xFF);
        v >>= 8;
    }
    return out;
}

std::string Frame(int version, std::string_view id, std::string_view data, std::uint8_t status, std::uint8_t format)
{
    std::string f(id);
    if (version < 3)
        return f + BigEndian(static_cast<std::uint32_t>(data.size()), 3) + std::string(data);
    f += version > 3 ? SyncSafe(static_cast<std::uint32_t>(data.size()))
                     : BigEndian(static_cast<std::uint32_t>(data.size()), 4);
    f.push_back(static_cast<char>(status));
    f.push_back(static_cast<char>(format));
    return f + std::string(data);
}

std::string Tag(int version, std::string_view frames, std::size_t padding, std::uint8_t flags,
                std::string_view extendedHeader)
{
    std::string body = std::string(extendedHeader) + std::string(frames) + std::string(padding, '\0');
    std::string t = "ID3";
    t.push_back(static_cast<char>(version));
    t.push_back('\0');
    t.push_back(static_cast<char>(flags));
    t += SyncSafe(static_cast<std::uint32_t>(body.size()));
    return t + body;
}

std::string Footer(int version, std::size_t size, std::uint8_t flags)
{
    std::string f = "3DI";
    f.push_back(static_cast<char>(version));
    f.push_back('\0');
    f.push_back(static_cast<char>(flags));
    return f + SyncSafe(static_cast<std::uint32_t>(size));
}

std::string Latin1(std::string_view text) { return std::string(1, '\0') + std::string(text); }
std::string Utf16(std::u16string_view text) { return std::string("\x01\xFF\xFE", 3) + u16le(text); }
std::string Utf16BE(std::u16string_view text) { return std::string("\x02", 1) + u16be(text); }
std::string Utf8(std::string_view text) { return std::string("\x03", 1) + std::string(text); }

std::string CommentData(int encoding, std::string_view lang, std::u16string_view description, std::u16string_view text)
{
    std::string out(1, static_cast<char>(encoding));
    out += lang;
    switch (encoding) {
    case 0: out += latin(description) + std::string(1, '\0') + latin(text); break;
    case 1: out += "\xFF\xFE" + u16le(description) + std::string(2, '\0') + "\xFF\xFE" + u16le(text); break;
    case 2: out += u16be(description) + std::string(2, '\0') + u16be(text); break;
    default: out += latin(description) + std::string(1, '\0') + latin(text); break; // ASCII as UTF-8
    }
    return out;
}

std::string Unsynchronise(std::string_view bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0xFF &&
            (i + 1 == bytes.size() || static_cast<unsigned char>(bytes[i + 1]) >= 0xE0 || bytes[i + 1] == '\0'))
            out.push_back('\0');
    }
    return out;
}

std::string Id3v1(std::string_view title, std::string_view artist, std::string_view album, std::string_view year,
                  std::string_view comment, int track, int genre)
{
    auto pad = [](std::string_view s, std::size_t n) {
        std::string out(s.substr(0, n));
        out.resize(n, '\0');
        return out;
    };
    std::string t = "TAG" + pad(title, 30) + pad(artist, 30) + pad(album, 30) + pad(year, 4);
    if (track >= 0) {
        t += pad(comment, 28);
        t.push_back('\0');
        t.push_back(static_cast<char>(track));
    } else {
        t += pad(comment, 30);
    }
    t.push_back(static_cast<char>(genre));
    return t;
}

std::string Lyrics3v2(const std::vector<std::pair<std::string, std::string>>& fields)
{
    std::string block = "LYRICSBEGIN";
    for (const auto& [id, data] : fields) {
        char len[8];
        std::snprintf(len, sizeof len, "%05zu", data.size());
        block += id + len + data;
    }
    char size[8];
    std::snprintf(size, sizeof size, "%06zu", block.size());
    return block + size + "LYRICS200";
}

std::string Lyrics3v1(std::string_view lyrics) { return "LYRICSBEGIN" + std::string(lyrics) + "LYRICSEND"; }

void WriteFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "brindle-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void WriteDemoFolder(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    MpegSpec cbr; // MPEG 1 Layer III, 128 kbit/s, 44100 Hz
    // About 10 s of audio per file keeps the folder small.
    const int frames = 383;
    std::string audio = MpegFrames(frames, cbr);

    std::string v23 = Frame(3, "TIT2", Latin1("Morning Light")) + Frame(3, "TPE1", Latin1("The Harbour Lights")) +
                      Frame(3, "TALB", Latin1("Coastlines")) + Frame(3, "TRCK", Latin1("1/4")) +
                      Frame(3, "TYER", Latin1("2019")) + Frame(3, "TCON", Latin1("(17)Rock")) +
                      Frame(3, "COMM", CommentData(0, "eng", u"", u"Recorded live")) +
                      Frame(3, "WOAR", "https://example.org/harbour-lights");
    WriteFile(folder / "01 - Morning Light.mp3", Tag(3, v23, 512) + audio);

    std::string v24 = Frame(4, "TIT2", Utf8("Über den Wolken")) + Frame(4, "TPE1", Utf8("Die Wanderer")) +
                      Frame(4, "TALB", Utf8("Höhenluft")) + Frame(4, "TRCK", Latin1("2/4")) +
                      Frame(4, "TDRC", Latin1("2021-06-01")) + Frame(4, "TCON", Latin1("Pop"));
    WriteFile(folder / "02 - Über den Wolken.mp3", Tag(4, v24, 256) + audio);

    std::string v22 = Frame(2, "TT2", Latin1("Old Tape")) + Frame(2, "TP1", Latin1("Cassette Club")) +
                      Frame(2, "TAL", Latin1("Rewind")) + Frame(2, "TRK", Latin1("3")) +
                      Frame(2, "TYE", Latin1("1987"));
    WriteFile(folder / "03 - Old Tape.mp3", Tag(2, v22, 128) + audio);

    std::string xing = XingFrame("Xing", 0x0F, frames, static_cast<std::int32_t>(audio.size()));
    std::string v23b = Frame(3, "TIT2", Utf16(u"Nocturne \u2116 5")) + Frame(3, "TPE1", Utf16(u"Quiet Rooms")) +
                       Frame(3, "TRCK", Latin1("4/4"));
    WriteFile(folder / "04 - Nocturne.mp3", Tag(3, v23b, 0) + xing + audio);

    WriteFile(folder / "05 - Only ID3v1.mp3",
              audio + Id3v1("Plain Old Tag", "Version One", "Legacy", "1999", "v1.1 comment", 5, 13));

    std::string longTitle = "A Title Much Longer Than Thirty Characters Can Hold";
    WriteFile(folder / "06 - Long title.mp3", audio + Lyrics3v2({{"IND", "00"}, {"ETT", longTitle}}) +
                                                  Id3v1(longTitle, "Lyrics Three", "", "2005", "", -1, 255));

    WriteFile(folder / "07 - No tags.MP3", audio);
}

} // namespace brindle::test
