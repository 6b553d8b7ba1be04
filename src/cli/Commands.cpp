#include "Commands.h"

#include "tag/FolderScan.h"
#include "tag/Properties.h"
#include "tag/TextCodec.h"
#include "tag/clsID3.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cstring>
#include <ostream>

namespace brindle::cli {

namespace {

using Json = nlohmann::ordered_json;

std::string utf8(const std::u16string& s) { return ToUtf8(s); }
// Paths are bytes on Linux; show them as valid UTF-8 whatever they hold.
std::string printablePath(const std::string& path) { return ToUtf8(FromUtf8(path)); }

Json listJson(const MultiFrameData& list)
{
    Json a = Json::array();
    for (std::int32_t i = 1; i <= list.Count(); ++i)
        a.push_back(printablePath(list.Item(i)));
    return a;
}

Json picturesJson(const MultiFrameData& list, int revision)
{
    Json a = Json::array();
    for (std::int32_t i = 1; i <= list.Count(); ++i) {
        PictureParts p = SplitPictureEntry(list.Item(i), revision);
        a.push_back(Json{{"Format", utf8(DecodeSingleByte(p.format))},
                         {"PictureType", p.pictureType},
                         {"Description", utf8(DecodeSingleByte(p.description))},
                         {"DataLength", p.dataLength}});
    }
    return a;
}

Json tagJson(const clsID3& tag)
{
    Json j;
    for (const auto& p : TextProperties()) {
        if (p.name == "Genre")
            j["GenreID"] = tag.GenreID;
        j[std::string(p.name)] = utf8(tag.*(p.member));
        if (p.name == "Lyrics")
            j["CommercialInfo"] = listJson(*tag.CommercialInfo);
        else if (p.name == "AudioURL")
            j["ArtistURL"] = listJson(*tag.ArtistURL);
    }
    j["AttachedPictures"] = picturesJson(*tag.AttachedPictures, tag.ID3RevisionV2());
    j["FileName"] = printablePath(tag.FileName());
    j["ID3v1Exists"] = tag.ID3v1Exists();
    j["ID3v2Exists"] = tag.ID3v2Exists();
    j["Lyrics3v1Exists"] = tag.Lyrics3v1Exists();
    j["Lyrics3v2Exists"] = tag.Lyrics3v2Exists();
    j["ID3RevisionV2"] = tag.ID3RevisionV2();
    j["Layer"] = tag.Layer();
    j["Padding"] = tag.Padding();
    j["MPEGVersion"] = tag.MPEGVersion();
    j["ChannelMode"] = tag.ChannelMode();
    j["Encoding"] = tag.Encoding();
    j["SamplingRateFrequency"] = tag.SamplingRateFrequency();
    j["BitRate"] = tag.BitRate();
    j["FrameSize"] = tag.FrameSize();
    j["FrameSamples"] = tag.FrameSamples();
    j["Length"] = tag.Length();
    return j;
}

void printPlain(const clsID3& tag, std::ostream& out)
{
    out << "FileName: " << printablePath(tag.FileName()) << "\n";
    for (const auto& p : TextProperties()) {
        if (p.name == "Genre")
            out << "GenreID: " << tag.GenreID << " (" << utf8(clsID3::GenreName(tag.GenreID)) << ")\n";
        if (!(tag.*(p.member)).empty())
            out << p.name << ": " << utf8(tag.*(p.member)) << "\n";
    }
    for (std::int32_t i = 1; i <= tag.ArtistURL->Count(); ++i)
        out << "ArtistURL: " << printablePath(tag.ArtistURL->Item(i)) << "\n";
    for (std::int32_t i = 1; i <= tag.CommercialInfo->Count(); ++i)
        out << "CommercialInfo: " << printablePath(tag.CommercialInfo->Item(i)) << "\n";
    for (std::int32_t i = 1; i <= tag.AttachedPictures->Count(); ++i) {
        PictureParts p = SplitPictureEntry(tag.AttachedPictures->Item(i), tag.ID3RevisionV2());
        out << "AttachedPicture: " << utf8(DecodeSingleByte(p.format)) << ", type " << p.pictureType << ", "
            << p.dataLength << " bytes";
        if (!p.description.empty())
            out << ", \"" << utf8(DecodeSingleByte(p.description)) << "\"";
        out << "\n";
    }
    out << "Tags:";
    if (tag.ID3v2Exists())
        out << " ID3v2." << int(tag.ID3RevisionV2());
    if (tag.ID3v1Exists())
        out << " ID3v1";
    if (tag.Lyrics3v1Exists())
        out << " Lyrics3v1";
    if (tag.Lyrics3v2Exists())
        out << " Lyrics3v2";
    if (!tag.ID3v2Exists() && !tag.ID3v1Exists() && !tag.Lyrics3v1Exists() && !tag.Lyrics3v2Exists())
        out << " none";
    out << "\n";
    static const char* const versions[] = {"MPEG 2.5", "reserved", "MPEG 1", "MPEG 2"};
    static const char* const layers[] = {"reserved", "Layer III", "Layer II", "Layer I"};
    static const char* const modes[] = {"stereo", "joint stereo", "dual channel", "single channel"};
    if (tag.Stream().frameDataPos == 0) {
        out << "Audio: no MPEG frame found\n";
        return;
    }
    out << "Audio: " << versions[tag.MPEGVersion() & 3] << " " << layers[tag.Layer() & 3] << ", "
        << tag.SamplingRateFrequency() << " Hz, " << modes[tag.ChannelMode() & 3] << ", "
        << utf8(FormatBitRate(tag.BitRate(), tag.Encoding())) << ", " << utf8(FormatPlayingTime(tag.Length()))
        << "\n";
}

bool readable(const clsID3& tag, const std::string& file, std::ostream& err)
{
    if (tag.ReadError() == 0)
        return true;
    err << "brindle-cli: " << printablePath(file) << ": " << std::strerror(tag.ReadError()) << "\n";
    return false;
}

bool isList(std::string_view name) { return name == "ArtistURL" || name == "CommercialInfo"; }

std::shared_ptr<MultiFrameData>& listOf(clsID3& tag, std::string_view name)
{
    return name == "ArtistURL" ? tag.ArtistURL : tag.CommercialInfo;
}

std::optional<std::int32_t> parseGenreId(const std::string& text)
{
    std::int32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

} // namespace

int Show(const std::vector<std::string>& files, bool json, std::ostream& out, std::ostream& err)
{
    int status = 0;
    clsID3 tag;
    bool first = true;
    for (const auto& file : files) {
        tag.SetFileName(file);
        if (!readable(tag, file, err)) {
            status = 1;
            continue;
        }
        if (json) {
            out << tagJson(tag).dump() << "\n";
        } else {
            if (!first)
                out << "\n";
            printPlain(tag, out);
        }
        first = false;
    }
    return status;
}

int List(const std::string& folder, bool json, std::ostream& out, std::ostream& err)
{
    int error = 0;
    std::vector<std::string> names = ListFolderMp3s(folder, &error);
    if (error) {
        err << "brindle-cli: " << printablePath(folder) << ": " << std::strerror(error) << "\n";
        return 1;
    }
    std::string base = folder;
    if (!base.empty() && base.back() != '/')
        base.push_back('/');
    clsID3 tag;
    Json rows = Json::array();
    if (!json) {
        for (int c = 0; c < 11; ++c)
            out << (c ? "\t" : "") << kListColumnTitles[c];
        out << "\n";
    }
    for (const auto& name : names) {
        tag.SetFileName(base + name);
        std::vector<std::u16string> cells = ListRowCells(FromUtf8(name), tag);
        if (json) {
            Json row;
            for (int c = 0; c < 11; ++c)
                row[kListColumnTitles[c]] = utf8(cells[static_cast<std::size_t>(c)]);
            rows.push_back(std::move(row));
        } else {
            for (int c = 0; c < 11; ++c) {
                std::string cell = utf8(cells[static_cast<std::size_t>(c)]);
                for (auto& ch : cell)
                    if (ch == '\t' || ch == '\n' || ch == '\r')
                        ch = ' ';
                out << (c ? "\t" : "") << cell;
            }
            out << "\n";
        }
    }
    if (json)
        out << rows.dump() << "\n";
    return 0;
}

std::string ValidateEdits(const std::vector<Edit>& edits)
{
    for (const auto& e : edits) {
        switch (e.kind) {
        case Edit::Kind::Set:
            if (e.name == "GenreID") {
                if (!parseGenreId(e.value))
                    return "GenreID needs a whole number, not \"" + e.value + "\"";
            } else if (!FindTextProperty(e.name)) {
                return "unknown property \"" + e.name + "\"";
            }
            break;
        case Edit::Kind::Add:
        case Edit::Kind::Clear:
            if (!isList(e.name))
                return "unknown list \"" + e.name + "\" (ArtistURL or CommercialInfo)";
            break;
        }
    }
    return {};
}

int Set(const std::vector<std::string>& files, const std::vector<Edit>& edits, std::ostream& out, std::ostream& err)
{
    int status = 0;
    clsID3 tag;
    for (const auto& file : files) {
        tag.SetFileName(file);
        if (!readable(tag, file, err)) {
            status = 1;
            continue;
        }
        for (const auto& e : edits) {
            switch (e.kind) {
            case Edit::Kind::Set:
                if (e.name == "GenreID")
                    tag.GenreID = *parseGenreId(e.value);
                else
                    tag.*(FindTextProperty(e.name)->member) = FromUtf8(e.value);
                break;
            case Edit::Kind::Add: listOf(tag, e.name)->Add(ToUtf8(FromUtf8(e.value))); break;
            case Edit::Kind::Clear: listOf(tag, e.name)->Clear(); break;
            }
        }
        if (!tag.UpdateID3Tags()) {
            err << "brindle-cli: " << printablePath(file) << ": " << tag.LastError() << "\n";
            status = 1;
        }
    }
    (void)out;
    return status;
}

int Strip(const std::vector<std::string>& files, std::ostream& out, std::ostream& err)
{
    int status = 0;
    clsID3 tag;
    for (const auto& file : files) {
        tag.SetFileName(file);
        if (!readable(tag, file, err)) {
            status = 1;
            continue;
        }
        if (!tag.DeleteID3Tags()) {
            err << "brindle-cli: " << printablePath(file) << ": " << tag.LastError() << "\n";
            status = 1;
        }
    }
    (void)out;
    return status;
}

} // namespace brindle::cli
