#include "Commands.h"

#include "ExtrasModule.h"
#include "tag/Parallel.h"
#include "Printable.h"

#include "tag/Ascii.h"
#include "tag/FileReader.h"
#include "tag/FolderScan.h"
#include "tag/Genres.h"
#include "tag/Properties.h"
#include "tag/RowCompare.h"
#include "tag/SafeRewrite.h"
#include "tag/TextCodec.h"
#include "tag/clsID3.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <mutex>
#include <ostream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace brindle::cli {

namespace {

using Json = nlohmann::ordered_json;

std::string utf8(const std::u16string& s) { return ToUtf8(s); }
// Paths are bytes on Linux; JSON shows them as valid UTF-8 whatever they hold.
std::string printablePath(const std::string& path) { return ToUtf8(FromUtf8(path)); }
// Tag text and names for a terminal: control characters escaped.
std::string shown(const std::u16string& s) { return Printable(ToUtf8(s)); }
std::string shown(const std::string& s) { return Printable(s); }

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
    out << "FileName: " << shown(tag.FileName()) << "\n";
    for (const auto& p : TextProperties()) {
        if (p.name == "Genre")
            out << "GenreID: " << tag.GenreID << " (" << shown(clsID3::GenreName(tag.GenreID)) << ")\n";
        if (!(tag.*(p.member)).empty())
            out << p.name << ": " << shown(tag.*(p.member)) << "\n";
    }
    for (std::int32_t i = 1; i <= tag.ArtistURL->Count(); ++i)
        out << "ArtistURL: " << shown(tag.ArtistURL->Item(i)) << "\n";
    for (std::int32_t i = 1; i <= tag.CommercialInfo->Count(); ++i)
        out << "CommercialInfo: " << shown(tag.CommercialInfo->Item(i)) << "\n";
    for (std::int32_t i = 1; i <= tag.AttachedPictures->Count(); ++i) {
        PictureParts p = SplitPictureEntry(tag.AttachedPictures->Item(i), tag.ID3RevisionV2());
        out << "AttachedPicture: " << shown(DecodeSingleByte(p.format)) << ", type " << p.pictureType << ", "
            << p.dataLength << " bytes";
        if (!p.description.empty())
            out << ", \"" << shown(DecodeSingleByte(p.description)) << "\"";
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
    if (!tag.HasAudioFrame()) {
        out << "Audio: no MPEG frame found\n";
        return;
    }
    out << "Audio: " << versions[tag.MPEGVersion() & 3] << " " << layers[tag.Layer() & 3] << ", "
        << tag.SamplingRateFrequency() << " Hz, " << modes[tag.ChannelMode() & 3] << ", "
        << utf8(FormatBitRate(tag.BitRate(), tag.Encoding())) << ", " << utf8(FormatPlayingTime(tag.Length())) << "\n";
}

bool readable(const clsID3& tag, const std::string& file, std::ostream& err)
{
    if (tag.ReadStatus())
        return true;
    ReportFile(err, file, tag.ReadStatus().reason());
    return false;
}

std::shared_ptr<MultiFrameData>& listOf(clsID3& tag, std::string_view name)
{
    if (name == "AttachedPictures")
        return tag.AttachedPictures;
    return name == "ArtistURL" ? tag.ArtistURL : tag.CommercialInfo;
}

// "PATH" or "PATH:TYPE" with TYPE a picture type 0..20.
void splitPicturePath(const std::string& value, std::string& path, int& type)
{
    path = value;
    type = 3;
    auto colon = value.rfind(':');
    if (colon == std::string::npos)
        return;
    std::string suffix = value.substr(colon + 1);
    int t = 0;
    auto [end, ec] = std::from_chars(suffix.data(), suffix.data() + suffix.size(), t);
    if (ec == std::errc() && end == suffix.data() + suffix.size() && !suffix.empty()) {
        path = value.substr(0, colon);
        type = t;
    }
}

bool readWholeFile(const std::string& path, std::string& bytes, std::string& error)
{
    // Without blocking, and only a regular file: a FIFO must not hang the command.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = fd < 0 || st.st_mode == 0 ? std::strerror(errno)
                : S_ISDIR(st.st_mode)     ? std::strerror(EISDIR)
                                          : "not a regular file";
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    bytes.clear();
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = std::strerror(errno);
            ::close(fd);
            return false;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
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

int ParseListColumn(const std::string& text)
{
    int number = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec == std::errc() && end == text.data() + text.size() && !text.empty())
        return number >= 1 && number <= 11 ? number : 0;
    for (int c = 0; c < kListColumnCount; ++c)
        if (EqualsIgnoreAsciiCase(kListColumnTitles[c], text))
            return c + 1;
    return 0;
}

int List(const std::string& folder, bool json, int sortColumn, bool descending, std::ostream& out, std::ostream& err)
{
    Status listed;
    std::vector<std::string> notes;
    std::vector<std::string> names = ListFolderMp3s(folder, &listed, &notes);
    for (const auto& note : notes)
        Report(err, note);
    if (!listed) {
        ReportFile(err, folder, listed.reason());
        return 1;
    }
    std::string base = folder;
    if (!base.empty() && base.back() != '/')
        base.push_back('/');
    clsID3 tag;
    std::vector<std::vector<std::u16string>> rows;
    rows.reserve(names.size());
    for (const auto& name : names) {
        tag.SetFileName(base + name);
        rows.push_back(ListRowCells(FromUtf8(name), tag));
    }
    std::vector<std::size_t> order(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    if (sortColumn > 0)
        order = SortRowOrder(rows.size(), sortColumn - 1, !descending, SortLocale::fromEnvironment(),
                             [&](std::size_t row, int column) -> std::u16string_view {
                                 return rows[row][static_cast<std::size_t>(column)];
                             });
    if (json) {
        Json array = Json::array();
        for (std::size_t r : order) {
            Json row;
            for (int c = 0; c < kListColumnCount; ++c)
                row[kListColumnTitles[c]] = utf8(rows[r][static_cast<std::size_t>(c)]);
            array.push_back(std::move(row));
        }
        out << array.dump() << "\n";
        return 0;
    }
    for (int c = 0; c < kListColumnCount; ++c)
        out << (c ? "\t" : "") << kListColumnTitles[c];
    out << "\n";
    for (std::size_t r : order) {
        for (int c = 0; c < kListColumnCount; ++c) {
            out << (c ? "\t" : "") << shown(rows[r][static_cast<std::size_t>(c)]);
        }
        out << "\n";
    }
    return 0;
}

std::vector<std::string> SetPropertyNames()
{
    std::vector<std::string> names;
    for (const auto& p : TextProperties()) {
        if (p.name == "Genre")
            names.emplace_back("GenreID");
        names.emplace_back(p.name);
    }
    return names;
}

std::vector<std::string> ListPropertyNames() { return {"ArtistURL", "CommercialInfo", "AttachedPictures"}; }

std::vector<std::string> CheckInputs(const std::vector<std::string>& files, bool force, bool& skipped,
                                     std::ostream& err)
{
    std::vector<std::string> accepted;
    for (const auto& file : files) {
        const auto slash = file.rfind('/');
        const std::string_view name = slash == std::string::npos ? std::string_view(file)
                                                                 : std::string_view(file).substr(slash + 1);
        struct stat st {};
        // stat, not open: a FIFO named like an MP3 file must not block the command.
        std::string reason;
        if (::stat(file.c_str(), &st) != 0)
            reason = std::strerror(errno);
        else if (!S_ISREG(st.st_mode))
            reason = S_ISDIR(st.st_mode) ? "skipped: a folder" : "skipped: not a regular file";
        else if (!force && !IsListedMp3Name(name))
            reason = "skipped: not an MP3 file name (one ending in \".mp3\")";
        if (reason.empty()) {
            accepted.push_back(file);
        } else {
            ReportFile(err, file, reason);
            skipped = true;
        }
    }
    return accepted;
}

namespace {

std::size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

// The proper spelling of name among names, letter case ignored; "" when none.
std::string canonical(const std::string& name, const std::vector<std::string>& names)
{
    for (const auto& n : names)
        if (EqualsIgnoreAsciiCase(n, name))
            return n;
    return {};
}

// " (did you mean X or Y?)" with the nearest names, or "".
std::string suggestion(const std::string& typed, const std::vector<std::string>& names)
{
    const std::string t = AsciiLower(typed);
    const std::size_t limit = std::max<std::size_t>(2, t.size() / 3);
    std::size_t best = limit + 1;
    std::vector<std::string> near;
    for (const auto& n : names) {
        const std::string l = AsciiLower(n);
        std::size_t d = editDistance(t, l);
        if (t.size() >= 3 && l.find(t) != std::string::npos)
            d = std::min(d, limit); // a part of the name typed
        if (d > limit)
            continue;
        if (d < best) {
            best = d;
            near.clear();
        }
        if (d == best && near.size() < 3)
            near.push_back(n);
    }
    if (near.empty())
        return {};
    std::string text = " (did you mean ";
    for (std::size_t i = 0; i < near.size(); ++i)
        text += (i == 0 ? "" : i + 1 == near.size() ? " or " : ", ") + near[i];
    return text + "?)";
}

bool allDigits(const std::string& value)
{
    return std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// What a property takes, when the value is not that; "" when it is.
std::string valueProblem(const std::string& name, const std::string& value)
{
    if (name == "GenreID") {
        const auto id = parseGenreId(value);
        if (!id || GenreNameOf(*id).empty())
            return "GenreID takes a genre number (0 to " + std::to_string(kGenreCount - 1) + ", " +
                   std::to_string(kGenreNone) + " none, -1 remix, -2 cover), not \"" + Printable(value) + "\"";
    } else if (name == "TrackNumber" || name == "TracksTotal" || name == "DiscNumber" || name == "DiscsTotal") {
        if (!allDigits(value))
            return name + " takes digits or nothing, not \"" + Printable(value) + "\"";
    } else if (name == "Year") {
        if (!value.empty() && (value.size() != 4 || !allDigits(value)))
            return "Year takes four digits or nothing, not \"" + Printable(value) + "\"";
    }
    return {};
}

} // namespace

std::string PrepareEdits(std::vector<Edit>& edits)
{
    const std::vector<std::string> settable = SetPropertyNames(), lists = ListPropertyNames();
    std::vector<std::string> all = settable;
    all.insert(all.end(), lists.begin(), lists.end());
    for (auto& e : edits) {
        const bool set = e.kind == Edit::Kind::Set;
        const std::string proper = canonical(e.name, set ? settable : lists);
        if (proper.empty()) {
            if (const std::string other = canonical(e.name, set ? lists : settable); !other.empty())
                return other + (set ? " is a list: use --add or --clear" : " is not a list: use --set");
            return "unknown property \"" + Printable(e.name) + "\"" + suggestion(e.name, all);
        }
        e.name = proper;
        if (set) {
            if (std::string problem = valueProblem(e.name, e.value); !problem.empty())
                return problem;
        } else if (e.kind == Edit::Kind::Add && e.name == "AttachedPictures") {
            std::string error, entry;
            splitPicturePath(e.value, e.imagePath, e.pictureType);
            if (e.pictureType < 0 || e.pictureType > 20)
                return "picture type " + std::to_string(e.pictureType) + " is not between 0 and 20";
            if (!readWholeFile(e.imagePath, e.image, error))
                return shown(e.imagePath) + ": " + error;
            ExtrasModule* extras = ExtrasModule::get(error);
            if (!extras)
                return error;
            if (!extras->buildEntry(e.imagePath, e.image, e.pictureType, 3, entry, error))
                return shown(e.imagePath) + ": " + error;
        }
    }
    return {};
}

namespace {

// Reads each file, lets change edit the tag object and write it, on up to jobs
// threads; every file that cannot be read or written is named on stderr, in the
// order of files.
template <typename Change>
int rewriteEach(const std::vector<std::string>& files, unsigned jobs, bool readFirst, std::ostream& err, Change change)
{
    struct Outcome {
        bool failed = false;
        std::string message;
    };
    int status = 0;
    // Each save's copy is written over by the next instead of being freed and made anew.
    CopyReuse reuse(FileSystem::posix());
    RunInOrder<Outcome>(
        files.size(), jobs == 0 ? DefaultJobs() : jobs,
        [&] {
            return [&, tag = std::make_shared<clsID3>()](std::size_t i) {
                Outcome o;
                try {
                    std::ostringstream messages;
                    if (readFirst)
                        tag->SetFileName(files[i]);
                    if (readFirst && !readable(*tag, files[i], messages)) {
                        o.failed = true;
                    } else if (!change(*tag, files[i])) {
                        ReportFile(messages, files[i], tag->LastError());
                        o.failed = true;
                    } else if (!tag->LastError().empty()) {
                        // Written, but something was left over (a copy that could not be removed).
                        ReportFile(messages, files[i], tag->LastError());
                    }
                    o.message = messages.str();
                } catch (...) {
                    o.failed = true;
                    o.message = "brindle-cli: " + shown(files[i]) + ": out of memory\n";
                }
                return o;
            };
        },
        [&](std::size_t, const Outcome& o) {
            err << o.message;
            if (o.failed)
                status = 1;
        });
    if (const std::string leftover = reuse.release(); !leftover.empty())
        err << "brindle-cli: " << Printable(leftover) << "\n";
    return status;
}

// Applies one checked edit; the reason when it cannot be applied to this file.
std::string applyEdit(clsID3& tag, const Edit& e)
{
    switch (e.kind) {
    case Edit::Kind::Set:
        if (e.name == "GenreID") {
            tag.GenreID = *parseGenreId(e.value);
        } else {
            tag.*(FindTextProperty(e.name)->member) = FromUtf8(e.value);
            // The genre number follows the text, as when the window applies a genre.
            if (e.name == "Genre")
                tag.GenreID = clsID3::ToGenreID(tag.Genre);
        }
        break;
    case Edit::Kind::Add:
        if (e.name == "AttachedPictures") {
            // The entry depends on the file's tag revision (2.2 names formats, not MIME types).
            // The image code is not known to be safe to run on several threads at once.
            static std::mutex pictureMutex;
            std::lock_guard<std::mutex> lock(pictureMutex);
            std::string entry, error;
            ExtrasModule* extras = ExtrasModule::get(error);
            if (!extras || !extras->buildEntry(e.imagePath, e.image, e.pictureType, tag.ID3RevisionV2(), entry, error))
                return shown(e.imagePath) + ": " + error + "; the file is left as it was";
            tag.AttachedPictures->Add(std::move(entry), std::nullopt, std::nullopt, true);
        } else {
            listOf(tag, e.name)->Add(ToUtf8(FromUtf8(e.value)));
        }
        break;
    case Edit::Kind::Clear: listOf(tag, e.name)->Clear(); break;
    }
    return {};
}

} // namespace

int Set(const std::vector<std::string>& files, const std::vector<Edit>& edits, std::ostream&, std::ostream& err,
        unsigned jobs)
{
    // Read and written under the file's lock: a writer running at the same time
    // (another brindle-cli, the window) cannot slip its save in between.
    return rewriteEach(files, jobs, false, err, [&](clsID3& tag, const std::string& file) {
        return tag.EditID3Tags(file, [&](clsID3& t) -> std::string {
            for (const auto& e : edits)
                if (std::string problem = applyEdit(t, e); !problem.empty())
                    return problem;
            return {};
        });
    });
}

int Strip(const std::vector<std::string>& files, std::ostream&, std::ostream& err, unsigned jobs)
{
    return rewriteEach(files, jobs, true, err, [](clsID3& tag, const std::string&) { return tag.DeleteID3Tags(); });
}

int ExtractArt(const std::string& file, const std::string& folder, std::ostream& out, std::ostream& err)
{
    clsID3 tag;
    tag.SetFileName(file);
    if (!readable(tag, file, err))
        return 1;
    if (tag.AttachedPictures->Count() == 0) {
        out << shown(file) << ": no pictures\n";
        return 0;
    }
    std::string error;
    ExtrasModule* pictures = ExtrasModule::get(error);
    if (!pictures) {
        Report(err, error);
        return 1;
    }
    int status = 0;
    std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    for (std::int32_t i = 1; i <= tag.AttachedPictures->Count(); ++i) {
        std::string name, image;
        if (!pictures->describeEntry(tag.AttachedPictures->Item(i), tag.ID3RevisionV2(), i, name, image)) {
            ReportFile(err, file, "picture " + std::to_string(i) + " is malformed");
            status = 1;
            continue;
        }
        std::string path = base + name;
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            ReportFile(err, path, std::strerror(errno));
            status = 1;
            continue;
        }
        std::size_t done = 0;
        while (done < image.size()) {
            ssize_t n = ::write(fd, image.data() + done, image.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        bool ok = done == image.size() && ::fsync(fd) == 0;
        int saved = errno;
        ::close(fd);
        if (!ok) {
            ReportFile(err, path, std::strerror(saved));
            ::unlink(path.c_str());
            status = 1;
            continue;
        }
        out << "wrote " << shown(path) << " (" << image.size() << " bytes)\n";
    }
    return status;
}

} // namespace brindle::cli
