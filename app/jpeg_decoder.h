// JPEG pictures decoded with libjpeg.
//
// libjpeg reports errors through an error manager that, left to itself, ends
// the process. This unit gives it one that jumps back instead, so a corrupt or
// truncated picture yields an empty result and the tool carries on.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ortiva {

struct DecodedPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // 3 bytes per pixel, rows top to bottom, no padding
    bool empty() const { return rgb.empty(); }
};

// Pictures larger than this on either side are refused.
inline constexpr int kMaxPictureSide = 8192;

// Decodes JPEG data to RGB. Anything libjpeg does not accept cleanly (bad
// markers, corrupt entropy data, data that ends early, unsupported colour
// spaces, oversized pictures) gives an empty picture.
DecodedPicture DecodeJpeg(std::span<const uint8_t> data);

}  // namespace ortiva
