#pragma once
// Qt images as the tests' pixel images (internal to the testing library).

#include "platform/testing/Headless.h"

#include <QImage>

namespace platform::testing {

// The pixels of an image in premultiplied 0xAARRGGBB, top row first.
PixelImage PixelsOf(const QImage& image);

} // namespace platform::testing
