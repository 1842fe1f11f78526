#pragma once
// HuffmanM4: the lossless predictive code of the raw container's sensor images
// (pixel format 30) and of its coded camera-data sections (camfile type 4).
// Every 12-bit sample is predicted from the sample two columns to the left, or
// at a row start from the sample two rows up, and the difference is sent as a
// Huffman-coded bit count followed by that many bits.
//
// The image decoder reads each plane's stream through a window of the
// section, from memory or from the file; the camfile decoder works on data
// already in memory. A code that
// matches no table entry, a value outside 0..4095 or a stream that runs past
// the data ends the plane; what it did not decode is left zero.

#include "fileio/container/PdxbImageIO.h"

#include <atomic>
#include <cstdint>

class FPixmap;
class FSectionBytes;

// Decodes the three planes of an image into components 0, 1 and 2 (red,
// green, blue) of a signed 48-bit pixmap. True unless cancelled.
bool ReadImageHuffmanM4(const PdxbImageHeader& header, FSectionBytes& data, FPixmap* pixmap, double* progress,
                        const std::atomic<char>* cancel);
bool ReadImageHuffmanM4(const PdxbImageHeader& header, const uint8_t* data, uint64_t size, FPixmap* pixmap,
                        double* progress, const std::atomic<char>* cancel);

// Decodes a camfile's values into the camera-data bytes they pack (two values
// in three bytes, most significant bits first), writing at most `length`
// bytes, and zeroes the bytes from the header's data length on. True unless
// cancelled.
bool ReadCamfileHuffmanM4(const PdxbCamfileHeader& header, const uint8_t* data, uint64_t size, uint8_t* buffer,
                          uint32_t length, double* progress, const std::atomic<char>* cancel);
