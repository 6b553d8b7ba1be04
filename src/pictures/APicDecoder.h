#pragma once
// Picture entries of a tag's picture list (MultiFrameData) read into pictures and built
// from image bytes or pictures.
//
// An entry is the picture frame without its text-encoding byte: from revision 3 on the
// MIME type, 0x00, the picture-type byte, the description, 0x00, the image bytes; in a
// revision 2 tag the three-letter format in place of MIME type and 0x00. Entries built
// here have an empty description. None of these functions throws.

#include "pictures/Picture.h"
#include "tag/MultiFrameData.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brindle::APicDecoder {

// The fields of an entry as stored, without decoding the image.
struct PictureEntry {
    QString Format;         // MIME type, or the three-letter format of revision 2
    int PictureType = 0;    // 0..20; a stored value above 20 reads as 0
    QByteArray Description; // raw bytes; UTF-16 ones start with their byte-order mark
    QByteArray ImageData;
    bool IsLink = false; // format "-->": the image bytes are a URL, not an image

    // No text, or a UTF-16 byte-order mark alone.
    bool DescriptionIsEmpty() const
    {
        return Description.isEmpty() || Description == "\xFF\xFE" || Description == "\xFE\xFF";
    }
};
// nullopt when the entry is too short or has no terminator after format or description.
// The entry does not say how its description is encoded: one that starts with a UTF-16
// byte-order mark is taken as UTF-16 (ending in two NULs), and an empty description
// followed by a second NUL as an empty UTF-16 one.
std::optional<PictureEntry> ParsePictureEntry(std::string_view entry, int id3Revision);

struct DecodedPicture {
    QString MIMEType; // the detected type when the bytes show one, else the stored name
    int PictureType = 0;
    Picture Pic;
    QByteArray OrigPicData;
};

// Entry index (1-based) decoded. Refused (nullopt): index out of range, a link entry,
// an entry with a description (rewriting it would lose the description), bytes that
// are not an image. Picture type 1 stays only for a 32 x 32 PNG, otherwise it becomes 2.
std::optional<DecodedPicture> DecodeImage(const MultiFrameData& MFDClass, std::int32_t Index, int ID3Revision);

// The entry for image bytes: the detected type replaces MIMEType when it differs.
// nullopt when Data is not an image. In a revision 2 tag a BMP or GIF is converted to
// PNG, since only "PNG" and "JPG" can name it there.
std::optional<std::string> BuildImageDataEntry(const QString& MIMEType, int PictureType, QByteArrayView Data,
                                               int ID3Revision);
// The entry for a picture encoded as MIMEType (a three-letter format in revision 2);
// nullopt when it cannot be encoded so.
std::optional<std::string> BuildImageEntry(const QString& MIMEType, int PictureType, const Picture& Image,
                                           int ID3Revision);

// Replace entry Index with the built entry. Return whether the list was changed; it is
// left alone when the entry cannot be built or Index is out of range. To add a
// picture, add a placeholder entry first (or Add a built entry directly).
bool InsertImageData(MultiFrameData& MFDClass, std::int32_t Index, const QString& MIMEType, int PictureType,
                     QByteArrayView Data, int ID3Revision);
bool InsertImage(MultiFrameData& MFDClass, std::int32_t Index, const QString& MIMEType, int PictureType,
                 const Picture& Image, int ID3Revision);

} // namespace brindle::APicDecoder
