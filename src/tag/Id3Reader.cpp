// The read path of the tag object: ID3v2 tag, ID3v1 presence, Lyrics3, ID3v1 fields
// and the first MPEG frame, in this order, each step skipped when its data is bad.

#include "Ascii.h"
#include "FileReader.h"
#include "FrameTable.h"
#include "Genres.h"
#include "Id3v2Layout.h"
#include "MpegHeader.h"
#include "NumberText.h"
#include "TextCodec.h"
#include "TrailingTags.h"
#include "clsID3.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <optional>
#include <vector>

namespace brindle {

namespace {

bool isWholeNumber(std::u16string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

std::optional<std::int32_t> parseInt(std::u16string_view s)
{
    s = TrimBlanks(s);
    if (s.empty())
        return std::nullopt;
    std::string ascii;
    for (char16_t c : s) {
        if (c > 0x7F)
            return std::nullopt;
        ascii.push_back(static_cast<char>(c));
    }
    if (!ascii.empty() && ascii[0] == '+')
        ascii.erase(0, 1);
    std::int32_t v = 0;
    auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
    if (ec != std::errc() || end != ascii.data() + ascii.size())
        return std::nullopt;
    return v;
}

std::vector<std::u16string> splitParts(std::u16string_view s)
{
    std::vector<std::u16string> parts;
    if (s.empty())
        return parts;
    std::size_t start = 0;
    while (true) {
        std::size_t slash = s.find(u'/', start);
        std::u16string part(
            s.substr(start, slash == std::u16string_view::npos ? std::u16string_view::npos : slash - start));
        if (!part.empty() && !IsNumberText(part))
            part = u"0";
        parts.push_back(std::move(part));
        if (slash == std::u16string_view::npos)
            break;
        start = slash + 1;
    }
    return parts;
}

std::u16string beforeDash(std::u16string_view s) { return std::u16string(s.substr(0, s.find(u'-'))); }

void replaceAll(std::u16string& s, std::u16string_view from, std::u16string_view to)
{
    std::size_t at = 0;
    while ((at = s.find(from, at)) != std::u16string::npos) {
        s.replace(at, from.size(), to);
        at += to.size();
    }
}

std::u16string removeTimeStamps(std::u16string s)
{
    std::size_t at = 0;
    while ((at = s.find(u'[', at)) != std::u16string::npos) {
        std::size_t close = s.find(u']', at + 1);
        if (close == std::u16string::npos)
            break;
        std::u16string_view inner = std::u16string_view(s).substr(at + 1, close - at - 1);
        std::size_t colon = inner.find(u':');
        if (colon != std::u16string_view::npos && isWholeNumber(inner.substr(0, colon)) &&
            isWholeNumber(inner.substr(colon + 1))) {
            s.erase(at, close - at + 1);
        } else {
            ++at;
        }
    }
    return s;
}

std::u16string trimRightSpaces(std::u16string_view s)
{
    auto last = s.find_last_not_of(u' ');
    return std::u16string(last == std::u16string_view::npos ? std::u16string_view() : s.substr(0, last + 1));
}

} // namespace

struct Id3Reader {
    clsID3& tag;
    FileReader& file;
    ReadBuffers& buffers;
    std::int64_t audioStart = 1; // 1-based
    std::int64_t audioEnd = 0;   // 1-based position of the last audio byte

    void readId3v2();
    void walkFrames(std::string_view data, int version);
    void applyFrame(std::string_view data, std::size_t pos, int version, std::u16string& genreText,
                    std::optional<std::vector<std::u16string>>& track,
                    std::optional<std::vector<std::u16string>>& disc);
    TrailingTagLayout trailing;

    void findTrailingTags();
    void readLyrics3();
    void applyLyricsField(std::string_view id, std::string_view data);
    void applyId3v1();
    void readMpeg();
    void readVbrHeaders(std::string_view window);

    static void fillIfEmpty(std::u16string& prop, std::u16string value)
    {
        if (prop.empty() && !value.empty())
            prop = std::move(value);
    }
};

void Id3Reader::readId3v2()
{
    auto hdr = ParseId3v2Header(file.read(0, 10));
    if (!hdr) {
        tag.revision_ = 3;
        audioStart = 1;
        return;
    }
    tag.id3v2Exists_ = true;
    tag.revision_ = hdr->version;
    tag.tagUnsynchronised_ = hdr->unsynchronised();
    audioStart = hdr->totalLength() + 1; // 1-based
    if (hdr->compressed())
        return;

    // A tag that claims more than the file holds is read as far as the file goes.
    std::string synced;
    walkFrames(TagFrames(*hdr, file.readInto(buffers.body, 10, static_cast<std::size_t>(hdr->size)), synced),
               hdr->version);
}

void Id3Reader::walkFrames(std::string_view data, int version)
{
    std::u16string genreText;
    std::optional<std::vector<std::u16string>> track, disc;
    const std::size_t idLen = static_cast<std::size_t>(FrameIdLength(version));
    std::size_t pos = 0;
    while (pos < data.size()) {
        std::string_view id = data.substr(pos, idLen);
        if (id.size() == idLen && id.find_first_not_of('\0') == std::string_view::npos)
            break;
        if (IsMarkerPadding(data, pos))
            break;
        applyFrame(data, pos, version, genreText, track, disc);
        auto total = FrameTotalSize(data, pos, version);
        if (!total)
            break;
        pos += static_cast<std::size_t>(*total);
    }

    // Genre: only the first parenthesised group carries a number.
    if (!genreText.empty() && genreText[0] == u'(' && genreText.find(u')') != std::u16string::npos) {
        std::size_t close = genreText.find(u')');
        std::u16string_view inside = std::u16string_view(genreText).substr(1, close - 1);
        tag.Genre = genreText.substr(close + 1);
        if (inside == u"CR")
            tag.GenreID = kGenreCover;
        else if (inside == u"RX")
            tag.GenreID = kGenreRemix;
        else
            tag.GenreID = parseInt(inside).value_or(kGenreNone);
    } else {
        tag.Genre = genreText;
    }
    auto applyParts = [](const std::optional<std::vector<std::u16string>>& parts, std::u16string& number,
                         std::u16string& total) {
        if (!parts || parts->empty())
            return;
        number = (*parts)[0];
        if (parts->size() == 2)
            total = (*parts)[1];
    };
    applyParts(track, tag.TrackNumber, tag.TracksTotal);
    applyParts(disc, tag.DiscNumber, tag.DiscsTotal);
}

void Id3Reader::applyFrame(std::string_view data, std::size_t pos, int version, std::u16string& genreText,
                           std::optional<std::vector<std::u16string>>& track,
                           std::optional<std::vector<std::u16string>>& disc)
{
    const FrameSpec* def = FindFrame(data.substr(pos, static_cast<std::size_t>(FrameIdLength(version))));
    if (!def)
        return;
    if (def->kind == FrameKind::Picture) {
        tag.AttachedPictures->Add(ReadFramePicture(data, pos, version), std::nullopt, std::nullopt, true);
        return;
    }
    bool language = def->kind == FrameKind::Comment || def->kind == FrameKind::Lyrics;
    FrameText content = ReadFrameText(data, pos, version, language, true);
    switch (def->kind) {
    case FrameKind::Comment:
    case FrameKind::Lyrics:
        if (!content.hasDescription)
            tag.*(def->member) = std::move(content.text);
        break;
    case FrameKind::Genre: genreText = std::move(content.text); break;
    case FrameKind::Track: track = splitParts(content.text); break;
    case FrameKind::Disc: disc = splitParts(content.text); break;
    case FrameKind::DateYear:
    case FrameKind::DateOrigYear: tag.*(def->member) = beforeDash(content.text); break;
    case FrameKind::CommercialUrl: tag.CommercialInfo->Add(ToUtf8(content.text)); break;
    case FrameKind::ArtistUrl: tag.ArtistURL->Add(ToUtf8(content.text)); break;
    case FrameKind::Text:
    case FrameKind::Url: tag.*(def->member) = std::move(content.text); break;
    case FrameKind::Picture: break;
    }
}

void Id3Reader::findTrailingTags()
{
    trailing = LocateTrailingTags(file);
    tag.id3v1Exists_ = trailing.id3v1;
    audioEnd = trailing.beforeId3v1;
}

void Id3Reader::readLyrics3()
{
    tag.lyrics3v2Exists_ = trailing.lyrics3v2;
    tag.lyrics3v1Exists_ = trailing.lyrics3v1;
    if (trailing.lyricsStart < 0)
        return;
    const std::size_t fieldsAt = kLyricsBegin.size();
    if (trailing.lyrics3v2) {
        // The block is dropped from the audio; its fields fill what ID3v2 left empty.
        std::string_view b = file.readInto(buffers.chunk, trailing.lyricsStart,
                                           static_cast<std::size_t>(trailing.beforeId3v1 - 15 - trailing.lyricsStart));
        audioEnd = trailing.lyricsStart;
        std::size_t pos = fieldsAt;
        while (pos < b.size()) {
            std::string_view id = b.substr(pos, 3);
            std::string_view lenText = b.substr(std::min(pos + 3, b.size()), 5);
            if (!AllDigits(lenText) || lenText.size() != 5)
                break;
            std::size_t start = std::min(pos + 8, b.size());
            applyLyricsField(id, b.substr(start, static_cast<std::size_t>(DigitsValue(lenText))));
            pos += 8 + static_cast<std::size_t>(DigitsValue(lenText));
        }
    } else if (tag.Lyrics.empty()) {
        // A v1 block stays within the audio; its lyrics run up to the end marker.
        const std::int64_t textAt = trailing.lyricsStart + static_cast<std::int64_t>(fieldsAt);
        tag.Lyrics = DecodeSingleByte(file.read(textAt, static_cast<std::size_t>(trailing.beforeId3v1 - 9 - textAt)));
    }
}

void Id3Reader::applyLyricsField(std::string_view id, std::string_view data)
{
    std::u16string text = DecodeSingleByte(data);
    replaceAll(text, u"[CR][LF]", u"\r\n");
    replaceAll(text, u"[CR]", u"\r");
    replaceAll(text, u"[LF]", u"\n");
    if (id == "IND") {
        tag.lyricsTimeStamps_ = text.size() >= 2 && text[1] == u'1';
    } else if (id == "LYR") {
        if (tag.Lyrics.empty())
            tag.Lyrics = tag.lyricsTimeStamps_ ? removeTimeStamps(std::move(text)) : std::move(text);
    } else if (id == "AUT") {
        fillIfEmpty(tag.Lyricist, std::move(text));
    } else if (id == "EAL") {
        fillIfEmpty(tag.Album, std::move(text));
    } else if (id == "EAR") {
        fillIfEmpty(tag.Artist, std::move(text));
    } else if (id == "ETT") {
        fillIfEmpty(tag.Title, std::move(text));
    }
}

void Id3Reader::applyId3v1()
{
    if (!tag.id3v1Exists_)
        return;
    std::string rec(file.read(file.length() - 128, 128));
    if (rec.size() != 128)
        return;
    std::string_view r(rec);
    auto field = [&](std::size_t offset, std::size_t length) {
        std::u16string text = DecodeSingleByte(r.substr(offset, length));
        return trimRightSpaces(CutAtNul(text));
    };
    fillIfEmpty(tag.Title, field(3, 30));
    fillIfEmpty(tag.Artist, field(33, 30));
    fillIfEmpty(tag.Album, field(63, 30));
    fillIfEmpty(tag.Year, field(93, 4));
    bool v11 = ByteAt(r, 125) == 0 && ByteAt(r, 126) != 0;
    if (v11) {
        if (tag.TrackNumber.empty()) {
            std::string digits = std::to_string(ByteAt(r, 126));
            tag.TrackNumber.assign(digits.begin(), digits.end());
        }
        fillIfEmpty(tag.Comments, field(97, 28));
    } else {
        fillIfEmpty(tag.Comments, field(97, 30));
    }
    if (tag.GenreID == kGenreNone || tag.GenreID == kGenreOther)
        tag.GenreID = static_cast<std::int32_t>(ByteAt(r, 127));
}

void Id3Reader::readMpeg()
{
    auto& st = tag.stream_;
    constexpr std::int64_t kChunk = 20480;
    constexpr std::int64_t kWindow = 156;
    // The first frame nearly always starts the audio: look at a small prefix of a
    // chunk first and read the rest only when the search gets there.
    constexpr std::size_t kFirstLook = 4096;
    bool found = false;
    for (std::int64_t chunkStart = audioStart; chunkStart <= audioEnd && !found; chunkStart += kChunk) {
        const auto chunkLen = static_cast<std::size_t>(std::min(kChunk, audioEnd - chunkStart + 1));
        // The read covers the chunk and the windows of its last candidates.
        const auto readLen = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(chunkLen) + kWindow, audioEnd - chunkStart + 1));
        std::string_view buf = file.read(chunkStart - 1, std::min(readLen, kFirstLook + kWindow));
        bool whole = buf.size() >= readLen;
        std::size_t i = 0;
        while (i < chunkLen) {
            std::size_t searchEnd = std::min(chunkLen, buf.size());
            const void* hit = i < searchEnd ? std::memchr(buf.data() + i, 0xFF, searchEnd - i) : nullptr;
            std::size_t at = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - buf.data()) : searchEnd;
            std::int64_t p = chunkStart + static_cast<std::int64_t>(at); // 1-based position of the 0xFF
            std::size_t winLen = hit ? static_cast<std::size_t>(std::min(kWindow, audioEnd - p)) : 0;
            if (!whole && (!hit || at + 1 + winLen > buf.size())) {
                buf = file.readInto(buffers.chunk, chunkStart - 1, readLen);
                whole = true;
                continue;
            }
            if (!hit)
                break;
            i = at;
            std::string_view window = buf.substr(i + 1, winLen);
            st.headerBytes = {static_cast<std::uint8_t>(ByteAt(window, 0)),
                              static_cast<std::uint8_t>(ByteAt(window, 1)),
                              static_cast<std::uint8_t>(ByteAt(window, 2))};
            if (st.headerBytes[0] < 0xE0) {
                ++i;
                continue;
            }
            if (MpegHeader{st.headerBytes}.acceptable()) {
                st.frameDataPos = p + 4;
                found = true;
                st.audioBytes = static_cast<std::int32_t>(
                    std::clamp<std::int64_t>(audioEnd - st.frameDataPos, INT32_MIN, INT32_MAX));
                readVbrHeaders(window);
                break;
            }
            i += 4;
        }
    }
    if (!found)
        st.audioBytes = static_cast<std::int32_t>(std::clamp<std::int64_t>(audioEnd, INT32_MIN, INT32_MAX));
}

void Id3Reader::readVbrHeaders(std::string_view window)
{
    auto& st = tag.stream_;
    // Offsets count from the frame's 0xFF byte; the window starts one byte after it.
    auto at = [&](std::size_t offset) { return offset >= 1 ? ByteAt(window, offset - 1) : 0xFFu; };
    auto bytesAt = [&](std::size_t offset, std::size_t n) {
        return offset >= 1 && offset - 1 < window.size() ? window.substr(offset - 1, n) : std::string_view();
    };
    auto be32 = [&](std::size_t offset) {
        return static_cast<std::int32_t>(at(offset) << 24 | at(offset + 1) << 16 | at(offset + 2) << 8 |
                                         at(offset + 3));
    };
    auto be16 = [&](std::size_t offset) { return static_cast<std::int32_t>(at(offset) << 8 | at(offset + 1)); };

    MpegHeader hdr{st.headerBytes};
    bool mono = hdr.channelMode() == 3;
    std::size_t side = hdr.version() == 2 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    std::string xing = AsciiLower(bytesAt(4 + side, 4));
    if (xing == "xing" || xing == "info") {
        unsigned flags = at(8 + side + 3);
        std::size_t offset = 12 + side;
        std::int32_t length = 8;
        if (flags & 1) {
            st.vbrFrames = be32(offset);
            offset += 4;
            length += 4;
        }
        if (flags & 2) {
            st.vbrBytes = be32(offset);
            offset += 4;
            length += 4;
        }
        if (flags & 4) {
            st.vbrToc = std::string(bytesAt(offset, 100));
            offset += 100;
            length += 100;
        }
        if (flags & 8) {
            st.vbrQuality = be32(offset);
            length += 4;
        }
        if (xing == "xing")
            st.isVBR = true;
        st.audioBytes -= length;
    }
    if (AsciiLower(bytesAt(36, 4)) == "vbri") {
        st.isVBR = true;
        st.vbriVersion = be16(36 + 4);
        st.vbrBytes = be32(36 + 10);
        st.vbrFrames = be32(36 + 14);
        std::int32_t entries = be16(36 + 18);
        std::int32_t entrySize = be16(36 + 22);
        // Two 16-bit counts multiply past 32 bits; the count stays within its type.
        std::int64_t remaining = static_cast<std::int64_t>(st.audioBytes) - 26 -
                                 static_cast<std::int64_t>(entries) * entrySize;
        st.audioBytes = static_cast<std::int32_t>(std::clamp<std::int64_t>(remaining, INT32_MIN, INT32_MAX));
    }
}

void clsID3::RefreshID3Tags()
{
    FileReader file(*fs_, fileName_, *buffers_);
    readFrom(file);
}

void clsID3::readFrom(FileReader& file)
{
    resetForRead();
    readStatus_ = file.status();
    readIdentity_ = file.isOpen() ? file.identity() : FileIdentity{};
    if (!file.isOpen()) {
        revision_ = 3;
        return;
    }
    Id3Reader reader{*this, file, *buffers_, 1, 0, {}};
    reader.readId3v2();
    reader.findTrailingTags();
    reader.readLyrics3();
    reader.applyId3v1();
    reader.readMpeg();
    rememberReadValues();
}

} // namespace brindle
