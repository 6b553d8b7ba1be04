#include "clsID3.h"

#include "FileReader.h"
#include "FileSystem.h"
#include "Genres.h"
#include "MpegHeader.h"
#include "Properties.h"

#include <cmath>

namespace brindle {

namespace {

// kbit/s by [row][index 1..14]; rows: MPEG1 L1, L2, L3, MPEG2/2.5 L1, L2/L3.
constexpr int kBitRates[5][14] = {
    {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};

double safeDivide(double a, double b) { return b == 0 ? 0.0 : a / b; }

} // namespace

MpegHeader clsID3::header() const { return MpegHeader{stream_.headerBytes}; }

clsID3::clsID3(FileSystem* fs)
    : CommercialInfo(std::make_shared<MultiFrameData>()),
      ArtistURL(std::make_shared<MultiFrameData>()),
      AttachedPictures(std::make_shared<MultiFrameData>()),
      fs_(fs ? fs : &FileSystem::posix()),
      buffers_(std::make_unique<ReadBuffers>())
{
}

clsID3::~clsID3() = default;

void clsID3::rememberReadValues()
{
    readValues_.texts.clear();
    for (const TextProperty& p : TextProperties())
        readValues_.texts.push_back(this->*p.member);
    readValues_.genreID = GenreID;
    readValues_.valid = true;
}

void clsID3::SetFileName(std::string path)
{
    fileName_ = std::move(path);
    RefreshID3Tags();
}

void clsID3::resetForRead()
{
    for (const TextProperty& p : TextProperties())
        (this->*p.member).clear();
    GenreID = kGenreNone;
    readValues_.valid = false;
    CommercialInfo = std::make_shared<MultiFrameData>();
    ArtistURL = std::make_shared<MultiFrameData>();
    AttachedPictures = std::make_shared<MultiFrameData>();
    revision_ = 0;
    id3v1Exists_ = id3v2Exists_ = lyrics3v1Exists_ = lyrics3v2Exists_ = false;
    lyricsTimeStamps_ = false;
    tagUnsynchronised_ = false;
    stream_ = StreamState{};
}

int MpegHeader::sampleRate() const
{
    int index = (bytes[1] >> 2) & 0x03;
    if (index == 3)
        return -1;
    static constexpr int kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    switch (version()) {
    case 2: return kRates[0][index];
    case 3: return kRates[1][index];
    case 0: return kRates[2][index];
    default: return -1;
    }
}

int MpegHeader::frameSamples() const
{
    switch (layer()) {
    case 1: return version() == 2 ? 1152 : 576;
    case 2: return 1152;
    case 3: return 384;
    default: return 0;
    }
}

double MpegHeader::bitRate() const
{
    int index = bytes[1] >> 4;
    if (index == 0)
        return 0;
    if (index == 15)
        return -1000;
    int v = version();
    int l = layer();
    if (v == 1 || l == 0)
        return 0;
    int row;
    if (v == 2)
        row = l == 3 ? 0 : l == 2 ? 1 : 2;
    else
        row = l == 3 ? 3 : 4;
    return kBitRates[row][index - 1] * 1000.0;
}

// --- audio properties. Without an accepted frame they report "nothing" (zero, and
// a reserved version) rather than decode the bytes of a rejected candidate.

std::int32_t clsID3::Layer() const { return HasAudioFrame() ? header().layer() : 0; }
std::int32_t clsID3::MPEGVersion() const { return HasAudioFrame() ? header().version() : 1; }
std::int32_t clsID3::ChannelMode() const { return HasAudioFrame() ? header().channelMode() : 0; }
std::int32_t clsID3::Padding() const { return HasAudioFrame() ? header().padding() : 0; }
std::int32_t clsID3::Encoding() const { return stream_.isVBR ? 1 : 0; }
std::int32_t clsID3::SamplingRateFrequency() const { return HasAudioFrame() ? header().sampleRate() : 0; }
std::int32_t clsID3::FrameSamples() const { return HasAudioFrame() ? header().frameSamples() : 0; }

double clsID3::BitRate() const
{
    if (!HasAudioFrame())
        return 0;
    if (!stream_.isVBR)
        return header().bitRate();
    double frameSize = FrameSize();
    double length = Length();
    if (frameSize != 0 || !(length > 0))
        return SamplingRateFrequency() * frameSize / 144.0;
    return safeDivide(stream_.audioBytes, length) * 8;
}

double clsID3::FrameSize() const
{
    if (!HasAudioFrame())
        return 0;
    if (stream_.isVBR)
        return safeDivide(stream_.vbrBytes, stream_.vbrFrames);
    return safeDivide(FrameSamples() / 8.0 * header().bitRate(), SamplingRateFrequency()) + Padding();
}

double clsID3::Length() const
{
    if (!HasAudioFrame())
        return 0;
    if (stream_.isVBR)
        return safeDivide(static_cast<double>(stream_.vbrFrames) * FrameSamples(), SamplingRateFrequency());
    return safeDivide(stream_.audioBytes, header().bitRate()) * 8;
}

std::u16string clsID3::GenreName(std::int32_t id) { return GenreNameOf(id); }

std::int32_t clsID3::ToGenreID(std::u16string_view name) { return GenreIdOf(name); }

} // namespace brindle
