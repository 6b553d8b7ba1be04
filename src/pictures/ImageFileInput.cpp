#include "pictures/ImageFileInput.h"

#include "pictures/GDIPlusCandy.h"
#include "pictures/modImageType.h"

namespace brindle {

namespace {

// What an extension says, for revision 3 and 4 tags and for revision 2 tags, and
// whether revision 2 needs the image as PNG (it can only name JPG and PNG).
struct ExtensionType {
    QString type3;
    int entry3 = -1;
    QString type2;
    int entry2 = -1;
    bool toPngForRevision2 = false;
};

ExtensionType typeOfExtension(QStringView fileName)
{
    const QStringView name = fileName.mid(fileName.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString ext = dot < 0 ? QString() : name.mid(dot + 1).toString().toLower();
    if (ext == u"bmp" || ext == u"dib")
        return {QStringLiteral("image/bmp"), 0, QStringLiteral("PNG"), 1, true};
    if (ext == u"gif")
        return {QStringLiteral("image/gif"), 1, QStringLiteral("PNG"), 1, true};
    for (const char16_t* jpeg : {u"jpeg", u"jpg", u"jpe", u"jfif", u"jfi", u"jif"})
        if (ext == jpeg)
            return {QStringLiteral("image/jpeg"), 2, QStringLiteral("JPG"), 0, false};
    if (ext == u"png")
        return {QStringLiteral("image/png"), 3, QStringLiteral("PNG"), 1, false};
    return {};
}

} // namespace

std::optional<ImageFileInput> TakeImageFile(QStringView fileName, QByteArray bytes, int id3Revision)
{
    const bool rev2 = modImageType::IsRevision2(id3Revision);
    const ExtensionType byName = typeOfExtension(fileName);
    ImageFileInput in;
    in.type = rev2 ? byName.type2 : byName.type3;
    in.extensionEntry = rev2 ? byName.entry2 : byName.entry3;
    const GDIPlusCandy codecs;
    in.picture = codecs.DataToImage(bytes);
    if (in.picture.isNull())
        return std::nullopt;
    in.data = std::move(bytes);
    if (rev2 && byName.toPngForRevision2) {
        in.data = codecs.ImageToData(in.picture, QStringLiteral("image/png"));
        in.picture = codecs.DataToImage(in.data);
        if (in.picture.isNull())
            return std::nullopt;
    }
    const QString detected = modImageType::DetectImageType(in.data, id3Revision);
    if (detected.compare(in.type, Qt::CaseInsensitive) != 0 &&
        detected != QLatin1String(modImageType::UnsupportedImageType)) {
        in.type = detected;
        in.detectedEntry = modImageType::ImageTypeIndex(detected, id3Revision);
    }
    return in;
}

} // namespace brindle
