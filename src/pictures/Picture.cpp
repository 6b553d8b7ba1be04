#include "pictures/Picture.h"

#include "pictures/modHimetrics.h"

namespace brindle {

Picture::Picture(QImage image, ImageKind sourceKind)
    : image_(std::move(image)), sourceKind_(image_.isNull() ? ImageKind::Unsupported : sourceKind)
{
    if (!image_.isNull()) {
        width_ = modHimetrics::PixelsToHimetricX(image_.width());
        height_ = modHimetrics::PixelsToHimetricY(image_.height());
    }
}

std::int32_t Picture::pixelWidth() const { return modHimetrics::HimetricToPixelsX(width_); }
std::int32_t Picture::pixelHeight() const { return modHimetrics::HimetricToPixelsY(height_); }

} // namespace brindle
