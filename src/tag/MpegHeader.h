#pragma once
// Field decoding of the three MPEG audio header bytes that follow the 0xFF sync byte.

#include <array>
#include <cstdint>

namespace brindle {

struct MpegHeader {
    std::array<std::uint8_t, 3> bytes{};

    // 1 = Layer III, 2 = Layer II, 3 = Layer I, 0 = reserved.
    int layer() const { return (bytes[0] >> 1) & 0x03; }
    // 0 = MPEG 2.5, 1 = reserved, 2 = MPEG 1, 3 = MPEG 2.
    int version() const
    {
        int bits = (bytes[0] >> 3) & 0x03;
        return bits == 2 ? 3 : bits == 3 ? 2 : bits;
    }
    int channelMode() const { return (bytes[2] >> 6) & 0x03; }
    int emphasis() const { return bytes[2] & 0x03; }
    int padding() const { return (bytes[1] & 0x02) ? (layer() == 3 ? 4 : 1) : 0; }
    int sampleRate() const;
    int frameSamples() const;
    // Table bit rate in bit/s: 0 for index 0 or a reserved version or layer, -1000 for index 15.
    double bitRate() const;
    bool acceptable() const
    {
        double rate = bitRate();
        return rate != 0 && rate != -1000 && version() != 1 && layer() != 0 && sampleRate() != -1 && emphasis() != 2;
    }
};

} // namespace brindle
