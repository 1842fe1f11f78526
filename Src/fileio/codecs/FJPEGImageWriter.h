#pragma once
// Writes a whole pixmap as a JPEG file (or into memory) through the JPEG line
// writer; the EXIF thumbnails are made with it.

#include <cstdint>
#include <memory>
#include <vector>

#include "fileio/codecs/FImageWriter.h"

class FJPEGLineWriter;
class FString;

class FJPEGImageWriter : public FImageWriter {
public:
    FJPEGImageWriter(const FString& path, int32_t quality, bool accurate);
    // The finished file is appended to output, which must outlive the writer.
    FJPEGImageWriter(std::vector<uint8_t>& output, int32_t quality, bool accurate);
    ~FJPEGImageWriter() override;
    FJPEGImageWriter(const FJPEGImageWriter&) = delete;
    FJPEGImageWriter& operator=(const FJPEGImageWriter&) = delete;

    void SetProfile(uint32_t size, const uint8_t* profile) override;
    // Pixel type 1 is written as grey, 6 and 7 as RGB; any other type throws
    // FExceptionUnknownPixelType.
    void WriteImage(const FPixmap* pixmap, const FHasProperties& properties) override;

private:
    std::unique_ptr<FJPEGLineWriter> m_pWriter;
    const uint8_t* m_pProfile = nullptr;
    uint32_t m_iProfileSize = 0;
};
