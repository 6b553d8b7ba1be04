// Writes the fuzzing seeds: one small file for each layout and feature the reader
// knows, so that the fuzzer starts from inputs that get past every early check.
// Usage: fuzz_make_seeds FOLDER
#include "Mp3Builder.h"

#include <cstdio>
#include <filesystem>

using namespace brindle::test;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path dir(argv[1]);
    std::filesystem::create_directories(dir);
    auto put = [&](const char* name, const std::string& bytes) {
        if (bytes.size() > 4096)
            std::fprintf(stderr, "warning: seed %s has %zu bytes\n", name, bytes.size());
        WriteFile(dir / name, bytes);
    };

    MpegSpec cbr;
    const std::string audio = MpegFrames(2, cbr);
    MpegSpec mono22;
    mono22.version = 2;
    mono22.bitrateIndex = 4;
    mono22.channelMode = 3;
    mono22.padding = true;
    MpegSpec layer2;
    layer2.layer = 2;
    layer2.bitrateIndex = 3;
    MpegSpec v25;
    v25.version = 0;
    v25.bitrateIndex = 2;
    v25.sampleIndex = 2;

    const std::string v1 = Id3v1("Seed Title", "Seed Artist", "Seed Album", "2001", "seed comment", 7, 17);

    put("v23-latin1.mp3",
        Tag(3,
            Frame(3, "TIT2", Latin1("Title")) + Frame(3, "TPE1", Latin1("Artist")) + Frame(3, "TALB", Latin1("Album")) +
                Frame(3, "TRCK", Latin1("3/12")) + Frame(3, "TPOS", Latin1("1/2")) + Frame(3, "TYER", Latin1("1999")) +
                Frame(3, "TCON", Latin1("(17)Rock")) + Frame(3, "TBPM", Latin1("120")) +
                Frame(3, "COMM", CommentData(0, "eng", u"", u"comment")),
            64) +
            audio + v1);
    put("v23-utf16.mp3", Tag(3,
                             Frame(3, "TIT2", Utf16(u"T\u00eftle \u6b4c")) + Frame(3, "TCOM", Utf16(u"Composer")) +
                                 Frame(3, "USLT", CommentData(1, "eng", u"", u"la la\r\nla")) +
                                 Frame(3, "COMM", CommentData(1, "deu", u"desc", u"with description")) +
                                 Frame(3, "TCON", Utf16(u"(RX)")),
                             0) +
                             audio);
    put("v24-utf8-footer.mp3", Tag(4,
                                   Frame(4, "TIT2",
                                         Utf8("\xc3\x9c"
                                              "ber")) +
                                       Frame(4, "TDRC", Latin1("2021-06-01")) + Frame(4, "TDOR", Latin1("1970")) +
                                       Frame(4, "TCON", Latin1("(CR)Cover")) + Frame(4, "TXXX", Utf8("k\0v")),
                                   0, 0x10) +
                                   Footer(4, 0, 0x10) + audio);
    put("v24-utf16be.mp3",
        Tag(4,
            Frame(4, "TPE1", Utf16BE(u"Big End")) + Frame(4, "COMM", CommentData(2, "eng", u"", u"be comment")) +
                Frame(4, "USLT", CommentData(2, "eng", u"", u"be lyrics")),
            16) +
            audio);
    put("v24-frame-flags.mp3",
        Tag(4,
            Frame(4, "TIT2", Latin1("unsync \xff\xe0"), 0, 0x02) + Frame(4, "TALB", Latin1("dli"), 0, 0x01) +
                Frame(4, "TPE2", Latin1("band"), 0x40, 0),
            8) +
            audio);
    put("v22.mp3", Tag(2,
                       Frame(2, "TT2", Latin1("Old")) + Frame(2, "TP1", Latin1("Tape")) + Frame(2, "TRK", Latin1("4")) +
                           Frame(2, "COM", CommentData(0, "eng", u"", u"v2.2")) +
                           Frame(2, "ULT", CommentData(0, "eng", u"", u"words")) +
                           Frame(2, "PIC",
                                 std::string("\0PNG\x03"
                                             "d\0\x89PNG",
                                             10)) +
                           Frame(2, "WAR", "http://a.example"),
                       32) +
                       audio);
    put("v22-compressed.mp3", Tag(2, Frame(2, "TT2", Latin1("zzz")), 0, 0x40) + audio);
    put("v23-unsync.mp3",
        Tag(3, Unsynchronise(Frame(3, "TIT2", Latin1("\xff\xe0\xff")) + Frame(3, "TPE1", Latin1("u"))), 0, 0x80) +
            audio);
    put("v23-extended.mp3",
        Tag(3, Frame(3, "TIT2", Latin1("ext")), 0, 0x40, std::string("\0\0\0\x0a\x80\0\0\0\0\0\x12\x34\x56\x78", 14)) +
            audio);
    put("v24-extended.mp3",
        Tag(4, Frame(4, "TIT2", Latin1("ext4")), 0, 0x40, std::string("\0\0\0\x06\x01\0", 6)) + audio);
    put("v23-pictures-urls.mp3",
        Tag(3,
            Frame(3, "APIC",
                  std::string("\0image/jpeg\0\x03"
                              "front\0\xff\xd8\xff\xe0",
                              22)) +
                Frame(3, "APIC",
                      std::string("\0image/png\0\x04"
                                  "back\0\x89PNG",
                                  20)) +
                Frame(3, "WOAR", "http://one.example") + Frame(3, "WOAR", "http://two.example") +
                Frame(3, "WCOM", "http://shop.example") + Frame(3, "WPUB", "http://pub.example") +
                Frame(3, "WXXX", std::string("\0d\0http://x.example", 19)),
            0) +
            audio);
    put("v23-marker-padding.mp3",
        Tag(3, Frame(3, "TIT2", Latin1("marker")) + std::string("MP3ext V3.3.19(unicode)") + std::string(16, '\0'), 0) +
            audio);
    put("xing.mp3", Tag(3, Frame(3, "TIT2", Latin1("vbr")), 0) + XingFrame("Xing", 0x0F, 100, 41700) + audio);
    put("info-mono.mp3", XingFrame("Info", 0x03, 50, 20000, mono22) + MpegFrames(2, mono22));
    put("vbri.mp3", VbriFrame(200, 80000, 4, 2) + audio);
    put("layer2.mp3", MpegFrames(3, layer2) + v1);
    put("mpeg25.mp3", MpegFrames(3, v25));
    put("lyrics3v2.mp3", audio +
                             Lyrics3v2({{"IND", "01"},
                                        {"LYR", "[00:01]la [CR][LF]la[01:02]"},
                                        {"ETT", "A long Lyrics3 title of forty chars"},
                                        {"EAR", "Lyr Artist"},
                                        {"EAL", "Lyr Album"},
                                        {"AUT", "Author"}}) +
                             v1);
    put("lyrics3v1.mp3", audio + Lyrics3v1("old style lyrics") + v1);
    put("id3v1-only.mp3", audio + Id3v1("Only", "Version One", "", "1985", "no track", -1, 255));
    // A tag header that claims far more than the file holds.
    put("huge-claim.mp3", Tag(3, Frame(3, "TIT2", Latin1("huge")), 0).replace(6, 4, "\x7f\x7f\x7f\x7f") + audio);
    put("garbage-before-frame.mp3", std::string("\xff\xfb\x00\xff\xe2junk", 9) + audio);
    return 0;
}
