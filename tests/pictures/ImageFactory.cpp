#include "ImageFactory.h"

#include <gif_lib.h>

#include <QBuffer>
#include <QImageWriter>
#include <QLoggingCategory>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The damaged-input tests make the codecs complain thousands of times; keep the log
// readable (libpng still prints its own errors to stderr).
const bool quietCodecs = [] {
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    return true;
}();

} // namespace

namespace testimg {

QImage gradient(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y,
                         qRgb((x * 255) / std::max(1, w - 1), (y * 255) / std::max(1, h - 1),
                              ((x + y) * 127) / std::max(1, w + h - 2)));
    img.setPixel(w - 1, 0, qRgb(0, 0, 0));
    return img;
}

QImage fewColours(int w, int h, int colours)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int c = (x + y) % colours;
            img.setPixel(x, y, qRgb((c * 37) % 256, (c * 91) % 256, (c * 53 + 7) % 256));
        }
    return img;
}

QByteArray encode(const QImage& image, const char* format, int quality)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image))
        return {};
    return out;
}

QByteArray png(int w, int h) { return encode(gradient(w, h), "png"); }
QByteArray bmp(int w, int h) { return encode(gradient(w, h), "bmp"); }
QByteArray jfifJpeg(int w, int h) { return encode(gradient(w, h), "jpeg", 90); }

QByteArray exifJpeg(int w, int h)
{
    const QByteArray jfif = jfifJpeg(w, h);
    // FF D8, then the APP0 segment: marker (2) + length (2 bytes, counting itself).
    const int app0Length = (static_cast<unsigned char>(jfif[4]) << 8) | static_cast<unsigned char>(jfif[5]);
    const QByteArray rest = jfif.mid(4 + app0Length);
    // "Exif\0\0", a little-endian TIFF header and an empty first directory.
    QByteArray tiff("II*\0\x08\0\0\0\0\0\0\0\0\0", 14);
    QByteArray app1("Exif\0\0", 6);
    app1 += tiff;
    const int len = app1.size() + 2;
    QByteArray out("\xFF\xD8\xFF\xE1", 4);
    out.append(static_cast<char>(len >> 8));
    out.append(static_cast<char>(len & 0xFF));
    out += app1;
    out += rest;
    return out;
}

namespace {

int appendOut(GifFileType* gif, const GifByteType* data, int len)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), len);
    return len;
}

struct ReadState {
    const QByteArray* data;
    int pos = 0;
};

int readIn(GifFileType* gif, GifByteType* buf, int len)
{
    auto* st = static_cast<ReadState*>(gif->UserData);
    const int n = std::min(len, static_cast<int>(st->data->size()) - st->pos);
    if (n <= 0)
        return 0;
    std::memcpy(buf, st->data->constData() + st->pos, static_cast<std::size_t>(n));
    st->pos += n;
    return n;
}

} // namespace

QByteArray gif(int w, int h, bool gif89)
{
    QByteArray out;
    int err = 0;
    GifFileType* g = EGifOpen(&out, appendOut, &err);
    GifColorType colours[2] = {{255, 0, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(2, colours);
    EGifSetGifVersion(g, gif89);
    EGifPutScreenDesc(g, w, h, 1, 0, map);
    EGifPutImageDesc(g, 0, 0, w, h, false, nullptr);
    std::vector<GifPixelType> line(static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            line[static_cast<std::size_t>(x)] = static_cast<GifPixelType>((x / 4 + y / 4) % 2);
        EGifPutLine(g, line.data(), w);
    }
    EGifCloseFile(g, &err);
    GifFreeMapObject(map);
    return out;
}

GifInfo readWithGiflib(const QByteArray& data)
{
    GifInfo info;
    ReadState st{&data};
    int err = 0;
    GifFileType* g = DGifOpen(&st, readIn, &err);
    if (!g)
        return info;
    if (DGifSlurp(g) == GIF_OK) {
        info.ok = true;
        info.width = g->SWidth;
        info.height = g->SHeight;
        info.imageCount = g->ImageCount;
        info.colourCount = g->SColorMap ? g->SColorMap->ColorCount : 0;
        GraphicsControlBlock gcb;
        if (g->ImageCount > 0 && DGifSavedExtensionToGCB(g, 0, &gcb) == GIF_OK)
            info.transparentIndex = gcb.TransparentColor;
    }
    DGifCloseFile(g, &err);
    return info;
}

std::string entry(std::string_view format, int pictureType, std::string_view description, const QByteArray& image,
                  int revision)
{
    std::string e(format);
    if (revision != 2)
        e.push_back('\0');
    e.push_back(static_cast<char>(pictureType));
    e.append(description);
    e.push_back('\0');
    e.append(image.constData(), static_cast<std::size_t>(image.size()));
    return e;
}

double meanAbsDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    if (x.size() != y.size() || x.isNull())
        return 1e9;
    double sum = 0;
    for (int r = 0; r < x.height(); ++r)
        for (int c = 0; c < x.width(); ++c) {
            const QRgb p = x.pixel(c, r), q = y.pixel(c, r);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

} // namespace testimg
