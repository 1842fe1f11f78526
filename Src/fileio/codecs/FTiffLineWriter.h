#pragma once
// The TIFF line writer: an uncompressed, contiguous, little-endian TIFF written
// row by row. Its layout follows the pixel type given to SetDimensions (grey 8
// or 16 bits, RGB 8 or 16 bits, or 30RGBL as four 8-bit samples); rows of other
// types are converted on the way. Tags carry the descriptive properties, the
// EXIF block, the private tag 37717, a Photoshop thumbnail and the ICC profile.

#include <memory>

#include "fileio/codecs/FImageWriter.h"

class FString;

class FTiffLineWriter : public FImageLineWriter {
public:
    // Opens (creates or truncates) the file of the URL. Throws FExceptionFileOpen
    // with the path when it cannot be opened.
    FTiffLineWriter(const FString& path, bool append);
    // Finishes and closes the file. A file whose rows were not all written, or
    // whose writing failed, is removed.
    ~FTiffLineWriter() override;
    FTiffLineWriter(const FTiffLineWriter&) = delete;
    FTiffLineWriter& operator=(const FTiffLineWriter&) = delete;

    void SetDimensions(int32_t columns, int32_t rows, int32_t pixelType) override;
    void WriteTags(const FHasProperties& properties) override;
    void WriteTags(const FPropTree& properties) override;
    // Tag 34377: the pixels of a 24-bit pixmap in a Photoshop thumbnail resource.
    void WriteThumbnail(const FPixmap* thumbnail) override;
    void WriteProfile(uint32_t size, const uint8_t* profile) override;
    void WriteLine(const void* row, int32_t pixelType) override;

private:
    struct State;
    std::unique_ptr<State> m_pState;
};
