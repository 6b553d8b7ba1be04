#pragma once
// Real image files made on the fly for the tests: Qt writes BMP, JPEG and PNG; GIFs
// come straight from giflib so that they do not depend on the code under test.

#include <QByteArray>
#include <QImage>
#include <string>
#include <string_view>

namespace testimg {

// Opaque gradient with many colours; the top-right pixel is black so a BMP of it ends
// in a zero byte.
QImage gradient(int w, int h);
// Opaque image of at most `colours` distinct colours (stripes).
QImage fewColours(int w, int h, int colours);

QByteArray encode(const QImage& image, const char* format, int quality = -1);
QByteArray png(int w, int h);
QByteArray bmp(int w, int h);
QByteArray jfifJpeg(int w, int h);
// A JFIF JPEG with its JFIF segment replaced by a minimal EXIF segment.
QByteArray exifJpeg(int w, int h);
// A two-colour GIF written by giflib itself.
QByteArray gif(int w, int h, bool gif89 = true);

struct GifInfo {
    bool ok = false;
    int width = 0, height = 0, colourCount = 0, imageCount = 0, transparentIndex = -1;
};
GifInfo readWithGiflib(const QByteArray& data);

// A picture entry laid out by hand.
std::string entry(std::string_view format, int pictureType, std::string_view description, const QByteArray& image,
                  int revision);

double meanAbsDifference(const QImage& a, const QImage& b);

} // namespace testimg
