#pragma once
// Reads a TIFF file into a pixmap: its size and pixel type, its descriptive
// tags and EXIF block as properties, and the whole image, optionally reduced
// by a power of two and converted to the pixmap's pixel type on the way.
//
// Accepted layouts are those the TIFF line writer produces (grey 8 and 16
// bits, RGB 8 and 16 bits, RGB plus one extra sample at 8 bits), in any
// compression the TIFF library decodes. A file with more samples per pixel
// than its type holds is read through its own pixel stride and the surplus
// samples are dropped; other layouts have pixel type 0 and are refused. An
// extra sample declared as alpha never reaches the colour: its byte of the
// 30RGBL word (the low colour bits) reads as 0.

#include <cstdint>
#include <memory>

class FPixmap;
class FPropTree;
class FString;

class FTiffImageReader {
public:
    // Throws FExceptionFileNotFound "TiffImageReader: Cannot open file '<path>'"
    // when the file cannot be opened as a TIFF.
    explicit FTiffImageReader(const FString& path);
    virtual ~FTiffImageReader();
    FTiffImageReader(const FTiffImageReader&) = delete;
    FTiffImageReader& operator=(const FTiffImageReader&) = delete;

    // Reduction by 2 to the power n (n taken modulo 32): output columns and
    // rows are the file's divided by it, rounded down.
    void SetScale(int32_t n);
    // The output size and the file's pixel type (1, 3, 7, 8 or 15; 0 when the
    // layout is not supported).
    void GetDimensions(uint32_t& columns, uint32_t& rows, int32_t& pixelType);
    // Fills the first output-rows rows of the pixmap, in the pixmap's own type.
    void ReadImage(FPixmap* pixmap);
    // Adds the EXIF block's properties, ROWS and COLS, the make, model and
    // software texts and EXIF_DATETIME. Never throws.
    void GetProperties(FPropTree* tree);

private:
    void ReadRow(uint32_t outputRow, uint8_t* destination, int32_t destinationType);
    // Throws FExceptionTIFF when the library cannot deliver the row.
    void ReadFileRow(uint32_t fileRow, uint8_t* buffer);

    struct State;
    std::unique_ptr<State> m_pState;
};
