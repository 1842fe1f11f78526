#pragma once
// Reads a JPEG file into a pixmap, at full size or reduced by 2, 4 or 8 (the
// codec's own scaled decoding), and imports the EXIF block of its first APP1
// marker as properties. Grey files read as 8-bit grey, colour files as 24-bit
// RGB or any colour type the readers convert to.

#include <cstdint>
#include <memory>

class FPixmap;
class FPropTree;
class FString;

class FJPEGImageReader {
public:
    // Opens the file and reads its header. Throws FExceptionFileNotFound
    // "JPEGImageReader: Cannot open file '<path>'" when it cannot be opened,
    // and FExceptionJPEG when the header cannot be read.
    explicit FJPEGImageReader(const FString& path);
    virtual ~FJPEGImageReader();
    FJPEGImageReader(const FJPEGImageReader&) = delete;
    FJPEGImageReader& operator=(const FJPEGImageReader&) = delete;

    // Scale 1 / 2^n; the codec decides the output size.
    void SetScale(int32_t n);
    // The output size and pixel type (1 grey, 7 RGB). Must come before
    // ReadImage. Throws FExceptionUnknownPixelType for other colour spaces.
    void GetDimensions(uint32_t& columns, uint32_t& rows, int32_t& pixelType);
    // Decodes every output row into the pixmap, in the pixmap's own type. A
    // multi-scan (progressive) picture whose full-size coefficients would need
    // more than 1 GiB is refused with FExceptionJPEG before anything is decoded.
    void ReadImage(FPixmap* pixmap);
    // Adds the properties of the EXIF block, if the first APP1 holds one.
    void GetProperties(FPropTree* tree);

private:
    struct State;
    std::unique_ptr<State> m_pState;
};
