// The first-frame search and the audio properties.
#include "Mp3Builder.h"
#include "tag/clsID3.h"

#include <gtest/gtest.h>

using namespace brindle;
using namespace brindle::test;

namespace {
struct Stream : ::testing::Test {
    TempDir dir;
    clsID3 tag;
    void load(const std::string& bytes)
    {
        WriteFile(dir.file("a.mp3"), bytes);
        tag.SetFileName(dir.file("a.mp3"));
    }
};
} // namespace

TEST_F(Stream, ConstantBitRate)
{
    std::string audio = MpegFrames(100);
    load(Tag(3, Frame(3, "TIT2", Latin1("x")), 30) + audio);
    EXPECT_EQ(tag.Layer(), 1);
    EXPECT_EQ(tag.MPEGVersion(), 2);
    EXPECT_EQ(tag.SamplingRateFrequency(), 44100);
    EXPECT_EQ(tag.BitRate(), 128000);
    EXPECT_NEAR(tag.FrameSize(), 417.959, 0.001);
    EXPECT_EQ(tag.FrameSamples(), 1152);
    EXPECT_EQ(tag.Encoding(), 0);
    EXPECT_EQ(tag.Padding(), 0);
    EXPECT_EQ(tag.Stream().audioBytes, static_cast<std::int32_t>(audio.size() - 5));
    EXPECT_DOUBLE_EQ(tag.Length(), (audio.size() - 5) / 16000.0);
}

TEST_F(Stream, OtherVersionsAndLayers)
{
    MpegSpec mpeg2{2, 1, 8, 1, true, 3, 0}; // MPEG 2 Layer III, 64 kbit/s, 24000 Hz, padded mono
    load(MpegFrames(5, mpeg2));
    EXPECT_EQ(tag.MPEGVersion(), 3);
    EXPECT_EQ(tag.SamplingRateFrequency(), 24000);
    EXPECT_EQ(tag.BitRate(), 64000);
    EXPECT_EQ(tag.FrameSamples(), 576);
    EXPECT_EQ(tag.Padding(), 1);
    EXPECT_EQ(tag.ChannelMode(), 3);

    MpegSpec layer1{3, 3, 4, 2, true, 0, 0}; // MPEG 1 Layer I, 128 kbit/s, 32000 Hz, padded
    load(MpegFrames(5, layer1));
    EXPECT_EQ(tag.Layer(), 3);
    EXPECT_EQ(tag.FrameSamples(), 384);
    EXPECT_EQ(tag.Padding(), 4);
    EXPECT_EQ(tag.BitRate(), 128000);

    MpegSpec mpeg25{0, 2, 3, 2, false, 1, 0}; // MPEG 2.5 Layer II, 24 kbit/s, 8000 Hz
    load(MpegFrames(5, mpeg25));
    EXPECT_EQ(tag.MPEGVersion(), 0);
    EXPECT_EQ(tag.SamplingRateFrequency(), 8000);
    EXPECT_EQ(tag.BitRate(), 24000);
    EXPECT_EQ(tag.FrameSamples(), 1152);
}

TEST_F(Stream, SearchSkipsTheTagAndFalseSyncs)
{
    // FF FB inside the tag is never examined.
    std::string frames = Frame(3, "PRIV", std::string("\xFF\xFB\x50\x00", 4));
    MpegSpec low{3, 1, 1, 0, false, 0, 0}; // 32 kbit/s: distinguishable from the tag bytes
    load(Tag(3, frames) + MpegFrames(3, low));
    EXPECT_EQ(tag.BitRate(), 32000);
    EXPECT_EQ(tag.Stream().frameDataPos, 10 + static_cast<std::int64_t>(frames.size()) + 1 + 4);

    // FF E2 with bit-rate index 15 is passed over; the next 0xFF is tried four bytes later.
    std::string junk = std::string("\xFF\xE2\xF0\x00", 4) + MpegFrames(3);
    load(junk);
    EXPECT_EQ(tag.Stream().frameDataPos, 4 + 1 + 4);
    EXPECT_EQ(tag.BitRate(), 128000);
    // A 0xFF within those four bytes is not tried.
    load(std::string("\xFF\xE2\xF0\xFF\xFB\x10\x00", 7) + std::string(20, 'x') + MpegFrames(2));
    EXPECT_EQ(tag.BitRate(), 128000);
    EXPECT_EQ(tag.Stream().frameDataPos, 27 + 1 + 4);
}

TEST_F(Stream, XingInfoAndVbri)
{
    std::string audio = MpegFrames(50);
    std::string xing = XingFrame("Xing", 0x0F, 1000, 400000);
    load(xing + audio);
    EXPECT_EQ(tag.Encoding(), 1);
    EXPECT_EQ(tag.Stream().vbrFrames, 1000);
    EXPECT_EQ(tag.Stream().vbrToc.size(), 100u);
    EXPECT_EQ(tag.Stream().audioBytes, static_cast<std::int32_t>(xing.size() + audio.size() - 5 - 120));
    EXPECT_DOUBLE_EQ(tag.Length(), 1000 * 1152 / 44100.0);
    EXPECT_DOUBLE_EQ(tag.FrameSize(), 400.0);
    EXPECT_DOUBLE_EQ(tag.BitRate(), 44100 * 400.0 / 144);

    std::string info = XingFrame("Info", 0x03, 1000, 400000);
    load(info + audio);
    EXPECT_EQ(tag.Encoding(), 0);
    EXPECT_EQ(tag.BitRate(), 128000);
    EXPECT_EQ(tag.Stream().audioBytes, static_cast<std::int32_t>(info.size() + audio.size() - 5 - 16));

    // A VBR header without a frame count reports no length and no bit rate.
    load(XingFrame("Xing", 0x02, 0, 400000) + audio);
    EXPECT_EQ(tag.Length(), 0);
    EXPECT_EQ(tag.BitRate(), 0);

    std::string vbri = VbriFrame(500, 200000, 100, 2);
    load(vbri + audio);
    EXPECT_EQ(tag.Encoding(), 1);
    EXPECT_EQ(tag.Stream().vbrFrames, 500);
    EXPECT_EQ(tag.Stream().vbrBytes, 200000);
    EXPECT_EQ(tag.Stream().audioBytes, static_cast<std::int32_t>(vbri.size() + audio.size() - 5 - 226));
}

TEST_F(Stream, NoFrameAtAll)
{
    load(std::string(5000, 'x') + std::string("\xFF\x00", 2));
    EXPECT_EQ(tag.Stream().frameDataPos, 0);
    EXPECT_EQ(tag.BitRate(), 0);
    EXPECT_EQ(tag.Length(), 0);
    EXPECT_EQ(tag.SamplingRateFrequency(), 0);
    load("");
    EXPECT_EQ(tag.Length(), 0);
}

TEST_F(Stream, FrameFoundInALaterChunk)
{
    std::string lead(50000, '\0');
    lead[20479] = '\xFF'; // a candidate at the very end of the first chunk, window in the next
    load(lead + MpegFrames(3));
    EXPECT_EQ(tag.Stream().frameDataPos, 50000 + 1 + 4);
}
