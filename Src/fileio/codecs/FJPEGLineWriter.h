#pragma once
// The JPEG line writer: a baseline JPEG file written row by row, with one of
// thirteen quality levels, an optional comment, an EXIF block (with the maker
// note and a small JPEG thumbnail) and an ICC profile.
//
// The calls come in a fixed order: SetDimensions (which writes the file's
// start), the thumbnail, the tags, the profile, then the rows. Markers appear
// in the file in call order after SOI and APP0. The file is finished when its
// last row is written; a writer deleted before that removes its file.

#include <cstdint>
#include <memory>
#include <vector>

#include "fileio/codecs/FImageWriter.h"

class FString;

class FJPEGLineWriter : public FImageLineWriter {
public:
    // Quality index 0 (lowest) to 12 (highest); 7 and above keep colour at full
    // resolution. The accurate flag chooses the slow integer transform and the
    // APP1 identifier "Exif"; clear, the fast transform and "Jfif".
    static constexpr int32_t kQualityLevels = 13;
    static constexpr int32_t kMaxThumbnailSize = 160;

    // Creates or truncates the file of the URL; throws FExceptionFileOpen with
    // the path when it cannot be opened.
    FJPEGLineWriter(const FString& path, int32_t quality, bool accurate);
    // Writes into memory: when the last row is written, the whole file is
    // appended to output, which must outlive the writer.
    FJPEGLineWriter(std::vector<uint8_t>& output, int32_t quality, bool accurate);
    ~FJPEGLineWriter() override;
    FJPEGLineWriter(const FJPEGLineWriter&) = delete;
    FJPEGLineWriter& operator=(const FJPEGLineWriter&) = delete;

    // Pixel type 1 (grey) or 7 (RGB).
    void SetDimensions(int32_t columns, int32_t rows, int32_t pixelType) override;
    // A "Description" becomes a comment marker.
    void WriteTags(const FHasProperties& properties) override;
    // The EXIF block (WriteExif).
    void WriteTags(const FPropTree& properties) override;
    // Kept for the EXIF block as a small JPEG; at most 160 x 160 pixels.
    void WriteThumbnail(const FPixmap* thumbnail) override;
    // In APP2 markers of at most 65518 profile bytes each.
    void WriteProfile(uint32_t size, const uint8_t* profile) override;
    void WriteLine(const void* row, int32_t pixelType) override;
    // The APP1 block: IFD0, the thumbnail's IFD1 and the EXIF IFD.
    virtual void WriteExif(const FPropTree& properties);

private:
    void RequireBeforeRows(const char* uninitialized, const char* outOfOrder) const;
    // Runs a step that drives the codec. A codec that failed is in no state to
    // go on, so after a failure every later step is refused.
    template <class Step>
    void CodecStep(Step&& step);
    void Finish();

    struct State;
    std::unique_ptr<State> m_pState;
};
