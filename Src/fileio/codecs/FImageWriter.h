#pragma once
// The two ways a developed image leaves the system.
//
// A line writer receives the image one row at a time, top row first, so that a
// full-size image never has to exist in one piece: it is opened, told its size
// and pixel type, given its descriptive tags, an optional thumbnail and an
// optional ICC profile, then the rows. Deleting the writer finishes and closes
// the file. A writer that could not finish its file (a failed write, or fewer
// rows than announced) removes it, so no half-written file is left behind that
// looks complete.
//
// A whole-image writer writes one pixmap with its properties in one call.

#include <cstdint>

class FHasProperties;
class FPixmap;
class FPropTree;

class FImageLineWriter {
public:
    virtual ~FImageLineWriter() = default;

    // Columns and rows of the file and the pixel type (FPixmap::PIXEL_*) its
    // rows will come in; decides the file's layout.
    virtual void SetDimensions(int32_t columns, int32_t rows, int32_t pixelType) = 0;
    virtual void WriteTags(const FHasProperties& properties) = 0;
    virtual void WriteTags(const FPropTree& properties) = 0;
    virtual void WriteThumbnail(const FPixmap* thumbnail) = 0;
    // The caller keeps the bytes; they are written before the call returns.
    virtual void WriteProfile(uint32_t size, const uint8_t* profile) = 0;
    // The next row, columns pixels of the given type.
    virtual void WriteLine(const void* row, int32_t pixelType) = 0;
};

class FImageWriter {
public:
    virtual ~FImageWriter() = default;

    // The writer keeps the pointer: the caller keeps the bytes alive until the
    // image is written.
    virtual void SetProfile(uint32_t size, const uint8_t* profile) = 0;
    virtual void WriteImage(const FPixmap* pixmap, const FHasProperties& properties) = 0;
};
