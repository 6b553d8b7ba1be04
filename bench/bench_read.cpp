// Reading one file of each layout, so that a slower read path shows up.
#include "Mp3Builder.h"
#include "tag/clsID3.h"

#include <benchmark/benchmark.h>

using namespace brindle;
using namespace brindle::test;

namespace {

TempDir& folder()
{
    static TempDir dir;
    return dir;
}

std::string makeFile(const std::string& name, const std::string& bytes)
{
    std::string path = folder().file(name);
    WriteFile(path, bytes);
    return path;
}

std::string textFrames(int version)
{
    const char* ids4[] = {"TIT2", "TPE1", "TALB", "TPE2", "TYER", "TRCK", "TPOS", "TCON", "TCOM", "TENC"};
    const char* ids2[] = {"TT2", "TP1", "TAL", "TP2", "TYE", "TRK", "TPA", "TCO", "TCM", "TEN"};
    std::string frames;
    for (int i = 0; i < 10; ++i)
        frames += Frame(version, version < 3 ? ids2[i] : ids4[i], Latin1("Some value " + std::to_string(i)));
    frames += Frame(version, version < 3 ? "COM" : "COMM", CommentData(0, "eng", u"", u"A comment"));
    return frames;
}

void readFile(benchmark::State& state, const std::string& path)
{
    clsID3 tag;
    for (auto _ : state) {
        tag.SetFileName(path);
        benchmark::DoNotOptimize(tag.Length());
    }
}

const std::string& audio()
{
    static const std::string a = MpegFrames(2500); // about a megabyte
    return a;
}

void BM_ReadV22(benchmark::State& s)
{
    static auto p = makeFile("v22.mp3", Tag(2, textFrames(2), 512) + audio());
    readFile(s, p);
}
void BM_ReadV23(benchmark::State& s)
{
    static auto p = makeFile("v23.mp3",
                             Tag(3, textFrames(3), 1024) + audio() + Id3v1("t", "a", "b", "2000", "c", 3, 17));
    readFile(s, p);
}
void BM_ReadV24(benchmark::State& s)
{
    static auto p = makeFile("v24.mp3", Tag(4, textFrames(4), 256) + XingFrame("Xing", 0x0F, 2500, 1000000) + audio());
    readFile(s, p);
}
void BM_ReadV23Cover(benchmark::State& s)
{
    static auto p = makeFile(
        "cover.mp3",
        Tag(3, textFrames(3) + Frame(3, "APIC", std::string("\0image/jpeg\0\3\0", 14) + std::string(150000, 'j'))) +
            audio());
    readFile(s, p);
}
void BM_ReadId3v1Lyrics3(benchmark::State& s)
{
    static auto p = makeFile("v1.mp3", audio() + Lyrics3v2({{"IND", "00"}, {"ETT", std::string(60, 't')}}) +
                                           Id3v1("t", "a", "b", "2000", "c", 3, 17));
    readFile(s, p);
}
void BM_ReadNoTag(benchmark::State& s)
{
    static auto p = makeFile("none.mp3", audio());
    readFile(s, p);
}

} // namespace

BENCHMARK(BM_ReadV22);
BENCHMARK(BM_ReadV23);
BENCHMARK(BM_ReadV24);
BENCHMARK(BM_ReadV23Cover);
BENCHMARK(BM_ReadId3v1Lyrics3);
BENCHMARK(BM_ReadNoTag);
BENCHMARK_MAIN();
