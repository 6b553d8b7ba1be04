#include "pictures/modImageType.h"

#include <array>

namespace brindle::modImageType {

namespace {

bool startsWith(QByteArrayView data, QByteArrayView prefix)
{
    return data.size() >= prefix.size() && data.first(prefix.size()) == prefix;
}

bool endsWith(QByteArrayView data, QByteArrayView suffix)
{
    return data.size() >= suffix.size() && data.last(suffix.size()) == suffix;
}

constexpr char jfifStart[] = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01";
constexpr char jpegEnd[] = "\xFF\xD9";
constexpr char pngStart[] = "\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR";
constexpr char pngEnd[] = "\x00\x00\x00\x00IEND\xAE\x42\x60\x82";
constexpr char gifEnd[] = "\x00\x3B";

template <std::size_t N>
constexpr QByteArrayView bytes(const char (&literal)[N])
{
    // The literals hold NULs, so their length comes from the array, not from strlen.
    return QByteArrayView(literal, static_cast<qsizetype>(N - 1));
}

const std::array<const char*, 21> pictureTypeNames = {"Other",
                                                      "32 x 32 File Icon",
                                                      "Other File Icon",
                                                      "Front Cover",
                                                      "Back Cover",
                                                      "Leaflet Page",
                                                      "Media",
                                                      "Lead Artist",
                                                      "Artist",
                                                      "Conductor",
                                                      "Band",
                                                      "Composer",
                                                      "Lyricist",
                                                      "Recording Location",
                                                      "During Recording",
                                                      "During Performance",
                                                      "Video Screen Capture",
                                                      "A Bright Colored Fish",
                                                      "Illustration",
                                                      "Band Logotype",
                                                      "Publisher Logotype"};

} // namespace

bool IsRevision2(int id3Revision) { return id3Revision == 2; }

ImageKind DetectImageKind(QByteArrayView data)
{
    if (startsWith(data, "BM") && data.back() == '\0')
        return ImageKind::BMP;
    if ((startsWith(data, "GIF89a") || startsWith(data, "GIF87a")) && data.size() >= 8 && endsWith(data, bytes(gifEnd)))
        return ImageKind::GIF;
    if (startsWith(data, bytes(jfifStart)) && data.size() >= 14 && endsWith(data, bytes(jpegEnd)))
        return ImageKind::JPEG;
    if (startsWith(data, bytes(pngStart)) && data.size() >= 28 && endsWith(data, bytes(pngEnd)))
        return ImageKind::PNG;
    return ImageKind::Unsupported;
}

QString DetectImageType(QByteArrayView data, int id3Revision)
{
    return ImageTypeName(DetectImageKind(data), id3Revision);
}

QString ImageTypeName(ImageKind kind, int id3Revision)
{
    const bool v2 = IsRevision2(id3Revision);
    switch (kind) {
    case ImageKind::BMP: return v2 ? QStringLiteral("PNG") : QStringLiteral("image/bmp");
    case ImageKind::GIF: return v2 ? QStringLiteral("PNG") : QStringLiteral("image/gif");
    case ImageKind::JPEG: return v2 ? QStringLiteral("JPG") : QStringLiteral("image/jpeg");
    case ImageKind::PNG: return v2 ? QStringLiteral("PNG") : QStringLiteral("image/png");
    default: return QString::fromLatin1(UnsupportedImageType);
    }
}

int ImageTypeIndex(const QString& name, int id3Revision)
{
    if (IsRevision2(id3Revision)) {
        if (name.compare(QLatin1String("JPG"), Qt::CaseInsensitive) == 0)
            return 0;
        if (name.compare(QLatin1String("PNG"), Qt::CaseInsensitive) == 0)
            return 1;
        return -1;
    }
    return static_cast<int>(MimeToImageKind(name));
}

QString FormatToMime(const QString& name, int id3Revision)
{
    if (!IsRevision2(id3Revision))
        return name;
    if (name.compare(QLatin1String("JPG"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("image/jpeg");
    if (name.compare(QLatin1String("PNG"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("image/png");
    return QString();
}

ImageKind MimeToImageKind(const QString& mimeType)
{
    static const std::array<const char*, 4> mimes = {"image/bmp", "image/gif", "image/jpeg", "image/png"};
    for (std::size_t i = 0; i < mimes.size(); ++i)
        if (mimeType.compare(QLatin1String(mimes[i]), Qt::CaseInsensitive) == 0)
            return static_cast<ImageKind>(i);
    return ImageKind::Unsupported;
}

QString ImageKindExtension(ImageKind kind)
{
    switch (kind) {
    case ImageKind::BMP: return QStringLiteral("bmp");
    case ImageKind::GIF: return QStringLiteral("gif");
    case ImageKind::JPEG: return QStringLiteral("jpg");
    case ImageKind::PNG: return QStringLiteral("png");
    default: return QString();
    }
}

QString PictureTypeName(int pictureType)
{
    if (pictureType < 0 || pictureType >= static_cast<int>(pictureTypeNames.size()))
        return QString();
    return QString::fromLatin1(pictureTypeNames[static_cast<std::size_t>(pictureType)]);
}

} // namespace brindle::modImageType
