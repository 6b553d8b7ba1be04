#include "pictures/GDIPlusCandy.h"

#include "pictures/GifEncoder.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

namespace brindle {

namespace {

ImageKind kindOfQtFormat(const QByteArray& format)
{
    if (format == "bmp")
        return ImageKind::BMP;
    if (format == "gif")
        return ImageKind::GIF;
    if (format == "jpeg" || format == "jpg")
        return ImageKind::JPEG;
    if (format == "png")
        return ImageKind::PNG;
    return ImageKind::Unsupported;
}

QImage onBlack(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return image;
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::black);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    painter.end();
    return flat;
}

} // namespace

GDIPlusCandy::GDIPlusCandy()
{
    // The installed codecs do not change while the program runs: ask once.
    static const bool codecsAvailable = [] {
        const auto readable = QImageReader::supportedImageFormats();
        const auto writable = QImageWriter::supportedImageFormats();
        return readable.contains("png") && readable.contains("bmp") && writable.contains("png") &&
               writable.contains("bmp");
    }();
    initialized_ = codecsAvailable;
}

Picture GDIPlusCandy::DataToImage(QByteArrayView data) const
{
    if (!initialized_ || data.isEmpty())
        return {};
    // The reader works on its own copy: the caller's bytes may go away meanwhile.
    QByteArray bytes = data.toByteArray();
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const ImageKind kind = kindOfQtFormat(reader.format());
    if (kind == ImageKind::Unsupported)
        return {};
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return {};
    return Picture(std::move(image), kind);
}

QByteArray GDIPlusCandy::ImageToData(const Picture& image, const QString& mimeType) const
{
    if (!initialized_ || image.isNull())
        return {};
    const ImageKind kind = modImageType::MimeToImageKind(mimeType);
    if (kind == ImageKind::GIF)
        return gif::encodeGif(image.image());

    const char* format = nullptr;
    QImage source = image.image();
    switch (kind) {
    case ImageKind::BMP:
        format = "bmp";
        source = onBlack(source);
        break;
    case ImageKind::JPEG:
        format = "jpeg";
        source = onBlack(source);
        break;
    case ImageKind::PNG: format = "png"; break;
    default: return {};
    }
    if (source.isNull())
        return {};

    QByteArray out;
    QBuffer buffer(&out);
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    QImageWriter writer(&buffer, format);
    if (kind == ImageKind::JPEG)
        writer.setQuality(75);
    if (!writer.write(source))
        return {};
    buffer.close();
    return out;
}

} // namespace brindle
