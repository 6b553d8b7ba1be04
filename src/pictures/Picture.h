#pragma once
// A displayable picture: the decoded image and its size in HIMETRIC units, computed
// from its pixels at the screen resolution (see modHimetrics). The window shows
// image(); GDIPlusCandy::ImageToData encodes it back into image bytes.

#include "pictures/modImageType.h"

#include <QImage>
#include <cstdint>

namespace brindle {

class Picture {
public:
    Picture() = default; // no picture
    // sourceKind: the format the image was decoded from, if it came from image bytes.
    explicit Picture(QImage image, ImageKind sourceKind = ImageKind::Unsupported);

    bool isNull() const { return image_.isNull(); }
    const QImage& image() const { return image_; }
    ImageKind sourceKind() const { return sourceKind_; }

    // Size in HIMETRIC (0.01 mm); 0 for no picture.
    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }

    // Size in whole screen pixels through HimetricToPixelsX/Y.
    std::int32_t pixelWidth() const;
    std::int32_t pixelHeight() const;

private:
    QImage image_;
    ImageKind sourceKind_ = ImageKind::Unsupported;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
};

} // namespace brindle
