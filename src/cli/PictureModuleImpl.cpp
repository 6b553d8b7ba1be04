// The Qt side of the picture commands, built as the loadable module brindle-cli-pictures.so.
#include "PictureModule.h"

#include "pictures/APicDecoder.h"
#include "pictures/modImageType.h"

#include <cstdio>

extern "C" __attribute__((visibility("default"))) int
brindle_cli_build_picture_entry(const std::string* image, int pictureType, int revision, std::string* entry,
                                std::string* error)
{
    using namespace brindle;
    QByteArrayView data(image->data(), static_cast<qsizetype>(image->size()));
    if (modImageType::DetectImageKind(data) == ImageKind::Unsupported) {
        *error = "not a BMP, GIF, JPEG or PNG image";
        return 1;
    }
    auto built = APicDecoder::BuildImageDataEntry(modImageType::DetectImageType(data, revision), pictureType, data,
                                                  revision);
    if (!built) {
        *error = "the image cannot be decoded";
        return 1;
    }
    *entry = std::move(*built);
    return 0;
}

extern "C" __attribute__((visibility("default"))) int
brindle_cli_describe_picture_entry(const std::string* entry, int revision, int index, std::string* fileName,
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
