#pragma once
// Conversion between image bytes (a BMP, GIF, JPEG or PNG file in memory) and
// displayable pictures, on Qt's image codecs; GIF is written through giflib. Needs no
// QGuiApplication, so the command-line tool can use it too.

#include "pictures/Picture.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace brindle {

class GDIPlusCandy {
public:
    GDIPlusCandy();

    // True when the image codecs can be used (Qt can read and write PNG and BMP);
    // while false every conversion fails.
    bool SuccessfullyInitialized() const { return initialized_; }

    // The picture, or a null Picture when the bytes are not a whole BMP, GIF, JPEG or
    // PNG image (other formats Qt happens to read are refused: a tag's picture has to
    // be one of these). A GIF gives its first frame.
    Picture DataToImage(QByteArrayView data) const;

    // The picture encoded as "image/bmp", "image/gif", "image/jpeg" (quality 75) or
    // "image/png", case ignored; empty for any other MIME type or when encoding fails.
    // BMP and JPEG cannot hold transparency: the picture is laid on black for them.
    QByteArray ImageToData(const Picture& image, const QString& mimeType) const;

private:
    bool initialized_ = false;
};

} // namespace brindle
