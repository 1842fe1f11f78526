#pragma once
// JPEG streams made by libjpeg itself, for tests and for the sample files:
// the reference encoder the readers are checked against.

#include <cstdint>
#include <vector>

namespace testsupport {

struct JpegEncodeOptions {
    int quality = 90;
    bool progressive = false;
    int colorSpace = 2;  // a J_COLOR_SPACE: 1 grey, 2 RGB, 4 CMYK
    bool fullColour = false;  // the first component sampled 1 x 1
    bool accurate = true;     // the slow integer transform, else the fast one
};
// Photograph-like RGB rows (smooth gradients with fine texture), so a JPEG
// of them has a camera picture's size.
std::vector<uint8_t> PhotoLikeRgb(int columns, int rows);
// Encodes components-per-pixel rows with libjpeg into memory; throws
// std::runtime_error when libjpeg refuses.
std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& pixels, int columns, int rows, int components,
                                const JpegEncodeOptions& options);

} // namespace testsupport
