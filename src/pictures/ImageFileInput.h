#pragma once
// An image file taken as a picture: the one routine the window's album-art editor and
// brindle-cli both use, so both accept the same files. The type comes from the bytes
// when their signature is recognised, else from the file's extension; the bytes are
// decoded in any case, so nothing that is not an image gets in.

#include "pictures/Picture.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

namespace brindle {

struct ImageFileInput {
    QString type;            // the type text to store ("image/jpeg", or "JPG"/"PNG" for revision 2); may be empty
    int extensionEntry = -1; // the image-type list entry the extension names; -1 for none
    int detectedEntry = -1;  // the entry of the type the bytes show when it differs from the extension's; else -1
    QByteArray data;         // the image bytes to store: PNG for a BMP or GIF in a revision 2 tag
    Picture picture;         // data decoded
};

// fileName is only looked at for its extension (the text after the last ".", case
// ignored); nullopt when the bytes do not decode as a BMP, GIF, JPEG or PNG image.
std::optional<ImageFileInput> TakeImageFile(QStringView fileName, QByteArray bytes, int id3Revision);

} // namespace brindle
