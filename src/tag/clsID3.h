#pragma once
// One audio file's merged tag fields (ID3v2, Lyrics3, ID3v1), its three value lists
// and the audio properties of its MPEG stream. Setting the file name reads the file;
// UpdateID3Tags and DeleteID3Tags write it back.

#include "Genres.h"
#include "FileSystem.h"
#include "MultiFrameData.h"
#include "Status.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brindle {

class FileReader;
class RewriteSession;
struct ReadBuffers;
struct MpegHeader;

class clsID3 {
public:
    explicit clsID3(FileSystem* fs = nullptr);
    ~clsID3();
    clsID3(const clsID3&) = delete;
    clsID3& operator=(const clsID3&) = delete;

    // --- text properties, in the order of the class's members
    std::u16string Comments;
    std::u16string Album;
    std::u16string BeatsPerMinute;
    std::u16string Composer;
    std::int32_t GenreID = 0;
    std::u16string Genre;
    std::u16string Copyright;
    std::u16string EncodedBy;
    std::u16string Lyricist;
    std::u16string Title;
    std::u16string InitialKey;
    std::u16string Languages;
    std::u16string OriginalAlbum;
    std::u16string OriginalFileName;
    std::u16string OriginalLyricist;
    std::u16string OriginalArtist;
    std::u16string OriginalReleaseYear;
    std::u16string FileOwner;
    std::u16string Artist;
    std::u16string Band;
    std::u16string Conductor;
    std::u16string InterpretedBy;
    std::u16string DiscNumber;
    std::u16string DiscsTotal;
    std::u16string Publisher;
    std::u16string TrackNumber;
    std::u16string TracksTotal;
    std::u16string InternetRadioStationName;
    std::u16string InternetRadioStationOwner;
    std::u16string ISRC;
    std::u16string Year;
    std::u16string Lyrics;
    std::shared_ptr<MultiFrameData> CommercialInfo; // UTF-8 URLs, file order
    std::u16string CopyrightInfo;
    std::u16string AudioURL;
    std::shared_ptr<MultiFrameData> ArtistURL; // UTF-8 URLs, file order
    std::u16string AudioSourceURL;
    std::u16string InternetRadioURL;
    std::u16string PaymentURL;
    std::u16string PublisherURL;
    std::shared_ptr<MultiFrameData> AttachedPictures; // raw picture entries, file order

    // Full path of the audio file; setting it reads the file at once.
    const std::string& FileName() const { return fileName_; }
    void SetFileName(std::string path);

    bool ID3v1Exists() const { return id3v1Exists_; }
    bool ID3v2Exists() const { return id3v2Exists_; }
    bool Lyrics3v1Exists() const { return lyrics3v1Exists_; }
    bool Lyrics3v2Exists() const { return lyrics3v2Exists_; }
    std::uint8_t ID3RevisionV2() const { return revision_; }

    // --- audio properties, computed from the stream state of the last read
    // Whether the last read accepted an MPEG audio frame; without one the audio
    // properties report nothing (zero).
    bool HasAudioFrame() const { return stream_.frameDataPos != 0; }
    std::int32_t Layer() const;
    std::int32_t Padding() const;
    std::int32_t MPEGVersion() const;
    std::int32_t ChannelMode() const;
    std::int32_t Encoding() const;
    std::int32_t SamplingRateFrequency() const;
    double BitRate() const;
    double FrameSize() const;
    std::int32_t FrameSamples() const;
    double Length() const;

    static std::u16string GenreName(std::int32_t id);
    static std::int32_t ToGenreID(std::u16string_view name);

    // Re-reads FileName. Never fails loudly: an unreadable file leaves the reset values.
    void RefreshID3Tags();
    // Whether the last read could open the file, for callers that must tell a
    // missing or unreadable file from an untagged one.
    const Status& ReadStatus() const { return readStatus_; }

    // Write the properties into the file / strip every tag. Never throw; return
    // whether the file was written and keep the reason of a failure in LastError().
    // UpdateID3Tags refuses when the file changed since it was read.
    bool UpdateID3Tags();
    bool DeleteID3Tags();
    // Read, edit and write path as one step, under the file's lock, so that writers
    // of one file (in any process of this program) each start from the other's result.
    // edit returns why the file must not be written, or "" to write it.
    bool EditID3Tags(std::string path, const std::function<std::string(clsID3&)>& edit);
    const std::string& LastError() const { return lastError_; }

    // Reader and writer internals, exposed for the engine's own translation units.
    struct StreamState {
        std::array<std::uint8_t, 3> headerBytes{};
        std::int64_t frameDataPos = 0; // 1-based, 0 while no frame was accepted
        std::int32_t audioBytes = 0;
        bool isVBR = false;
        std::int32_t vbrFrames = 0;
        std::int32_t vbrBytes = 0;
        std::string vbrToc;
        std::int32_t vbrQuality = 0;
        std::int32_t vbriVersion = 0;
    };
    const StreamState& Stream() const { return stream_; }
    bool TagUnsynchronised() const { return tagUnsynchronised_; }
    bool LyricsTimeStamps() const { return lyricsTimeStamps_; }

private:
    friend struct Id3Reader;
    friend struct Id3Writer;

    void resetForRead();
    void rememberReadValues();
    void readFrom(FileReader& file);
    bool writeWith(RewriteSession& session);
    MpegHeader header() const;

    FileSystem* fs_;
    std::unique_ptr<ReadBuffers> buffers_; // reused by every read of this object
    std::string fileName_;
    std::string lastError_;
    Status readStatus_;
    FileIdentity readIdentity_; // of the file the properties were last read from
    bool id3v1Exists_ = false;
    bool id3v2Exists_ = false;
    bool lyrics3v1Exists_ = false;
    bool lyrics3v2Exists_ = false;
    std::uint8_t revision_ = 3;
    bool tagUnsynchronised_ = false;
    bool lyricsTimeStamps_ = false;
    StreamState stream_;
    // The properties as the last read left them (TextProperties order), so that the
    // writer can tell a property that was changed from one that was not.
    struct ReadValues {
        std::vector<std::u16string> texts;
        std::int32_t genreID = kGenreNone;
        bool valid = false;
    };
    ReadValues readValues_;
    // Writer's list counters (1-based): CommercialInfo, ArtistURL, AttachedPictures.
    std::int32_t counterCommercial_ = 1;
    std::int32_t counterArtistURL_ = 1;
    std::int32_t counterPictures_ = 1;
};

} // namespace brindle
