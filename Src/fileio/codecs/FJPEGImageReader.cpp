#include "fileio/codecs/FJPEGImageReader.h"

#include <cstring>
#include <vector>

#include "fileio/metadata/Exif.h"
#include "fileio/codecs/ImageRowConverters.h"
#include "fileio/codecs/JPEGIO.h"
#include "fileio/codecs/UnfinishedFile.h"
#include "foundation/FAssert.h"
#include "foundation/FException.h"
#include "foundation/FIFile.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "foundation/FString.h"

struct FJPEGImageReader::State {
    // Declared before the codec: the codec reads the stream until it is destroyed.
    FFilePtr stream;
    FString path;
    int32_t pixelType = 0;  // 0 until the dimensions were asked
    size_t rowBytes = 0;
    std::vector<uint8_t> rowBuffer;
    bool finished = false;
    std::unique_ptr<FJPEGDecompressor> codec;

    jpeg_decompress_struct* Info() { return codec->Get(); }
};

namespace {

// "Exif" or "Jfif", two zero bytes, then a TIFF header whose first IFD follows it.
constexpr size_t kApp1TiffHeader = 6;
constexpr size_t kApp1FirstIfd = kApp1TiffHeader + 8;

// A picture stored in several scans (a progressive one above all) is decoded
// from a buffer of every coefficient of the full-size picture, whatever the
// scale read. A few bytes of header can claim billions of pixels, so such a
// picture is refused when that buffer would pass this size; single-scan
// pictures need only a few block rows at a time.
constexpr uint64_t kMaxCoefficientBytes = uint64_t{1} << 30;

uint64_t CoefficientBufferBytes(jpeg_decompress_struct* info)
{
    if (!jpeg_has_multiple_scans(info))
        return 0;
    uint64_t bytes = 0;
    for (int c = 0; c < info->num_components; ++c) {
        const jpeg_component_info& component = info->comp_info[c];
        bytes += uint64_t{component.width_in_blocks} * component.height_in_blocks * sizeof(JBLOCK);
    }
    return bytes;
}

FNarrowString CannotOpen(const FString& path)
{
    return FNarrowString("JPEGImageReader: Cannot open file '%s'", UrlMessageText(path).c_str());
}

FIFile* OpenForReading(const FString& path)
{
    try {
        return OpenFileByURL(path, FIFile::OPEN_READ);
    } catch (const FException& e) {
        DebugPrintf("JPEGImageReader: %s (%s)\n", e.GetDescription(), e.GetMessage());
        return nullptr;
    }
}

// The converter of decoded rows into a destination type; null when the rows
// go straight into the pixmap.
FRowConverter DecodedRowConverter(int32_t fileType, int32_t destinationType)
{
    if (destinationType == fileType)
        return nullptr;
    if (fileType == FPixmap::PIXEL_8_MONO)
        throw FExceptionUnknownPixelType("JPEGReader: Unknown source pixel type");
    if (destinationType == FPixmap::PIXEL_30_BGRL)
        throw FExceptionUnknownPixelType("NOT IMPLEMENTED");
    if (destinationType < FPixmap::PIXEL_24_BGR || destinationType > FPixmap::PIXEL_48_BGR)
        throw FExceptionUnknownPixelType("Unknown dest pixel type");
    return ReaderRowConverter(fileType, destinationType);
}

}  // namespace

FJPEGImageReader::FJPEGImageReader(const FString& path) : m_pState(std::make_unique<State>())
{
    State& s = *m_pState;
    s.path = path;
    s.stream.reset(OpenForReading(path));
    if (!s.stream)
        throw FExceptionFileNotFound(CannotOpen(path).GetText());
    s.codec = std::make_unique<FJPEGDecompressor>(s.stream.get());
    jpeg_read_header(s.Info(), TRUE);
    SetScale(0);
}

FJPEGImageReader::~FJPEGImageReader()
{
    State& s = *m_pState;
    try {
        if (s.finished)
            jpeg_finish_decompress(s.Info());
        else
            jpeg_abort_decompress(s.Info());
    } catch (const FException& e) {
        DebugPrintf("JPEGImageReader: %s\n", e.GetMessage());
    }
}

void FJPEGImageReader::SetScale(int32_t n)
{
    jpeg_decompress_struct* info = m_pState->Info();
    info->scale_num = 1;
    info->scale_denom = 1u << (static_cast<uint32_t>(n) & 31);
    jpeg_calc_output_dimensions(info);
}

void FJPEGImageReader::GetDimensions(uint32_t& columns, uint32_t& rows, int32_t& pixelType)
{
    State& s = *m_pState;
    jpeg_decompress_struct* info = s.Info();
    switch (info->out_color_space) {
    case JCS_GRAYSCALE:
        s.pixelType = FPixmap::PIXEL_8_MONO;
        break;
    case JCS_RGB:
        s.pixelType = FPixmap::PIXEL_24_RGB;
        break;
    default:
        throw FExceptionUnknownPixelType("JPEGImageReader: while getting dimensions");
    }
    s.rowBytes = size_t{info->output_width} * static_cast<size_t>(info->output_components);
    columns = info->output_width;
    rows = info->output_height;
    pixelType = s.pixelType;
}

void FJPEGImageReader::ReadImage(FPixmap* pixmap)
{
    State& s = *m_pState;
    uint32_t columns = 0;
    uint32_t rows = 0;
    int32_t fileType = 0;
    GetDimensions(columns, rows, fileType);

    // The pixmap is checked before decoding starts, so a header that claims a
    // huge picture costs nothing unless the caller made room for it.
    const int32_t destinationType = pixmap->GetPixelType();
    const int64_t destinationRowBytes = int64_t{columns} * FPixelTypeBytes(destinationType);
    if (pixmap->m_iColumns < 0 || pixmap->m_iRows < 0 || uint32_t(pixmap->m_iColumns) < columns ||
        uint32_t(pixmap->m_iRows) < rows || int64_t{pixmap->m_iRowBytes} < destinationRowBytes)
        throw FExceptionJPEGPixmapTooSmall();
    const FRowConverter convert = DecodedRowConverter(fileType, destinationType);

    jpeg_decompress_struct* info = s.Info();
    if (CoefficientBufferBytes(info) > kMaxCoefficientBytes)
        throw FExceptionJPEG("JPEGImageReader: the picture is too large to decode");
    if (!jpeg_start_decompress(info))
        throw FExceptionFileNotFound(CannotOpen(s.path).GetText());
    if (convert != nullptr && s.rowBuffer.size() < s.rowBytes)
        s.rowBuffer.resize(s.rowBytes);
    for (uint32_t i = 0; i < rows; ++i) {
        uint8_t* destination = pixmap->GetRow(static_cast<int32_t>(i));
        JSAMPROW row = convert != nullptr ? s.rowBuffer.data() : destination;
        if (jpeg_read_scanlines(info, &row, 1) != 1)
            throw FExceptionFileRead(FNarrowString("JPEGReadScanline failed at row %d", static_cast<int>(i)).GetText());
        if (convert != nullptr)
            convert(static_cast<int32_t>(columns), row, destination);
    }
    s.finished = true;
}

void FJPEGImageReader::GetProperties(FPropTree* tree)
{
    if (tree == nullptr)
        return;
    const jpeg_saved_marker_ptr marker = m_pState->Info()->marker_list;
    if (marker == nullptr || marker->marker != JPEG_APP0 + 1 || marker->data_length < kApp1FirstIfd)
        return;
    const uint8_t* data = marker->data;
    if (std::memcmp(data, "Exif\0\0", 6) != 0 && std::memcmp(data, "Jfif\0\0", 6) != 0)
        return;
    const uint8_t* tiff = data + kApp1TiffHeader;
    const bool bigEndian = tiff[0] == 'M' && tiff[1] == 'M';
    if (!bigEndian && !(tiff[0] == 'I' && tiff[1] == 'I'))
        return;
    FByteReader header(tiff + 2, 6, [](const char*) { throw FExceptionJPEG("EXIF header"); });
    if (header.U16(bigEndian) != 42 || header.U32(bigEndian) != 8)
        return;
    try {
        ParseExif(data, marker->data_length, kApp1FirstIfd, static_cast<int64_t>(kApp1TiffHeader), bigEndian, *tree);
    } catch (const FException& e) {
        DebugPrintf("JPEGImageReader: EXIF import stopped: %s\n", e.GetMessage());
    }
}
