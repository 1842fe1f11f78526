#pragma once
// Decoders of the raw container's fixed-row and Huffman-row image formats.
// Each works on the image data of one section, already in memory, and writes
// the decoded image into the top-left corner of the caller's pixmap.
//
// Every size, offset and row table in the data is checked before use: a
// malformed section raises FExceptionPdxbReader (or the assertion exception
// for the checks the format itself defines) and nothing is read or written
// outside the data or the pixmap. What a decoder does not decode (a row it
// cannot repair, the rows after a cancel) is left zero, never stale.
//
// Progress (a fraction 0 to 1) is written between rows when the pointer is not
// null, through StoreProgress, so another thread may watch it with
// LoadProgress; a non-zero cancel flag stops the decode between rows and makes
// it return false.

#include "fileio/container/PdxbImageIO.h"

#include <atomic>
#include <cstdint>

class FPixmap;

// The FPixmap pixel type an image format decodes to; 0 when it has none.
int32_t PdxbPixelTypeForFormat(uint32_t format);
// Columns and rows of the decoded image: doubled for the formats that store
// two by two blocks, rows alone doubled for the two-green-row formats.
void PdxbDecodedImageSize(const PdxbImageHeader& header, uint64_t& columns, uint64_t& rows);
// Throws FExceptionPdxbReader unless the pixmap has the format's pixel type and
// room for the decoded image.
void CheckPdxbTargetPixmap(const PdxbImageHeader& header, const FPixmap* pixmap);

// Formats with a non-zero row size: rows copied as stored or converted.
bool ReadImageFixedLineLength(const PdxbImageHeader& header, const uint8_t* data, uint64_t size, FPixmap* pixmap,
                              double* progress, const std::atomic<char>* cancel);

// Formats 6 and 11 with a row size of 0: Huffman-coded rows with a row table.
bool ReadImageVariableLineLength(const PdxbImageHeader& header, const uint8_t* data, uint64_t size,
                                 FPixmap* pixmap, double* progress, const std::atomic<char>* cancel);
