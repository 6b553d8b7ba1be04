#include "pictures/modHimetrics.h"

namespace brindle::modHimetrics {

namespace {

constexpr std::int64_t himetricPerInch = 2540;
constexpr std::int64_t twipsPerInch = 1440;
constexpr std::int64_t twipsPerPixel = 15; // the screen taken at 96 dots per inch

std::int32_t toPixels(std::int32_t himetric)
{
    // Integer arithmetic: truncation toward zero without floating-point surprises.
    return static_cast<std::int32_t>(std::int64_t{himetric} * twipsPerInch / (himetricPerInch * twipsPerPixel));
}

std::int32_t toHimetric(std::int32_t pixels)
{
    // Rounding to nearest would lose a pixel for sizes such as 1 or 33 (873.1 -> 873 ->
    // 32.99 -> 32); rounding up keeps the result within one unit and always exact.
    const std::int64_t num = static_cast<std::int64_t>(pixels) * twipsPerPixel * himetricPerInch;
    const std::int64_t mag = num < 0 ? -num : num;
    const std::int64_t up = (mag + twipsPerInch - 1) / twipsPerInch;
    return static_cast<std::int32_t>(num < 0 ? -up : up);
}

} // namespace

std::int32_t HimetricToPixelsX(std::int32_t himetric) { return toPixels(himetric); }
std::int32_t HimetricToPixelsY(std::int32_t himetric) { return toPixels(himetric); }

std::int32_t PixelsToHimetricX(std::int32_t pixels) { return toHimetric(pixels); }
std::int32_t PixelsToHimetricY(std::int32_t pixels) { return toHimetric(pixels); }

} // namespace brindle::modHimetrics
