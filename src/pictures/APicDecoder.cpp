#include "pictures/APicDecoder.h"

#include "pictures/Cp1252.h"
#include "pictures/GDIPlusCandy.h"
#include "pictures/modImageType.h"

namespace brindle::APicDecoder {

namespace {

constexpr int highestPictureType = 20;

int normalisedPictureType(int type) { return type < 0 || type > highestPictureType ? 0 : type; }

// The file-icon type promises a 32 x 32 PNG; anything else is just "another icon".
int checkedIconType(int type, const QString& name, const Picture& pic, int rev)
{
    if (type != 1)
        return type;
    const bool png = modImageType::FormatToMime(name, rev).compare(QLatin1String("image/png"), Qt::CaseInsensitive) ==
                     0;
    const bool size32 = pic.pixelWidth() == 32 && pic.pixelHeight() == 32;
    return png && size32 ? 1 : 2;
}

std::string makeEntry(const QString& name, int type, QByteArrayView image, int rev)
{
    std::string entry = cp1252::fromQString(name);
    if (!modImageType::IsRevision2(rev))
        entry.push_back('\0');
    entry.push_back(static_cast<char>(type));
    entry.push_back('\0');
    entry.append(image.data(), static_cast<std::size_t>(image.size()));
    return entry;
}

bool storeAt(MultiFrameData& list, std::int32_t index, std::optional<std::string> entry)
{
    if (!entry || index < 1 || index > list.Count())
        return false;
    list.SetItem(index, std::move(*entry));
    return true;
}

} // namespace

std::optional<PictureEntry> ParsePictureEntry(std::string_view entry, int id3Revision)
{
    PictureEntry out;
    std::size_t pos = 0;
    if (modImageType::IsRevision2(id3Revision)) {
        if (entry.size() < 3)
            return std::nullopt;
        out.Format = cp1252::toQString(entry.substr(0, 3));
        pos = 3;
    } else {
        const auto nul = entry.find('\0');
        if (nul == std::string_view::npos)
            return std::nullopt;
        out.Format = cp1252::toQString(entry.substr(0, nul));
        pos = nul + 1;
    }
    out.IsLink = out.Format == QLatin1String("-->");
    if (pos >= entry.size())
        return std::nullopt;
    out.PictureType = normalisedPictureType(static_cast<unsigned char>(entry[pos]));
    ++pos;
    // The entry has lost the frame's text encoding, so a UTF-16 description shows
    // itself by its byte-order mark and ends in two NULs on a character boundary.
    const bool utf16 = entry.size() >= pos + 2 && ((entry[pos] == '\xFF' && entry[pos + 1] == '\xFE') ||
                                                   (entry[pos] == '\xFE' && entry[pos + 1] == '\xFF'));
    std::size_t end = std::string_view::npos;
    std::size_t terminator = 1;
    if (utf16) {
        for (std::size_t i = pos + 2; i + 1 < entry.size(); i += 2)
            if (entry[i] == '\0' && entry[i + 1] == '\0') {
                end = i;
                terminator = 2;
                break;
            }
    } else {
        end = entry.find('\0', pos);
        // An empty UTF-16 description without a byte-order mark is two NULs; no image
        // format starts with a NUL, so the second one belongs to the description.
        if (end == pos && end + 1 < entry.size() && entry[end + 1] == '\0')
            terminator = 2;
    }
    if (end == std::string_view::npos)
        return std::nullopt;
    out.Description = QByteArray(entry.data() + pos, static_cast<qsizetype>(end - pos));
    const std::string_view image = entry.substr(end + terminator);
    out.ImageData = QByteArray(image.data(), static_cast<qsizetype>(image.size()));
    return out;
}

std::optional<DecodedPicture> DecodeImage(const MultiFrameData& MFDClass, std::int32_t Index, int ID3Revision)
{
    try {
        if (Index < 1 || Index > MFDClass.Count())
            return std::nullopt;
        auto parsed = ParsePictureEntry(MFDClass.Item(Index), ID3Revision);
        if (!parsed || parsed->IsLink || !parsed->DescriptionIsEmpty())
            return std::nullopt;

        GDIPlusCandy candy;
        DecodedPicture out;
        out.Pic = candy.DataToImage(parsed->ImageData);
        if (out.Pic.isNull())
            return std::nullopt;

        const ImageKind detected = modImageType::DetectImageKind(parsed->ImageData);
        out.MIMEType = detected == ImageKind::Unsupported ? parsed->Format
                                                          : modImageType::ImageTypeName(detected, ID3Revision);
        out.PictureType = checkedIconType(parsed->PictureType, out.MIMEType, out.Pic, ID3Revision);
        out.OrigPicData = std::move(parsed->ImageData);
        return out;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::string> BuildImageDataEntry(const QString& MIMEType, int PictureType, QByteArrayView Data,
                                               int ID3Revision)
{
    try {
        GDIPlusCandy candy;
        const Picture pic = candy.DataToImage(Data);
        if (pic.isNull())
            return std::nullopt;

        QString name;
        QByteArray converted;
        QByteArrayView image = Data;
        if (modImageType::IsRevision2(ID3Revision)) {
            // Only "JPG" and "PNG" can name a picture here, so the name follows the
            // content and other formats become PNG: a "PNG" label on GIF bytes would
            // leave the picture unreadable to everyone else.
            if (pic.sourceKind() == ImageKind::BMP || pic.sourceKind() == ImageKind::GIF) {
                converted = candy.ImageToData(pic, QStringLiteral("image/png"));
                if (converted.isEmpty())
                    return std::nullopt;
                image = converted;
            }
            name = modImageType::ImageTypeName(pic.sourceKind() == ImageKind::JPEG ? ImageKind::JPEG : ImageKind::PNG,
                                               ID3Revision);
        } else {
            const ImageKind detected = modImageType::DetectImageKind(Data);
            name = detected != ImageKind::Unsupported ? modImageType::ImageTypeName(detected, ID3Revision) : MIMEType;
            // A NUL would end the MIME type early and shift the rest of the entry.
            if (const auto nul = name.indexOf(QChar(0)); nul >= 0)
                name.truncate(nul);
            if (name.isEmpty())
                name = modImageType::ImageTypeName(pic.sourceKind(), ID3Revision);
        }

        const int type = checkedIconType(normalisedPictureType(PictureType), name, pic, ID3Revision);
        return makeEntry(name, type, image, ID3Revision);
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::string> BuildImageEntry(const QString& MIMEType, int PictureType, const Picture& Image,
                                           int ID3Revision)
{
    try {
        GDIPlusCandy candy;
        const QByteArray data = candy.ImageToData(Image, modImageType::FormatToMime(MIMEType, ID3Revision));
        if (data.isEmpty())
            return std::nullopt;
        const int type = checkedIconType(normalisedPictureType(PictureType), MIMEType, Image, ID3Revision);
        return makeEntry(MIMEType, type, data, ID3Revision);
    } catch (...) {
        return std::nullopt;
    }
}

bool InsertImageData(MultiFrameData& MFDClass, std::int32_t Index, const QString& MIMEType, int PictureType,
                     QByteArrayView Data, int ID3Revision)
{
    if (Index < 1 || Index > MFDClass.Count())
        return false;
    try {
        return storeAt(MFDClass, Index, BuildImageDataEntry(MIMEType, PictureType, Data, ID3Revision));
    } catch (...) {
        return false;
    }
}

bool InsertImage(MultiFrameData& MFDClass, std::int32_t Index, const QString& MIMEType, int PictureType,
                 const Picture& Image, int ID3Revision)
{
    if (Index < 1 || Index > MFDClass.Count())
        return false;
    try {
        return storeAt(MFDClass, Index, BuildImageEntry(MIMEType, PictureType, Image, ID3Revision));
    } catch (...) {
        return false;
    }
}

} // namespace brindle::APicDecoder
