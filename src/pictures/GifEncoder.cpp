#include "pictures/GifEncoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace brindle::gif {

namespace {

struct Indexed {
    std::vector<GifColorType> palette;
    std::vector<GifPixelType> pixels; // row by row
    int transparentIndex = -1;
};

bool isTransparent(QRgb px) { return qAlpha(px) < 128; }

// Every opaque colour gets its own entry when there are few enough of them.
bool exactPalette(const QImage& img, int maxColours, Indexed& out)
{
    std::unordered_map<QRgb, GifPixelType> index;
    const int w = img.width();
    out.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(img.height()));
    std::size_t at = 0;
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x, ++at) {
            if (isTransparent(line[x]))
                continue; // filled in by the caller
            const QRgb rgb = line[x] & 0xFFFFFFu;
            auto it = index.find(rgb);
            if (it == index.end()) {
                if (static_cast<int>(index.size()) >= maxColours)
                    return false;
                const auto i = static_cast<GifPixelType>(index.size());
                it = index.emplace(rgb, i).first;
                out.palette.push_back({static_cast<GifByteType>(qRed(rgb)), static_cast<GifByteType>(qGreen(rgb)),
                                       static_cast<GifByteType>(qBlue(rgb))});
            }
            out.pixels[at] = it->second;
        }
    }
    return true;
}

// Median cut over a 5-bit-per-channel histogram; each palette entry is the mean of the
// true colours that fell into its box.
void medianCut(const QImage& img, int maxColours, Indexed& out)
{
    constexpr int binCount = 1 << 15;
    struct Bin {
        std::uint64_t count = 0, r = 0, g = 0, b = 0;
    };
    std::vector<Bin> bins(binCount);
    auto binOf = [](QRgb px) { return ((qRed(px) >> 3) << 10) | ((qGreen(px) >> 3) << 5) | (qBlue(px) >> 3); };
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (isTransparent(line[x]))
                continue;
            Bin& bin = bins[static_cast<std::size_t>(binOf(line[x]))];
            ++bin.count;
            bin.r += static_cast<std::uint64_t>(qRed(line[x]));
            bin.g += static_cast<std::uint64_t>(qGreen(line[x]));
            bin.b += static_cast<std::uint64_t>(qBlue(line[x]));
        }
    }
    std::vector<int> ids;
    for (int i = 0; i < binCount; ++i)
        if (bins[static_cast<std::size_t>(i)].count)
            ids.push_back(i);

    auto coord = [](int id, int axis) { return (id >> (10 - 5 * axis)) & 31; };
    struct Box {
        std::size_t begin, end;
        int axis = 0, extent = 0;
    };
    auto measure = [&](Box& box) {
        std::array<int, 3> lo{31, 31, 31}, hi{0, 0, 0};
        for (std::size_t i = box.begin; i < box.end; ++i)
            for (int a = 0; a < 3; ++a) {
                lo[static_cast<std::size_t>(a)] = std::min(lo[static_cast<std::size_t>(a)], coord(ids[i], a));
                hi[static_cast<std::size_t>(a)] = std::max(hi[static_cast<std::size_t>(a)], coord(ids[i], a));
            }
        box.extent = -1;
        for (int a = 0; a < 3; ++a) {
            const int e = hi[static_cast<std::size_t>(a)] - lo[static_cast<std::size_t>(a)];
            if (e > box.extent) {
                box.extent = e;
                box.axis = a;
            }
        }
    };

    std::vector<Box> boxes;
    if (!ids.empty()) {
        boxes.push_back({0, ids.size()});
        measure(boxes.back());
    }
    while (static_cast<int>(boxes.size()) < maxColours) {
        auto widest = std::max_element(boxes.begin(), boxes.end(),
                                       [](const Box& a, const Box& b) { return a.extent < b.extent; });
        if (widest == boxes.end() || widest->end - widest->begin < 2)
            break;
        Box box = *widest;
        std::sort(ids.begin() + static_cast<std::ptrdiff_t>(box.begin),
                  ids.begin() + static_cast<std::ptrdiff_t>(box.end),
                  [&](int a, int b) { return coord(a, box.axis) < coord(b, box.axis); });
        std::uint64_t total = 0;
        for (std::size_t i = box.begin; i < box.end; ++i)
            total += bins[static_cast<std::size_t>(ids[i])].count;
        std::uint64_t seen = 0;
        std::size_t split = box.begin + 1;
        for (std::size_t i = box.begin; i < box.end - 1; ++i) {
            seen += bins[static_cast<std::size_t>(ids[i])].count;
            split = i + 1;
            if (seen * 2 >= total)
                break;
        }
        Box left{box.begin, split}, right{split, box.end};
        measure(left);
        measure(right);
        *widest = left;
        boxes.push_back(right);
    }

    std::vector<GifPixelType> binToIndex(binCount, 0);
    for (std::size_t k = 0; k < boxes.size(); ++k) {
        std::uint64_t n = 0, r = 0, g = 0, b = 0;
        for (std::size_t i = boxes[k].begin; i < boxes[k].end; ++i) {
            const Bin& bin = bins[static_cast<std::size_t>(ids[i])];
            n += bin.count;
            r += bin.r;
            g += bin.g;
            b += bin.b;
            binToIndex[static_cast<std::size_t>(ids[i])] = static_cast<GifPixelType>(k);
        }
        out.palette.push_back({static_cast<GifByteType>((r + n / 2) / n), static_cast<GifByteType>((g + n / 2) / n),
                               static_cast<GifByteType>((b + n / 2) / n)});
    }

    out.pixels.resize(static_cast<std::size_t>(img.width()) * static_cast<std::size_t>(img.height()));
    std::size_t at = 0;
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x, ++at)
            if (!isTransparent(line[x]))
                out.pixels[at] = binToIndex[static_cast<std::size_t>(binOf(line[x]))];
    }
}

int writeToByteArray(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

} // namespace

QByteArray encodeGif(const QImage& image)
{
    if (image.isNull() || image.width() > 0xFFFF || image.height() > 0xFFFF)
        return {};
    const QImage img = image.convertToFormat(QImage::Format_ARGB32);
    if (img.isNull())
        return {};

    bool anyTransparent = false;
    for (int y = 0; y < img.height() && !anyTransparent; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (isTransparent(line[x])) {
                anyTransparent = true;
                break;
            }
    }
    const int maxColours = anyTransparent ? 255 : 256;
    Indexed idx;
    if (!exactPalette(img, maxColours, idx)) {
        idx = Indexed{};
        medianCut(img, maxColours, idx);
    }
    if (anyTransparent) {
        idx.transparentIndex = static_cast<int>(idx.palette.size());
        idx.palette.push_back({0, 0, 0});
        std::size_t at = 0;
        for (int y = 0; y < img.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
            for (int x = 0; x < img.width(); ++x, ++at)
                if (isTransparent(line[x]))
                    idx.pixels[at] = static_cast<GifPixelType>(idx.transparentIndex);
        }
    }

    // A GIF colour table holds a power of two entries, at least two.
    int bits = 1;
    while ((1 << bits) < static_cast<int>(idx.palette.size()))
        ++bits;
    idx.palette.resize(static_cast<std::size_t>(1) << bits, GifColorType{0, 0, 0});

    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeToByteArray, &error);
    if (!gif)
        return {};
    ColorMapObject* map = GifMakeMapObject(1 << bits, idx.palette.data());
    bool ok = map != nullptr;
    EGifSetGifVersion(gif, true);
    ok = ok && EGifPutScreenDesc(gif, img.width(), img.height(), bits, 0, map) == GIF_OK;
    if (ok && idx.transparentIndex >= 0) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
        gcb.UserInputFlag = false;
        gcb.DelayTime = 0;
        gcb.TransparentColor = idx.transparentIndex;
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, sizeof ext, ext) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, img.width(), img.height(), false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < img.height(); ++y)
        ok = EGifPutLine(gif, idx.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(img.width()),
                         img.width()) == GIF_OK;
    if (EGifCloseFile(gif, &error) != GIF_OK)
        ok = false;
    GifFreeMapObject(map);
    return ok ? out : QByteArray();
}

} // namespace brindle::gif
