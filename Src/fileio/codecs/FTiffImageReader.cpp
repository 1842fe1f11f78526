#include "fileio/codecs/FTiffImageReader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "fileio/metadata/Exif.h"
#include "fileio/codecs/ImageRowConverters.h"
#include "fileio/codecs/TiffIO.h"
#include "fileio/codecs/UnfinishedFile.h"
#include "foundation/FAssert.h"
#include "foundation/FException.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "foundation/FString.h"
#include "foundation/FValueTypes.h"

struct FTiffImageReader::State {
    TIFF* tiff = nullptr;
    FString path;
    int64_t scanlineSize = 0;
    uint16_t bitsPerSample = 0;
    uint16_t samplesPerPixel = 0;
    uint16_t extraSamples = 0;
    uint16_t compression = 0;
    uint16_t photometric = 0;
    bool hasPhotometric = false;
    uint16_t planarConfig = 0;
    uint32_t columns = 0;
    uint32_t rows = 0;
    uint32_t factor = 1;
    uint32_t outColumns = 0;
    uint32_t outRows = 0;
    int32_t fileType = 0;
    // The extra sample of an RGB-plus-one file is alpha, not colour.
    bool extraIsAlpha = false;
    uint32_t rowsPerStrip = 0;
    // The row the library decodes next without restarting its strip.
    uint32_t nextRow = 0;
    std::vector<uint8_t> rowBuffer;

    // Bytes of one pixel as the file stores it, and as its pixel type holds it.
    size_t FileStride() const { return size_t{samplesPerPixel} * (bitsPerSample / 8u); }
    size_t TypeBytes() const { return static_cast<size_t>(FPixelTypeBytes(fileType)); }
};

namespace {

// The pixel type a file's layout reads as; 0 when it has none. A type needs
// at least the samples it holds; a file with more samples per pixel (an RGB
// file with a fourth sample that no ExtraSamples tag declares) is read through
// its own stride and the surplus samples are dropped.
int32_t FileTypeOf(bool hasPhotometric, uint16_t photometric, uint16_t bitsPerSample, uint16_t samplesPerPixel,
                   uint16_t extraSamples)
{
    if (!hasPhotometric)
        return 0;
    if (photometric == PHOTOMETRIC_MINISBLACK && samplesPerPixel == 1 && extraSamples == 0) {
        if (bitsPerSample == 8)
            return FPixmap::PIXEL_8_MONO;
        if (bitsPerSample == 16)
            return FPixmap::PIXEL_16_MONO;
        return 0;
    }
    if (photometric == PHOTOMETRIC_RGB && samplesPerPixel > 2) {
        if (bitsPerSample == 8 && extraSamples == 0)
            return FPixmap::PIXEL_24_RGB;
        if (bitsPerSample == 8 && extraSamples == 1 && samplesPerPixel >= 4)
            return FPixmap::PIXEL_30_RGBL;
        if (bitsPerSample == 16 && extraSamples == 0)
            return FPixmap::PIXEL_48_RGB;
    }
    return 0;
}

uint16_t U16Field(TIFF* tiff, uint32_t tag)
{
    uint16_t value = 0;
    TIFFGetFieldDefaulted(tiff, tag, &value);
    return value;
}

// Output pixel j becomes the truncated mean of file pixels j*f to j*f + f - 1.
template <class Sample, int Channels>
void ReduceSamples(uint8_t* row, uint32_t outColumns, uint32_t factor)
{
    for (uint32_t j = 0; j < outColumns; ++j) {
        uint64_t sums[Channels] = {};
        for (uint32_t k = 0; k < factor; ++k) {
            const uint8_t* pixel = row + (size_t{j} * factor + k) * sizeof(Sample) * Channels;
            for (int c = 0; c < Channels; ++c) {
                Sample sample;
                std::memcpy(&sample, pixel + c * sizeof(Sample), sizeof sample);
                sums[c] += sample;
            }
        }
        uint8_t* out = row + size_t{j} * sizeof(Sample) * Channels;
        for (int c = 0; c < Channels; ++c) {
            const Sample mean = static_cast<Sample>(sums[c] / factor);
            std::memcpy(out + c * sizeof(Sample), &mean, sizeof mean);
        }
    }
}

void Reduce30RGBL(uint8_t* row, uint32_t outColumns, uint32_t factor)
{
    for (uint32_t j = 0; j < outColumns; ++j) {
        int64_t sums[3] = {};
        for (uint32_t k = 0; k < factor; ++k) {
            FPixelClass30RGBL pixel;
            std::memcpy(&pixel, row + (size_t{j} * factor + k) * 4, 4);
            const FIntTriple rgb = pixel;
            sums[0] += rgb.r;
            sums[1] += rgb.g;
            sums[2] += rgb.b;
        }
        FPixelClass30RGBL mean;
        mean = FIntTriple(static_cast<int>(sums[0] / factor), static_cast<int>(sums[1] / factor),
                          static_cast<int>(sums[2] / factor));
        std::memcpy(row + size_t{j} * 4, &mean, 4);
    }
}

void ReduceRow(int32_t fileType, uint8_t* row, uint32_t outColumns, uint32_t factor)
{
    switch (fileType) {
    case FPixmap::PIXEL_16_MONO:
        ReduceSamples<uint16_t, 1>(row, outColumns, factor);
        break;
    case FPixmap::PIXEL_24_RGB:
        ReduceSamples<uint8_t, 3>(row, outColumns, factor);
        break;
    case FPixmap::PIXEL_48_RGB:
        ReduceSamples<uint16_t, 3>(row, outColumns, factor);
        break;
    case FPixmap::PIXEL_30_RGBL:
        Reduce30RGBL(row, outColumns, factor);
        break;
    default:
        throw FExceptionUnknownPixelType("TiffReader:Scaling: Unknown source pixel type");
    }
}

// Keeps the first `keep` bytes of every `stride` bytes, packed from the start.
void DropSurplusSamples(uint8_t* row, uint32_t columns, size_t stride, size_t keep)
{
    for (size_t j = 0; j < columns; ++j)
        std::memmove(row + j * keep, row + j * stride, keep);
}

// A 30RGBL word keeps the low colour bits in its fourth byte, where an RGBA
// file has its alpha: cleared, the word holds the colour alone, as a 24-bit
// pixel widened to 30RGBL does.
void ClearAlpha(uint8_t* row, uint32_t columns)
{
    for (size_t j = 0; j < columns; ++j)
        row[4 * j + 3] = 0;
}

[[noreturn]] void ThrowRowReadFailed(uint32_t fileRow)
{
    throw FExceptionTIFF(FNarrowString("TIFFReadScanline failed at row %d", fileRow).GetText());
}

FString WideText(const char* text)
{
    std::unique_ptr<char16_t[]> wide = AnsiToWide(text);
    return wide ? FString(wide.get()) : FString(text);
}

}  // namespace

FTiffImageReader::FTiffImageReader(const FString& path) : m_pState(std::make_unique<State>())
{
    State& s = *m_pState;
    s.path = path;
    s.tiff = TiffOpenFile(path, "r");
    if (s.tiff == nullptr)
        throw FExceptionFileNotFound(
            FNarrowString("TiffImageReader: Cannot open file '%s'", UrlMessageText(path).c_str()).GetText());
    TIFFGetFieldDefaulted(s.tiff, TIFFTAG_IMAGELENGTH, &s.rows);
    TIFFGetFieldDefaulted(s.tiff, TIFFTAG_IMAGEWIDTH, &s.columns);
    s.bitsPerSample = U16Field(s.tiff, TIFFTAG_BITSPERSAMPLE);
    s.samplesPerPixel = U16Field(s.tiff, TIFFTAG_SAMPLESPERPIXEL);
    uint16_t extraCount = 0;
    uint16_t* extraValues = nullptr;
    if (TIFFGetField(s.tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraValues)) {
        s.extraSamples = extraCount;
        s.extraIsAlpha = extraCount == 1 && extraValues != nullptr &&
                         (extraValues[0] == EXTRASAMPLE_ASSOCALPHA || extraValues[0] == EXTRASAMPLE_UNASSALPHA);
    }
    TIFFGetFieldDefaulted(s.tiff, TIFFTAG_ROWSPERSTRIP, &s.rowsPerStrip);
    s.rowsPerStrip = std::clamp<uint32_t>(s.rowsPerStrip, 1, std::max<uint32_t>(s.rows, 1));
    s.compression = U16Field(s.tiff, TIFFTAG_COMPRESSION);
    s.hasPhotometric = TIFFGetField(s.tiff, TIFFTAG_PHOTOMETRIC, &s.photometric) != 0;
    s.planarConfig = U16Field(s.tiff, TIFFTAG_PLANARCONFIG);
    s.scanlineSize = static_cast<int64_t>(TIFFScanlineSize64(s.tiff));
    s.fileType = FileTypeOf(s.hasPhotometric, s.photometric, s.bitsPerSample, s.samplesPerPixel, s.extraSamples);
    SetScale(0);
}

FTiffImageReader::~FTiffImageReader() { TiffCloseFile(m_pState->tiff); }

void FTiffImageReader::SetScale(int32_t n)
{
    State& s = *m_pState;
    s.factor = uint32_t{1} << (static_cast<uint32_t>(n) & 31);
    s.outColumns = s.columns / s.factor;
    s.outRows = s.rows / s.factor;
}

void FTiffImageReader::GetDimensions(uint32_t& columns, uint32_t& rows, int32_t& pixelType)
{
    columns = m_pState->outColumns;
    rows = m_pState->outRows;
    pixelType = m_pState->fileType;
}

void FTiffImageReader::ReadImage(FPixmap* pixmap)
{
    State& s = *m_pState;
    const int32_t destinationType = pixmap->GetPixelType();
    const int64_t destinationRowBytes = int64_t{s.outColumns} * FPixelTypeBytes(destinationType);
    if (pixmap->m_iColumns < 0 || pixmap->m_iRows < 0 || uint32_t(pixmap->m_iColumns) < s.outColumns ||
        uint32_t(pixmap->m_iRows) < s.outRows || int64_t{pixmap->m_iRowBytes} < destinationRowBytes)
        throw FExceptionPixmapTooSmall();
    for (uint32_t i = 0; i < s.outRows; ++i)
        ReadRow(i, pixmap->GetRow(static_cast<int32_t>(i)), destinationType);
}

void FTiffImageReader::ReadRow(uint32_t outputRow, uint8_t* destination, int32_t destinationType)
{
    State& s = *m_pState;
    if (s.planarConfig != PLANARCONFIG_CONTIG)
        throw FExceptionUnknownPixelType("Tiff planar config is not contiguous");
    const uint32_t fileRow = outputRow * s.factor;
    const size_t typeBytes = s.TypeBytes();
    const bool sameLayout = s.fileType != 0 && s.FileStride() == typeBytes &&
                            s.scanlineSize == static_cast<int64_t>(size_t{s.columns} * typeBytes);

    if (destinationType == s.fileType && s.factor == 1 && sameLayout) {
        ReadFileRow(fileRow, destination);
        if (s.extraIsAlpha)
            ClearAlpha(destination, s.columns);
        return;
    }

    // Everything else goes through the row buffer; fail before reading what
    // cannot be delivered.
    FRowConverter convert = nullptr;
    if (s.factor > 1 && s.fileType != FPixmap::PIXEL_16_MONO && s.fileType != FPixmap::PIXEL_24_RGB &&
        s.fileType != FPixmap::PIXEL_30_RGBL && s.fileType != FPixmap::PIXEL_48_RGB)
        throw FExceptionUnknownPixelType("TiffReader:Scaling: Unknown source pixel type");
    if (destinationType != s.fileType || s.factor > 1) {
        convert = ReaderRowConverter(s.fileType, destinationType);
        if (convert == nullptr)
            throw FExceptionUnknownPixelType("TiffReader: Unknown destination pixel type");
    }
    if (s.scanlineSize <= 0)
        ThrowRowReadFailed(fileRow);
    if (s.rowBuffer.empty()) {
        try {
            const size_t needed = size_t{s.columns} * s.FileStride();
            s.rowBuffer.resize(std::max(static_cast<size_t>(s.scanlineSize), needed));
        } catch (const std::bad_alloc&) {
            ThrowRowReadFailed(fileRow);
        }
    }
    uint8_t* row = s.rowBuffer.data();
    ReadFileRow(fileRow, row);
    if (s.FileStride() != typeBytes)
        DropSurplusSamples(row, s.columns, s.FileStride(), typeBytes);
    if (s.extraIsAlpha)
        ClearAlpha(row, s.columns);
    if (s.factor > 1)
        ReduceRow(s.fileType, row, s.outColumns, s.factor);
    if (convert != nullptr)
        convert(static_cast<int32_t>(s.outColumns), row, destination);
    else
        std::memcpy(destination, row, size_t{s.outColumns} * typeBytes);
}

// Compressed strips decode only from their start onwards, so a row the
// library cannot reach by seeking is reached by decoding the rows before it
// into the same buffer: from the strip's start, or from the last row read
// when that lies in the same strip. Uncompressed strips seek directly, which
// keeps a reduced read of them cheap.
void FTiffImageReader::ReadFileRow(uint32_t fileRow, uint8_t* buffer)
{
    State& s = *m_pState;
    if (s.compression != COMPRESSION_NONE) {
        const uint32_t stripStart = fileRow - fileRow % s.rowsPerStrip;
        const uint32_t from = s.nextRow > stripStart && s.nextRow <= fileRow ? s.nextRow : stripStart;
        for (uint32_t row = from; row < fileRow; ++row)
            if (TIFFReadScanline(s.tiff, buffer, row, 0) != 1)
                ThrowRowReadFailed(row);
    }
    if (TIFFReadScanline(s.tiff, buffer, fileRow, 0) != 1)
        ThrowRowReadFailed(fileRow);
    s.nextRow = fileRow + 1;
}

void FTiffImageReader::GetProperties(FPropTree* tree)
{
    if (tree == nullptr)
        return;
    TIFF* tiff = m_pState->tiff;
    try {
        uint64_t offset = 0;
        std::vector<uint8_t> block;
        if (TiffReadExifBlock(tiff, offset, block) && !block.empty())
            ParseExif(block.data(), block.size(), 0, -static_cast<int64_t>(offset), TIFFIsBigEndian(tiff) != 0,
                      *tree);
    } catch (...) {
        DebugPrintf("TiffImageReader: the EXIF block could not be read\n");
    }
    try {
        tree->AddPair("ROWS", FNarrowString("%d", static_cast<int>(m_pState->rows)).GetText());
        tree->AddPair("COLS", FNarrowString("%d", static_cast<int>(m_pState->columns)).GetText());
        static const struct {
            uint32_t tag;
            const char* key;
        } kTexts[] = {{TIFFTAG_MAKE, "CAMMANUF"}, {TIFFTAG_MODEL, "CAMMODEL"}, {TIFFTAG_SOFTWARE, "rpSoftware"}};
        for (const auto& entry : kTexts) {
            const char* text = nullptr;
            if (TIFFGetField(tiff, entry.tag, &text) && text != nullptr)
                tree->AddPair(FString(entry.key), WideText(text));
        }
        const char* dateTime = nullptr;
        if (TIFFGetField(tiff, TIFFTAG_DATETIME, &dateTime) && dateTime != nullptr) {
            const uint32_t seconds = ExifTextToSeconds(dateTime);
            if (seconds != 0)
                tree->SetInt(FString("EXIF_DATETIME"), static_cast<int>(seconds));
        }
    } catch (...) {
        DebugPrintf("TiffImageReader: the file's tags could not be read\n");
    }
}
