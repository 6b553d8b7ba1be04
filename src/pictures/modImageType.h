#pragma once
// Image formats of picture entries: recognising them from their first and last bytes,
// and the names they go by (MIME types from tag revision 3 on, three-letter formats
// in revision 2 tags, the positions in the window's image-type list).
//
// A tag revision of 2 means the three-letter names; every other revision (3, 4, and
// 0 for a file that has no ID3v2 tag yet and will get a 2.3 one) means MIME types.

#include <QByteArrayView>
#include <QString>

namespace brindle {

enum class ImageKind : int { BMP = 0, GIF = 1, JPEG = 2, PNG = 3, Unsupported = -1 };

namespace modImageType {

inline constexpr char UnsupportedImageType[] = "[unsupported image type]";

bool IsRevision2(int id3Revision);

// The kind the bytes are: "BM" ... 0x00, "GIF89a"/"GIF87a" ... 0x00 0x3B, a JFIF JPEG
// (version 1) ... FF D9, a PNG with its IHDR first and IEND last. Anything else,
// including JPEG files without a JFIF segment, is Unsupported.
ImageKind DetectImageKind(QByteArrayView data);

// ImageTypeName(DetectImageKind(data), id3Revision).
QString DetectImageType(QByteArrayView data, int id3Revision);

// "image/bmp", "image/gif", "image/jpeg", "image/png"; for revision 2 "PNG" for BMP,
// GIF and PNG and "JPG" for JPEG; UnsupportedImageType for anything else.
QString ImageTypeName(ImageKind kind, int id3Revision);

// Position of a name in the image-type list: MIME types 0..3 (BMP, GIF, JPEG, PNG),
// revision 2 "JPG" 0 and "PNG" 1; -1 when the list has no such entry. Case is ignored.
int ImageTypeIndex(const QString& name, int id3Revision);

// The MIME type for a name: unchanged from revision 3 on; for revision 2 "JPG" gives
// "image/jpeg", "PNG" gives "image/png" (case ignored) and anything else "".
QString FormatToMime(const QString& name, int id3Revision);

// The kind a MIME type names, case ignored; Unsupported for any other text.
ImageKind MimeToImageKind(const QString& mimeType);

// File-name extension for a kind without the dot ("bmp", "gif", "jpg", "png"), or "".
QString ImageKindExtension(ImageKind kind);

// Caption of an ID3v2 picture type 0..20 ("Other", "32 x 32 File Icon", ...); "" for
// any other number.
QString PictureTypeName(int pictureType);

} // namespace modImageType
} // namespace brindle
