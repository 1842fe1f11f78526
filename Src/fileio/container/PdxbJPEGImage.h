#pragma once
// The camera's JPEG pictures inside a raw container (image sections of pixel
// format 18): the section's JPEG stream is decoded by the JPEG reader at full
// size, whatever the section's header says about columns and rows.

#include <cstddef>
#include <cstdint>

class FPixmap;

// Decodes the JPEG stream of a section's data into the pixmap (of type
// FPixmap::PIXEL_24_RGB, at least as large as the stream's picture). The
// stream is staged in a uniquely named file of the private temporary folder,
// which is always removed again. Returns false when it cannot be staged; a
// stream the JPEG reader rejects throws the reader's exception.
bool ReadImageJPEG(const uint8_t* data, size_t size, FPixmap* pixmap);
