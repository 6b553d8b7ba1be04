// The Qt side of the picture commands, in the loadable module brindle-cli-extras.so.
#include "ExtrasModule.h"

#include "pictures/APicDecoder.h"
#include "pictures/ImageFileInput.h"
#include "pictures/modImageType.h"

#include <QFile>

#include <cstdio>

extern "C" __attribute__((visibility("default"))) int
brindle_cli_build_picture_entry(const std::string* imagePath, const std::string* image, int pictureType, int revision,
                                std::string* entry, std::string* error)
{
    using namespace brindle;
    // Only the extension is read from the name, so a lossy decoding cannot matter.
    const QString name = QFile::decodeName(QByteArray::fromStdString(*imagePath));
    const auto in = TakeImageFile(name, QByteArray::fromStdString(*image), revision);
    std::optional<std::string> built;
    if (in)
        built = APicDecoder::BuildImageDataEntry(in->type, pictureType, in->data, revision);
    if (!built) {
        *error = "not a BMP, GIF, JPEG or PNG image that can be decoded";
        return 1;
    }
    *entry = std::move(*built);
    return 0;
}

extern "C" __attribute__((visibility("default"))) int brindle_cli_describe_picture_entry(const std::string* entry,
                                                                                         int revision, int index,
                                                                                         std::string* fileName,
                                                                                         std::string* image)
{
    using namespace brindle;
    auto parsed = APicDecoder::ParsePictureEntry(*entry, revision);
    if (!parsed)
        return 1;
    QString typeName = modImageType::PictureTypeName(parsed->PictureType);
    if (typeName.isEmpty())
        typeName = QStringLiteral("Other");
    // A picture type name must not lead out of the folder.
    typeName.replace(QLatin1Char('/'), QLatin1Char('-'));
    QString ext = modImageType::ImageKindExtension(modImageType::DetectImageKind(parsed->ImageData));
    if (ext.isEmpty())
        ext = QStringLiteral("bin");
    char number[16];
    std::snprintf(number, sizeof number, "%02d", index);
    *fileName = std::string(number) + "-" + typeName.toStdString() + "." + ext.toStdString();
    *image = parsed->ImageData.toStdString();
    return 0;
}
