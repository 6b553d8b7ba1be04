#pragma once
// GIF89a encoding through giflib, for the one format Qt can read but not write.

#include <QByteArray>
#include <QImage>

namespace brindle::gif {

// The image reduced to a palette of at most 256 colours (exact when it has no more,
// median cut otherwise); pixels less than half opaque become the transparent colour.
// Empty when the image is null or too large for a GIF (over 65535 pixels a side).
QByteArray encodeGif(const QImage& image);

} // namespace brindle::gif
