#pragma once
// Conversions between HIMETRIC lengths (0.01 mm), in which picture objects carry their
// size, and screen pixels. The screen is taken at 96 dots per inch: 15 twips a pixel.

#include <cstdint>

namespace brindle::modHimetrics {

// Whole pixels, truncated toward zero.
std::int32_t HimetricToPixelsX(std::int32_t himetric);
std::int32_t HimetricToPixelsY(std::int32_t himetric);

// The smallest HIMETRIC length that converts back to exactly this many pixels, so
// that every picture size survives the trip through HimetricToPixelsX/Y.
std::int32_t PixelsToHimetricX(std::int32_t pixels);
std::int32_t PixelsToHimetricY(std::int32_t pixels);

} // namespace brindle::modHimetrics
