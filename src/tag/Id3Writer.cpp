// Writing the tag object back: the ID3v2 tag is edited frame by frame in memory
// (known frames replaced where they stand, unknown frames kept byte for byte, new
// frames appended in table order), the trailing tags are rebuilt, and the file is
// rewritten through a temporary copy.

#include "Ascii.h"
#include "FileReader.h"
#include "FileSystem.h"
#include "FrameTable.h"
#include "Genres.h"
#include "Id3v2Layout.h"
#include "Properties.h"
#include "SafeRewrite.h"
#include "TextCodec.h"
#include "TrailingTags.h"
#include "clsID3.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace brindle {

namespace {

std::u16string ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// A URL frame has no encoding byte: characters Windows-1252 lacks go out as
// percent-encoded UTF-8, which keeps the address usable instead of turning it into '?'.
std::string urlBytes(std::u16string_view url)
{
    std::string out;
    std::size_t i = 0;
    while (i < url.size()) {
        std::size_t j = i;
        while (j < url.size() && !FitsSingleByte(url.substr(j, 1)))
            ++j;
        if (j == i) {
            out += EncodeSingleByte(url.substr(i, 1));
            ++i;
            continue;
        }
        static constexpr char kHex[] = "0123456789ABCDEF";
        for (unsigned char b : ToUtf8(url.substr(i, j - i))) {
            out.push_back('%');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 0x0F]);
        }
        i = j;
    }
    return out;
}

// A picture entry read from a UTF-16 frame keeps its description in UTF-16 (with
// its byte-order mark and a two-byte terminator); it must go back out as encoding 1,
// or the description's terminator would eat into the image bytes.
bool pictureDescriptionIsUtf16(std::string_view entry, int version)
{
    std::size_t at;
    if (version < 3) {
        at = 4; // three-letter format, picture type
    } else {
        std::size_t nul = entry.find('\0');
        if (nul == std::string_view::npos)
            return false;
        at = nul + 2; // MIME type, NUL, picture type
    }
    if (at + 1 >= entry.size())
        return false;
    auto a = static_cast<unsigned char>(entry[at]), b = static_cast<unsigned char>(entry[at + 1]);
    return (a == 0xFF && b == 0xFE) || (a == 0xFE && b == 0xFF);
}

std::u16string beforeDash(std::u16string_view text) { return std::u16string(text.substr(0, text.find(u'-'))); }

std::u16string partOfSet(const std::u16string& number, const std::u16string& total)
{
    if (number.empty())
        return {};
    return total.empty() ? number : number + u"/" + total;
}

// The rewrite's outcome in the object: false with the reason, or true (with a note
// when something harmless was left over).
bool finish(const RewriteResult& result, std::string& lastError)
{
    lastError = result.reason;
    return result.ok;
}

} // namespace

struct Id3Writer {
    explicit Id3Writer(clsID3& t) : tag(t) {}

    clsID3& tag;
    int version = 3;
    std::vector<std::string_view> pending;
    std::vector<std::string_view> written; // IDs that left the pending set
    std::string body;                      // the old tag's frames; after editFrames, the new tag's
    std::string out;                       // the new tag while editFrames walks the old one
    bool tooLarge = false;                 // a frame or the tag does not fit its size field
    // A kept last frame whose size runs past the old tag. It goes after the appended
    // frames: placed before them, it would swallow them for every reader.
    std::string overrunFrame;

    // IDs whose frames all stay as they are: the property was not changed since the
    // file was read, and rewriting the first frame would lose what the others, or an
    // unreadable (compressed, encrypted) frame, hold.
    std::vector<std::string> keepWhole;

    enum class ValueKind { None, Text, Comment, Url, Picture };
    struct Value {
        ValueKind kind = ValueKind::None;
        std::u16string text;
        std::string bytes; // picture entries and list URLs (UTF-8)
        bool empty() const
        {
            return kind == ValueKind::Picture || kind == ValueKind::Url ? bytes.empty() && text.empty() : text.empty();
        }
    };

    void fillPending()
    {
        pending.clear();
        if (version < 3) {
            pending.assign(kFrameOrderV2.begin(), kFrameOrderV2.end());
            return;
        }
        for (std::string_view id : kFrameOrderV3) {
            if (version > 3 && id == "TORY")
                id = "TDOR";
            else if (version > 3 && id == "TYER")
                id = "TDRC";
            pending.push_back(id);
        }
    }
    bool isPending(std::string_view id) const
    {
        return std::any_of(pending.begin(), pending.end(),
                           [&](std::string_view p) { return EqualsIgnoreAsciiCase(p, id); });
    }
    void unpend(std::string_view id)
    {
        auto it = std::find_if(pending.begin(), pending.end(),
                               [&](std::string_view p) { return EqualsIgnoreAsciiCase(p, id); });
        if (it != pending.end()) {
            written.push_back(*it);
            pending.erase(it);
        }
    }
    bool isWritten(std::string_view id) const
    {
        return std::any_of(written.begin(), written.end(),
                           [&](std::string_view p) { return EqualsIgnoreAsciiCase(p, id); });
    }

    std::u16string genreText() const
    {
        std::u16string number = tag.GenreID == kGenreCover   ? u"CR"
                                : tag.GenreID == kGenreRemix ? u"RX"
                                                             : ascii(std::to_string(tag.GenreID));
        std::u16string t = AsciiLower(TrimBlanks(std::u16string_view(tag.Genre)));
        if (!t.empty() && (tag.GenreID == kGenreOther || tag.GenreID == kGenreNone))
            return tag.Genre;
        if (!t.empty() && t != u"other" && t != u"unknown")
            return u"(" + number + u")" + tag.Genre;
        return u"(" + number + u")";
    }

    // The value a frame with this ID receives; the list kinds take the entry at the counter.
    Value valueOf(std::string_view id)
    {
        Value v;
        const FrameSpec* def = FindFrame(AsciiUpper(id));
        if (!def)
            return v;
        auto entry = [](const std::shared_ptr<MultiFrameData>& l, std::int32_t counter) {
            return l && counter >= 1 && counter <= l->Count() ? l->Item(counter) : std::string();
        };
        switch (def->kind) {
        case FrameKind::Comment:
        case FrameKind::Lyrics:
            v.kind = ValueKind::Comment;
            v.text = tag.*(def->member);
            break;
        case FrameKind::Genre:
            v.kind = ValueKind::Text;
            v.text = genreText();
            break;
        case FrameKind::Track:
            v.kind = ValueKind::Text;
            v.text = partOfSet(tag.TrackNumber, tag.TracksTotal);
            break;
        case FrameKind::Disc:
            v.kind = ValueKind::Text;
            v.text = partOfSet(tag.DiscNumber, tag.DiscsTotal);
            break;
        case FrameKind::Picture:
            v.kind = ValueKind::Picture;
            v.bytes = entry(tag.AttachedPictures, tag.counterPictures_);
            break;
        case FrameKind::CommercialUrl:
            v.kind = ValueKind::Url;
            v.bytes = entry(tag.CommercialInfo, tag.counterCommercial_);
            break;
        case FrameKind::ArtistUrl:
            v.kind = ValueKind::Url;
            v.bytes = entry(tag.ArtistURL, tag.counterArtistURL_);
            break;
        case FrameKind::Url:
            v.kind = ValueKind::Url;
            v.text = tag.*(def->member);
            break;
        case FrameKind::Text:
        case FrameKind::DateYear:
        case FrameKind::DateOrigYear:
            v.kind = ValueKind::Text;
            v.text = tag.*(def->member);
            break;
        }
        return v;
    }

    // Frame content. Text that Windows-1252 cannot hold goes out as UTF-16 so nothing is lost.
    std::string contentOf(const Value& v) const
    {
        std::string out;
        switch (v.kind) {
        case ValueKind::Comment:
            if (FitsSingleByte(v.text)) {
                out.assign("\0eng\0", 5);
                out += EncodeSingleByte(v.text);
            } else {
                out.assign("\x01"
                           "eng",
                           4);
                out += EncodeUtf16WithBom(u"");
                out.append(2, '\0');
                out += EncodeUtf16WithBom(v.text);
            }
            break;
        case ValueKind::Url: out = urlBytes(v.bytes.empty() ? v.text : FromUtf8(v.bytes)); break;
        case ValueKind::Picture:
            out.push_back(pictureDescriptionIsUtf16(v.bytes, version) ? '\x01' : '\0');
            out += v.bytes;
            break;
        case ValueKind::Text:
            if (FitsSingleByte(v.text)) {
                out.push_back('\0');
                out += EncodeSingleByte(v.text);
            } else {
                out.push_back('\x01');
                out += EncodeUtf16WithBom(v.text);
            }
            break;
        case ValueKind::None: break;
        }
        return out;
    }

    std::string frameHeader(std::string_view id, std::size_t contentLength)
    {
        // Wrapped size fields would corrupt the tag; refuse the write instead.
        const std::size_t limit = version < 3 ? 0xFFFFFFu : version == 3 ? 0xFFFFFFFFu : 0x0FFFFFFFu;
        if (contentLength > limit)
            tooLarge = true;
        std::string h(id);
        if (version < 3)
            return h + EncodeSize(contentLength, 3, false);
        h += EncodeSize(contentLength, 4, version > 3);
        h.append(2, '\0');
        return h;
    }

    // Replace mode when pos is given; returns the position after the written frame.
    std::size_t putFrame(std::string_view id, std::size_t pos, const Value& value, bool append)
    {
        if (append) {
            if (value.empty())
                return body.size();
            std::string content = contentOf(value);
            body += frameHeader(id, content.size());
            body += content;
            return body.size();
        }
        // The same picture as before keeps its frame whole: its description is stored in
        // the frame's own text encoding, and its format flags (a data length, say) describe
        // bytes that must stay with them.
        if (value.kind == ValueKind::Picture && ReadFramePicture(body, pos, version) == value.bytes)
            return skipFrame(pos);
        auto total = FrameTotalSize(body, pos, version);
        std::size_t oldLength = std::min<std::size_t>(total ? static_cast<std::size_t>(*total) : body.size() - pos,
                                                      body.size() - pos);
        if (value.empty())
            return pos + oldLength;
        std::string content = contentOf(value);
        // IDs are matched without regard to letter case; a written frame gets the
        // upper-case ID every reader looks for, or its value would be lost to them.
        std::string oldId = AsciiUpper(body.substr(pos, static_cast<std::size_t>(FrameIdLength(version))));
        if (const FrameSpec* def = FindFrame(oldId);
            def && (def->kind == FrameKind::DateYear || def->kind == FrameKind::DateOrigYear)) {
            // Year holds only the text before the first "-": a date whose year did not
            // change keeps its month, day and time.
            std::u16string old = ReadFrameText(body, pos, version, false, true).text;
            if (old.find(u'-') != std::u16string::npos && beforeDash(old) == value.text) {
                Value full = value;
                full.text = old;
                content = contentOf(full);
            }
        }
        if (value.kind == ValueKind::Text) {
            // The properties hold a frame's first value only; a frame with several
            // values (NUL-separated, as version 4 stores them) whose first value did
            // not change keeps the others.
            std::u16string full = ReadFrameText(body, pos, version, false, false).text;
            if (full.find(u'\0') != std::u16string::npos && CutAtNul(full) == value.text) {
                Value all = value;
                all.text = std::move(full);
                content = contentOf(all);
            }
        }
        out += frameHeader(oldId, content.size());
        out += content;
        return pos + oldLength;
    }

    // Keeps the frame at pos; returns the position after it in the old tag (past the
    // end for a frame that overruns the tag, whose bytes editFrames takes back).
    std::size_t skipFrame(std::size_t pos)
    {
        auto total = FrameTotalSize(body, pos, version);
        const std::size_t length = static_cast<std::size_t>(total.value_or(0));
        unsigned format = pos + 9 < body.size() ? static_cast<unsigned char>(body[pos + 9]) : 0u;
        if (version <= 3 || !total || !(format & 0x02)) {
            out.append(body, pos, length);
            return pos + length;
        }
        std::size_t available = std::min<std::size_t>(length, body.size() - pos);
        std::string content = RemoveUnsync(
            std::string_view(body).substr(pos + 10, available - std::min<std::size_t>(available, 10)));
        out.append(body, pos, 4);
        out += EncodeSize(content.size(), 4, true);
        out.push_back(body[pos + 8]);
        out.push_back(static_cast<char>(format & ~0x02u));
        out += content;
        return pos + available;
    }

    // Drops the frame at pos; returns the position after it.
    std::size_t cutFrame(std::size_t pos)
    {
        auto total = FrameTotalSize(body, pos, version);
        return pos + std::min<std::size_t>(static_cast<std::size_t>(total.value_or(0)), body.size() - pos);
    }

    bool unchangedSinceRead(const FrameSpec& def) const
    {
        const clsID3::ReadValues& read = tag.readValues_;
        if (!read.valid)
            return false;
        auto same = [&](std::u16string clsID3::*member) {
            const auto props = TextProperties();
            for (std::size_t i = 0; i < props.size() && i < read.texts.size(); ++i)
                if (props[i].member == member)
                    return tag.*member == read.texts[i];
            return false;
        };
        switch (def.kind) {
        case FrameKind::Genre: return same(&clsID3::Genre) && tag.GenreID == read.genreID;
        case FrameKind::Track: return same(&clsID3::TrackNumber) && same(&clsID3::TracksTotal);
        case FrameKind::Disc: return same(&clsID3::DiscNumber) && same(&clsID3::DiscsTotal);
        case FrameKind::Picture:
        case FrameKind::CommercialUrl:
        case FrameKind::ArtistUrl: return false;
        default: return def.member && same(def.member);
        }
    }

    // Finds the IDs of keepWhole: more than one frame feeding the same property (for
    // comments and lyrics, those without a description), or one that cannot be read.
    void findFramesToKeepWhole()
    {
        struct Seen {
            std::string id;
            int frames = 0;
            bool unreadable = false;
        };
        std::vector<Seen> seen;
        const std::size_t idLen = static_cast<std::size_t>(FrameIdLength(version));
        std::size_t pos = 0;
        while (pos < body.size()) {
            auto total = FrameTotalSize(body, pos, version);
            if (!total)
                break;
            std::string id = AsciiUpper(body.substr(pos, idLen));
            if (id.find_first_not_of('\0') == std::string::npos || IsMarkerPadding(body, pos))
                break;
            const FrameSpec* def = FindFrame(id);
            if (def && !counterFor(def->kind)) {
                const bool described = (def->kind == FrameKind::Comment || def->kind == FrameKind::Lyrics) &&
                                       ReadFrameText(body, pos, version, true, true).hasDescription;
                if (!described) {
                    auto it = std::find_if(seen.begin(), seen.end(), [&](const Seen& s) { return s.id == id; });
                    if (it == seen.end())
                        it = seen.insert(seen.end(), Seen{id});
                    ++it->frames;
                    it->unreadable = it->unreadable || FrameIsUnreadable(body, pos, version);
                }
            }
            pos += static_cast<std::size_t>(*total);
        }
        for (const Seen& s : seen)
            if ((s.frames > 1 || s.unreadable) && unchangedSinceRead(*FindFrame(s.id)))
                keepWhole.push_back(s.id);
    }
    bool keptWhole(std::string_view id) const
    {
        return std::find(keepWhole.begin(), keepWhole.end(), id) != keepWhole.end();
    }

    std::int32_t* counterFor(FrameKind kind)
    {
        switch (kind) {
        case FrameKind::CommercialUrl: return &tag.counterCommercial_;
        case FrameKind::ArtistUrl: return &tag.counterArtistURL_;
        case FrameKind::Picture: return &tag.counterPictures_;
        default: return nullptr;
        }
    }
    const MultiFrameData* listFor(FrameKind kind) const
    {
        switch (kind) {
        case FrameKind::CommercialUrl: return tag.CommercialInfo.get();
        case FrameKind::ArtistUrl: return tag.ArtistURL.get();
        case FrameKind::Picture: return tag.AttachedPictures.get();
        default: return nullptr;
        }
    }

    // Walks the old frames and builds the new tag from them in one pass (editing the
    // old tag in place would move its rest for every frame: quadratic on large tags);
    // returns the padding length to write.
    std::size_t editFrames()
    {
        const std::size_t idLen = static_cast<std::size_t>(FrameIdLength(version));
        findFramesToKeepWhole();
        out.clear();
        out.reserve(body.size());
        std::size_t pos = 0;
        std::size_t frameStart = 0;
        std::size_t outAtFrameStart = 0;
        while (pos < body.size()) {
            frameStart = pos;
            outAtFrameStart = out.size();
            auto total = FrameTotalSize(body, pos, version);
            if (!total)
                break;
            std::string id = AsciiUpper(body.substr(pos, idLen));
            const FrameSpec* def = FindFrame(id);
            FrameKind kind = def ? def->kind : FrameKind::Text;
            if (def && keptWhole(id)) {
                pos = skipFrame(pos);
                unpend(id);
            } else if (def && (kind == FrameKind::Comment || kind == FrameKind::Lyrics)) {
                FrameText content = ReadFrameText(body, pos, version, true, true);
                if (content.hasDescription) {
                    pos = skipFrame(pos);
                } else if (isPending(id)) {
                    pos = putFrame(id, pos, valueOf(id), false);
                    unpend(id);
                } else {
                    pos = cutFrame(pos);
                }
            } else if (def && counterFor(kind)) {
                std::int32_t* counter = counterFor(kind);
                const MultiFrameData* l = listFor(kind);
                std::int32_t count = l ? l->Count() : 0;
                if (count >= *counter) {
                    pos = putFrame(id, pos, valueOf(id), false);
                    if (*counter == count)
                        unpend(id);
                    ++*counter;
                } else {
                    pos = cutFrame(pos);
                }
            } else {
                if (id.find_first_not_of('\0') == std::string::npos || IsMarkerPadding(body, pos))
                    break;
                if (isPending(id)) {
                    pos = putFrame(id, pos, valueOf(id), false);
                    unpend(id);
                } else if (isWritten(id)) {
                    // A second frame of a field already written would override it for readers.
                    pos = cutFrame(pos);
                } else {
                    pos = skipFrame(pos);
                }
            }
        }
        // A kept frame that runs past the end stays as it is, with no padding after it.
        if (pos > body.size()) {
            overrunFrame = body.substr(frameStart);
            out.resize(outAtFrameStart);
            body = std::move(out);
            return 0;
        }
        std::size_t oldPadding = body.size() - std::min(pos, body.size());
        body = std::move(out);
        return oldPadding == 0 ? 2048 : oldPadding;
    }

    void appendPending()
    {
        for (std::string_view id : std::vector<std::string_view>(pending)) {
            const FrameSpec* def = FindFrame(id);
            if (def && counterFor(def->kind)) {
                std::int32_t* counter = counterFor(def->kind);
                const MultiFrameData* l = listFor(def->kind);
                for (; l && *counter <= l->Count(); ++*counter)
                    putFrame(id, 0, valueOf(id), true);
            } else {
                putFrame(id, 0, valueOf(id), true);
            }
        }
        pending.clear();
    }
};

bool clsID3::UpdateID3Tags()
{
    lastError_.clear();
    // After a failed read the properties are no file's values: written, they would
    // replace whatever tags the file has by now.
    if (!readStatus_.ok()) {
        lastError_ = "its last read failed (" + readStatus_.reason() + "); read it again before saving";
        return false;
    }
    RewriteSession session(*fs_, fileName_);
    if (!session.isOpen()) {
        lastError_ = session.error();
        return false;
    }
    // The properties come from the last read: what they were read from must still be there.
    if (readIdentity_.known() && !(session.identity() == readIdentity_)) {
        lastError_ = session.notes().empty()
                         ? "it was changed by another program while it was being saved; it was left as that "
                           "program left it"
                         : session.notes().front() + "; read it again before saving";
        return false;
    }
    return writeWith(session);
}

bool clsID3::EditID3Tags(std::string path, const std::function<std::string(clsID3&)>& edit)
{
    lastError_.clear();
    fileName_ = std::move(path);
    RewriteSession session(*fs_, fileName_);
    if (!session.isOpen()) {
        resetForRead();
        readStatus_ = Status::Failed(session.error());
        lastError_ = session.error();
        return false;
    }
    FileReader reader(*fs_, session.fd(), *buffers_);
    readFrom(reader);
    // Writing what could not be read would replace the file's tags with the edits alone.
    if (!readStatus_.ok()) {
        lastError_ = readStatus_.reason();
        return false;
    }
    if (std::string why = edit(*this); !why.empty()) {
        lastError_ = std::move(why);
        return false;
    }
    return writeWith(session);
}

bool clsID3::writeWith(RewriteSession& session)
{
    // The file is locked: what it holds now is what the new tag is built on.
    ReadBuffers buffers;
    FileReader file(*fs_, session.fd(), buffers);

    Id3Writer w{*this};
    std::int64_t audioStart = 0;
    auto hdr = ParseId3v2Header(file.read(0, 10));
    if (hdr) {
        w.version = hdr->version;
        audioStart = hdr->totalLength();
        if (!hdr->compressed()) {
            file.readInto(w.body, 10, static_cast<std::size_t>(hdr->size));
            std::string synced;
            std::string_view frames = TagFrames(*hdr, w.body, synced);
            if (frames.data() != w.body.data() || frames.size() != w.body.size())
                w.body = std::string(frames);
        }
    }
    tagUnsynchronised_ = false;
    revision_ = static_cast<std::uint8_t>(w.version);

    w.fillPending();
    counterCommercial_ = counterArtistURL_ = counterPictures_ = 1;
    std::size_t padding = w.editFrames();
    w.appendPending();
    w.body += w.overrunFrame;
    if (w.tooLarge || w.body.size() + padding > 0x0FFFFFFFu) {
        lastError_ = "tag too large for its size fields: file left unchanged";
        return false;
    }

    RewritePlan plan;
    plan.head = "ID3";
    plan.head.push_back(static_cast<char>(w.version));
    plan.head.append(2, '\0');
    plan.head += EncodeSize(w.body.size() + padding, 4, true);
    plan.head += w.body;
    plan.head.append(padding, '\0');
    std::int64_t audioEnd = LocateTrailingTags(file).audioEnd();
    if (std::string why = CheckAudioKept(audioStart, audioEnd, file.length()); !why.empty()) {
        lastError_ = std::move(why);
        return false;
    }
    plan.audioBegin = static_cast<std::uint64_t>(audioStart);
    plan.audioEnd = static_cast<std::uint64_t>(audioEnd);
    plan.tail = BuildTrailer(*this);

    return finish(session.rewrite(plan), lastError_);
}

bool clsID3::DeleteID3Tags()
{
    lastError_.clear();
    // The audio stays as it is, and so do the audio properties read from it.
    StreamState stream = stream_;
    resetForRead();
    stream_ = stream;
    RewriteSession session(*fs_, fileName_);
    if (!session.isOpen()) {
        lastError_ = session.error();
        return false;
    }
    ReadBuffers buffers;
    FileReader file(*fs_, session.fd(), buffers);
    std::int64_t audioStart = 0;
    if (auto hdr = ParseId3v2Header(file.read(0, 10))) {
        revision_ = hdr->version;
        tagUnsynchronised_ = hdr->unsynchronised();
        audioStart = hdr->totalLength();
    }
    std::int64_t audioEnd = LocateTrailingTags(file).audioEnd();
    if (std::string why = CheckAudioKept(audioStart, audioEnd, file.length()); !why.empty()) {
        lastError_ = std::move(why);
        return false;
    }
    RewritePlan plan;
    plan.audioBegin = static_cast<std::uint64_t>(audioStart);
    plan.audioEnd = static_cast<std::uint64_t>(audioEnd);
    return finish(session.rewrite(plan), lastError_);
}

} // namespace brindle
