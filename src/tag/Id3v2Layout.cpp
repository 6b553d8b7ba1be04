#include "Id3v2Layout.h"

#include "Ascii.h"
#include "TextCodec.h"

#include <algorithm>
#include <limits>

namespace brindle {

namespace {

// The data of the frame at pos, clamped to what the tag holds, plus its format flags.
struct FrameData {
    std::string_view bytes;
    unsigned formatFlags = 0;
    bool valid = false;
};

FrameData frameData(std::string_view data, std::size_t pos, int version)
{
    FrameData fd;
    int idLen = FrameIdLength(version);
    int headerLen = FrameHeaderLength(version);
    int sizeLen = version < 3 ? 3 : 4;
    if (pos + static_cast<std::size_t>(idLen + sizeLen) > data.size())
        return fd;
    auto size = DecodeSize(data.substr(pos + static_cast<std::size_t>(idLen), static_cast<std::size_t>(sizeLen)),
                           version > 3);
    if (!size)
        return fd;
    if (version >= 3 && pos + 9 < data.size())
        fd.formatFlags = ByteAt(data, pos + 9);
    std::size_t start = pos + static_cast<std::size_t>(headerLen);
    if (start <= data.size())
        fd.bytes = data.substr(start, static_cast<std::size_t>(*size));
    fd.valid = true;
    return fd;
}

bool isUnreadable(const FrameData& fd, int version)
{
    if (version == 3)
        return fd.formatFlags & (kFormat23Compressed | kFormat23Encrypted);
    return version > 3 && (fd.formatFlags & (kFormat24Compressed | kFormat24Encrypted));
}

// Bytes the format flags place between the frame header and the content: group
// identifier, encryption method, data length (decompressed size in 2.3).
std::size_t extraHeaderBytes(unsigned format, int version)
{
    if (version == 3)
        return (format & kFormat23Compressed ? 4 : 0) + (format & kFormat23Encrypted ? 1 : 0) +
               (format & kFormat23Grouped ? 1 : 0);
    if (version > 3)
        return (format & kFormat24Grouped ? 1 : 0) + (format & kFormat24Encrypted ? 1 : 0) +
               (format & kFormat24DataLength ? 4 : 0);
    return 0;
}

// The content of a readable frame: unsynchronisation undone (it covers the extra
// header bytes too), then the extra header bytes dropped.
std::string_view frameContent(const FrameData& fd, int version, std::string& storage)
{
    std::string_view bytes = fd.bytes;
    if (version > 3 && (fd.formatFlags & kFormat24Unsynchronised)) {
        storage = RemoveUnsync(bytes);
        bytes = storage;
    }
    bytes.remove_prefix(std::min(bytes.size(), extraHeaderBytes(fd.formatFlags, version)));
    return bytes;
}

bool isEncodingByte(unsigned b, int version) { return b == 0 || b == 1 || (version > 3 && (b == 2 || b == 3)); }

std::u16string decodeText(unsigned encoding, std::string_view bytes)
{
    switch (encoding) {
    case 1: return DecodeMarkedUtf16(bytes);
    case 2: return DecodeUtf16BE(bytes);
    case 3: return DecodeUtf8(bytes);
    default: return DecodeSingleByte(bytes);
    }
}

} // namespace

std::optional<Id3v2Header> ParseId3v2Header(std::string_view h)
{
    if (h.size() < 10 || h.substr(0, 3) != "ID3")
        return std::nullopt;
    if (ByteAt(h, 3) >= 255 || ByteAt(h, 4) >= 255)
        return std::nullopt;
    for (std::size_t i = 6; i < 10; ++i)
        if (ByteAt(h, i) >= 128)
            return std::nullopt;
    Id3v2Header hdr;
    hdr.version = static_cast<std::uint8_t>(ByteAt(h, 3));
    hdr.revision = static_cast<std::uint8_t>(ByteAt(h, 4));
    hdr.flags = static_cast<std::uint8_t>(ByteAt(h, 5));
    hdr.size = *DecodeSize(h.substr(6, 4), true);
    return hdr;
}

std::string_view TagFrames(const Id3v2Header& header, std::string_view body, std::string& storage)
{
    if (header.unsynchronised() && header.version < 4) {
        storage = RemoveUnsync(body);
        body = storage;
    }
    if (header.extendedHeader()) {
        // Its size counts itself in 2.4, not the four size bytes in 2.3.
        if (auto ext = DecodeSize(body.substr(0, 4), header.version > 3)) {
            std::int64_t skip = header.version > 3 ? *ext : *ext + 4;
            body.remove_prefix(
                static_cast<std::size_t>(std::min<std::int64_t>(skip, static_cast<std::int64_t>(body.size()))));
        }
    }
    return body;
}

std::optional<std::int64_t> DecodeSize(std::string_view bytes, bool syncsafe)
{
    std::int64_t value = 0;
    const std::int64_t base = syncsafe ? 128 : 256;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        value = value * base + ByteAt(bytes, i);
        if (value > std::numeric_limits<std::int32_t>::max())
            return std::nullopt;
    }
    return value;
}

std::string EncodeSize(std::uint64_t value, int width, bool syncsafe)
{
    std::string out(static_cast<std::size_t>(width), '\0');
    const unsigned shift = syncsafe ? 7 : 8;
    const std::uint64_t mask = syncsafe ? 0x7F : 0xFF;
    for (int i = width - 1; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = static_cast<char>(value & mask);
        value >>= shift;
    }
    return out;
}

std::string RemoveUnsync(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (ByteAt(bytes, i) == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == '\0')
            ++i;
    }
    return out;
}

std::optional<std::int64_t> FrameTotalSize(std::string_view data, std::size_t pos, int version)
{
    int idLen = FrameIdLength(version);
    int sizeLen = version < 3 ? 3 : 4;
    if (pos + static_cast<std::size_t>(idLen + sizeLen) > data.size())
        return std::nullopt;
    auto size = DecodeSize(data.substr(pos + static_cast<std::size_t>(idLen), static_cast<std::size_t>(sizeLen)),
                           version > 3);
    if (!size)
        return std::nullopt;
    std::int64_t total = *size + FrameHeaderLength(version);
    if (total > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return total;
}

bool IsMarkerPadding(std::string_view data, std::size_t pos)
{
    if (pos >= data.size())
        return false;
    std::string_view rest = data.substr(pos);
    static constexpr std::string_view marker("\0\0\0MP3ext V", 11);
    std::size_t n = 0;
    for (std::size_t k = 11; k >= 1; --k) {
        if (rest.substr(0, k) == marker.substr(11 - k)) {
            n = k;
            break;
        }
    }
    std::size_t i = n;
    while (i < rest.size() && (rest[i] == '.' || (rest[i] >= '0' && rest[i] <= '9')))
        ++i;
    static constexpr std::string_view unicode("(unicode)");
    if (rest.substr(i, 9) == unicode)
        return true;
    for (std::size_t k = 8; k >= 1; --k)
        if (rest.substr(0, k) == unicode.substr(9 - k))
            return true;
    return false;
}

std::u16string_view CutAtNul(std::u16string_view text) { return text.substr(0, text.find(u'\0')); }

FrameText ReadFrameText(std::string_view data, std::size_t pos, int version, bool skipLanguage, bool cutAtNul)
{
    FrameText out;
    FrameData fd = frameData(data, pos, version);
    if (!fd.valid || isUnreadable(fd, version))
        return out;
    std::string unsynced;
    std::string_view bytes = frameContent(fd, version, unsynced);
    unsigned encoding = 0;
    if (!bytes.empty() && isEncodingByte(ByteAt(bytes, 0), version)) {
        encoding = ByteAt(bytes, 0);
        bytes.remove_prefix(1);
    }
    if (skipLanguage)
        bytes.remove_prefix(std::min<std::size_t>(3, bytes.size()));
    out.text = decodeText(encoding, bytes);
    if (!out.text.empty() && out.text[0] == u'\0')
        out.text.erase(0, 1);
    else
        out.hasDescription = true; // an empty content counts as described, like any text not starting with NUL
    if (cutAtNul)
        out.text.resize(CutAtNul(out.text).size());
    return out;
}

bool FrameIsUnreadable(std::string_view data, std::size_t pos, int version)
{
    FrameData fd = frameData(data, pos, version);
    return fd.valid && isUnreadable(fd, version);
}

std::string ReadFramePicture(std::string_view data, std::size_t pos, int version)
{
    FrameData fd = frameData(data, pos, version);
    if (!fd.valid || isUnreadable(fd, version))
        return {};
    std::string synced;
    std::string_view bytes = frameContent(fd, version, synced);
    // Pictures are large: cut the encoding byte and the leading NUL before the one copy.
    if (!bytes.empty() && isEncodingByte(ByteAt(bytes, 0), version))
        bytes.remove_prefix(1);
    if (!bytes.empty() && bytes[0] == '\0')
        bytes.remove_prefix(1);
    return std::string(bytes);
}

} // namespace brindle
