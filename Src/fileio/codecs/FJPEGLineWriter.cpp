#include "fileio/codecs/FJPEGLineWriter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fileio/metadata/Exif.h"
#include "fileio/codecs/FJPEGImageWriter.h"
#include "fileio/codecs/ImageRowConverters.h"
#include "fileio/codecs/JPEGIO.h"
#include "fileio/codecs/UnfinishedFile.h"
#include "foundation/FAssert.h"
#include "foundation/FException.h"
#include "foundation/FHasProperties.h"
#include "foundation/FIFile.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "foundation/FString.h"
#include "foundation/PixelConversion.h"

namespace {

// Index 6 gives 79 and 7 gives 78: index 7 also keeps colour at full
// resolution, which costs more than the one step of quality it gives up.
constexpr int kQualityTable[FJPEGLineWriter::kQualityLevels] = {10, 20, 30, 45, 60, 70, 79, 78, 85, 90, 93, 96, 99};
constexpr int32_t kFullColourFromIndex = 7;

constexpr int32_t kThumbnailQuality = 9;
constexpr size_t kMaxCommentBytes = 65531;  // with its zero byte, one marker holds it
constexpr size_t kIccChunkBytes = 65518;
constexpr char kIccIdentifier[12] = "ICC_PROFILE";

struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
};

}  // namespace

struct FJPEGLineWriter::State {
    // Declared before the codec: the codec writes to the stream until it is destroyed.
    FFilePtr stream;
    FString path;
    std::vector<uint8_t>* memoryOutput = nullptr;
    // The memory destination's buffer, made big enough that the codec never
    // has to replace it (a replaced buffer would leak if encoding failed).
    std::unique_ptr<unsigned char, FreeDeleter> memoryBuffer;
    unsigned char* memoryResult = nullptr;
    unsigned long memorySize = 0;

    int32_t pixelType = 0;
    size_t rowBytes = 0;  // 0 until SetDimensions succeeded
    int32_t columns = 0;
    int32_t rows = 0;
    int32_t quality = 0;
    bool accurate = false;
    int32_t rowsWritten = 0;
    bool exifWritten = false;
    bool finished = false;
    bool broken = false;
    std::vector<uint8_t> thumbnail;
    std::vector<uint8_t> rowBuffer;
    std::unique_ptr<FJPEGCompressor> codec;

    jpeg_compress_struct* Info() { return codec->Get(); }
};

template <class Step>
void FJPEGLineWriter::CodecStep(Step&& step)
{
    if (m_pState->broken)
        throw FExceptionJPEG("JPEGLineWriter: the file could not be written");
    try {
        step();
    } catch (...) {
        m_pState->broken = true;
        throw;
    }
}

FJPEGLineWriter::FJPEGLineWriter(const FString& path, int32_t quality, bool accurate)
    : m_pState(std::make_unique<State>())
{
    State& s = *m_pState;
    s.path = path;
    s.quality = std::clamp(quality, 0, kQualityLevels - 1);
    s.accurate = accurate;
    try {
        s.stream.reset(OpenFileByURL(path, FIFile::OPEN_WRITE));
    } catch (const FException& e) {
        DebugPrintf("JPEGLineWriter: %s (%s)\n", e.GetDescription(), e.GetMessage());
    }
    if (!s.stream)
        throw FExceptionFileOpen(UrlMessageText(path).c_str());
}

FJPEGLineWriter::FJPEGLineWriter(std::vector<uint8_t>& output, int32_t quality, bool accurate)
    : m_pState(std::make_unique<State>())
{
    State& s = *m_pState;
    s.memoryOutput = &output;
    s.quality = std::clamp(quality, 0, kQualityLevels - 1);
    s.accurate = accurate;
}

FJPEGLineWriter::~FJPEGLineWriter()
{
    State& s = *m_pState;
    s.thumbnail.clear();
    s.codec.reset();
    if (s.memoryResult != nullptr && s.memoryResult != s.memoryBuffer.get())
        std::free(s.memoryResult);
    if (s.stream) {
        DebugPrintf("~FJPEGLineWriter: closing file.\n");
        s.stream.reset();
        if (!s.finished) {
            DebugPrintf("JPEGLineWriter: removing the unfinished file '%s'\n", UrlMessageText(s.path).c_str());
            RemoveUnfinishedFile(s.path);
        }
    }
}

void FJPEGLineWriter::SetDimensions(int32_t columns, int32_t rows, int32_t pixelType)
{
    State& s = *m_pState;
    int components = 0;
    J_COLOR_SPACE colorSpace = JCS_UNKNOWN;
    switch (pixelType) {
    case FPixmap::PIXEL_8_MONO:
        components = 1;
        colorSpace = JCS_GRAYSCALE;
        break;
    case FPixmap::PIXEL_24_RGB:
        components = 3;
        colorSpace = JCS_RGB;
        break;
    default:
        throw FExceptionUnknownPixelType("JPEGLineWriter: while setting dimensions");
    }
    if (s.codec)
        throw FExceptionJPEGOutOfOrderOperation("JPEGLineWriter::SetDimensions()");

    CodecStep([&] {
        s.codec = std::make_unique<FJPEGCompressor>(s.stream.get());
        jpeg_compress_struct* info = s.Info();
        if (s.memoryOutput != nullptr) {
            // Room for the worst case of an image this size, markers included.
            const size_t worstCase =
                (size_t(std::max(columns, 0)) + 16) * (size_t(std::max(rows, 0)) + 16) * 6 + 200000;
            s.memoryBuffer.reset(static_cast<unsigned char*>(std::malloc(worstCase)));
            if (!s.memoryBuffer)
                throw FExceptionJPEG("JPEGLineWriter: out of memory");
            s.memoryResult = s.memoryBuffer.get();
            s.memorySize = worstCase;
            info->dest = nullptr;  // the stream destination is not used
            jpeg_mem_dest(info, &s.memoryResult, &s.memorySize);
        }
        info->image_width = static_cast<JDIMENSION>(std::max(columns, 0));
        info->image_height = static_cast<JDIMENSION>(std::max(rows, 0));
        info->input_components = components;
        info->in_color_space = colorSpace;
        jpeg_set_defaults(info);
        info->dct_method = s.accurate ? JDCT_ISLOW : JDCT_IFAST;
        if (s.quality >= kFullColourFromIndex) {
            info->comp_info[0].h_samp_factor = 1;
            info->comp_info[0].v_samp_factor = 1;
        }
        jpeg_set_quality(info, kQualityTable[s.quality], TRUE);
        jpeg_start_compress(info, TRUE);
    });
    s.rowBytes = size_t(columns) * size_t(components);
    s.columns = columns;
    s.rows = rows;
    s.pixelType = pixelType;
}

void FJPEGLineWriter::RequireBeforeRows(const char* uninitialized, const char* outOfOrder) const
{
    if (m_pState->rowBytes == 0)
        throw FExceptionJPEGWriteUninitialized(uninitialized);
    if (m_pState->rowsWritten > 0)
        throw FExceptionJPEGOutOfOrderOperation(outOfOrder);
}

void FJPEGLineWriter::WriteTags(const FHasProperties& properties)
{
    RequireBeforeRows("JPEGLineWriter::WriteTags()", "Tags must be written before the first WriteLine()");
    if (!properties.HasProperty("Description"))
        return;
    const char* text = properties.GetProperty("Description", "");
    const size_t length = std::strlen(text);
    if (length <= kMaxCommentBytes)
        CodecStep([&] {
            jpeg_write_marker(m_pState->Info(), JPEG_COM, reinterpret_cast<const JOCTET*>(text),
                              static_cast<unsigned>(length + 1));
        });
}

void FJPEGLineWriter::WriteTags(const FPropTree& properties)
{
    RequireBeforeRows("JPEGLineWriter::WriteTags()", "Tags must be written before the first WriteLine()");
    WriteExif(properties);
}

void FJPEGLineWriter::WriteExif(const FPropTree& properties)
{
    RequireBeforeRows("JPEGLineWriter::WriteTags()", "Tags must be written before the first WriteLine()");
    State& s = *m_pState;
    const std::vector<uint8_t> block = BuildExifApp1Block(properties, s.columns, s.rows, s.thumbnail, s.accurate);
    CodecStep([&] { jpeg_write_marker(s.Info(), JPEG_APP0 + 1, block.data(), static_cast<unsigned>(block.size())); });
    s.exifWritten = true;
}

void FJPEGLineWriter::WriteThumbnail(const FPixmap* thumbnail)
{
    State& s = *m_pState;
    if (s.exifWritten)
        throw FExceptionJPEGOutOfOrderOperation("Thumbnails must be written before properties!");
    if (thumbnail == nullptr)
        throw FExceptionUnknownPixelType();
    if (thumbnail->m_iColumns > kMaxThumbnailSize || thumbnail->m_iRows > kMaxThumbnailSize)
        throw FExceptionJPEG(
            FNarrowString("Thumbnails can't be larger than %dx%d.", kMaxThumbnailSize, kMaxThumbnailSize).GetText());
    s.thumbnail.clear();
    std::vector<uint8_t> bytes;
    {
        FJPEGImageWriter writer(bytes, kThumbnailQuality, false);
        writer.WriteImage(thumbnail, FHasProperties());
    }
    s.thumbnail = std::move(bytes);
}

void FJPEGLineWriter::WriteProfile(uint32_t size, const uint8_t* profile)
{
    RequireBeforeRows("JPEGLineWriter::WriteProfile()", "ICC Profiles must be written before the first WriteLine()");
    if (size == 0 || profile == nullptr)
        return;
    const size_t chunks = (size_t{size} + kIccChunkBytes - 1) / kIccChunkBytes;
    std::vector<JOCTET> marker;
    for (size_t k = 1; k <= chunks; ++k) {
        const size_t first = (k - 1) * kIccChunkBytes;
        const size_t count = std::min(kIccChunkBytes, size_t{size} - first);
        marker.assign(kIccIdentifier, kIccIdentifier + sizeof kIccIdentifier);
        marker.push_back(static_cast<JOCTET>(k & 0xFF));
        marker.push_back(static_cast<JOCTET>(chunks & 0xFF));
        marker.insert(marker.end(), profile + first, profile + first + count);
        CodecStep([&] {
            jpeg_write_marker(m_pState->Info(), JPEG_APP0 + 2, marker.data(), static_cast<unsigned>(marker.size()));
        });
    }
}

void FJPEGLineWriter::WriteLine(const void* row, int32_t pixelType)
{
    State& s = *m_pState;
    if (s.rowBytes == 0)
        throw FExceptionJPEGWriteUninitialized("JPEGLineWriter::WriteLine()");
    if (s.rowsWritten >= s.rows)
        throw FExceptionJPEG("More scan lines written than rows specified.");

    const JOCTET* scanline = static_cast<const JOCTET*>(row);
    if (pixelType != s.pixelType) {
        FRowConverter convert = nullptr;
        if (s.pixelType == FPixmap::PIXEL_8_MONO)
            throw FExceptionUnknownPixelType("JPEGLineWriter: Unknown source pixel type");
        switch (pixelType) {
        case FPixmap::PIXEL_24_BGR:
            convert = ConvertRow24BGRTo24RGB;
            break;
        case FPixmap::PIXEL_32_ARGB:
            convert = ConvertRow32ARGBTo24RGB;
            break;
        case FPixmap::PIXEL_32_ABGR:
            convert = ConvertRow32ABGRTo24RGB;
            break;
        case FPixmap::PIXEL_32_BGRA:
            convert = ConvertRow32BGRATo24RGB;
            break;
        case FPixmap::PIXEL_32_RGBA:
            convert = ConvertRow32RGBATo24RGB;
            break;
        case FPixmap::PIXEL_30_RGBL:
        case FPixmap::PIXEL_30_BGRL:
        case FPixmap::PIXEL_30_RGB:
        case FPixmap::PIXEL_48_RGB:
        case FPixmap::PIXEL_48S_RGB:
        case FPixmap::PIXEL_48_BGR:
            throw FExceptionBitDepthMismatch();
        default:
            throw FExceptionUnknownPixelType("JPEGLineWriter: Unknown dest pixel type");
        }
        if (s.rowBuffer.size() < s.rowBytes)
            s.rowBuffer.resize(s.rowBytes);
        convert(s.columns, row, s.rowBuffer.data());
        scanline = s.rowBuffer.data();
    }
    CodecStep([&] {
        ++s.rowsWritten;
        JSAMPROW rows[1] = {const_cast<JSAMPROW>(scanline)};
        jpeg_write_scanlines(s.Info(), rows, 1);
        if (s.rowsWritten == s.rows)
            Finish();
    });
}

// Done as soon as the last row is in, so that a failure to store the file's
// end reaches the caller as an exception instead of going unnoticed in the
// destructor.
void FJPEGLineWriter::Finish()
{
    State& s = *m_pState;
    jpeg_finish_compress(s.Info());
    if (s.memoryOutput != nullptr)
        s.memoryOutput->insert(s.memoryOutput->end(), s.memoryResult, s.memoryResult + s.memorySize);
    s.finished = true;
}
