#include "fileio/codecs/FTiffLineWriter.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fileio/metadata/Exif.h"
#include "fileio/metadata/FPardexTag.h"
#include "fileio/codecs/ImageRowConverters.h"
#include "fileio/codecs/TiffIO.h"
#include "fileio/codecs/UnfinishedFile.h"
#include "foundation/FAssert.h"
#include "foundation/FByteWriter.h"
#include "foundation/FException.h"
#include "foundation/FHasProperties.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "foundation/FString.h"
#include "foundation/FValueTypes.h"

struct FTiffLineWriter::State {
    TIFF* tiff = nullptr;
    std::vector<uint8_t> rowBuffer;
    FString path;
    int32_t rowBytes = 0;  // 0 until SetDimensions
    int32_t columns = 0;
    int32_t rows = 0;
    int32_t nextRow = 0;
    int32_t fileType = 0;
    bool failed = false;
};

namespace {

// The Photoshop image-resource block around a thumbnail's pixels.
constexpr size_t kThumbnailBlockHeader = 40;
constexpr size_t kMaxThumbnailBlock = 65535;
// The EXIF block's buffer: the TIFF reader takes at most this many bytes of it.
constexpr size_t kExifBufferBytes = 65535;
// Joins the texts of the properties that have no item of their own.
constexpr char kExtraSeparator = static_cast<char>(0x8B);
constexpr size_t kDateTimeChars = 19;
// The TIFF library would otherwise buffer a whole strip, which without a
// RowsPerStrip tag is the whole image; a bounded buffer writes the same strip
// in pieces as the rows arrive.
constexpr int64_t kRawBufferBytes = 1 << 20;

std::string Utf8(const FString& text)
{
    std::unique_ptr<char[]> narrow = WideToAnsi(text.GetText());
    return narrow ? std::string(narrow.get()) : std::string(text.GetAscii());
}

std::string TreeText(const FPropTree& tree, const char* key, const char* defaultText)
{
    const FString* value = tree.GetValue(FString(key), nullptr);
    return value != nullptr ? Utf8(*value) : std::string(defaultText);
}

void Require(bool ok, const char* failure)
{
    if (!ok)
        throw FExceptionFileWrite(failure);
}

// Blocks are sized before they are written: a write outside one is a fault of this code.
[[noreturn]] void ThrowWriteOutside(const char* what)
{
    throw FExceptionTIFF((std::string("TiffLineWriter: ") + what).c_str());
}

// A text right-aligned in the 19 characters of a TIFF date; longer texts are cut.
std::string DateTimeField(const std::string& text)
{
    if (text.size() >= kDateTimeChars)
        return text.substr(0, kDateTimeChars);
    return std::string(kDateTimeChars - text.size(), ' ') + text;
}

// Texts of properties without an item of their own, in order, and the two
// items that carry them.
class ExtraTexts {
public:
    void Add(const std::string& key, const std::string& value)
    {
        m_Texts.push_back(key);
        m_Texts.push_back(value);
    }

    void Store(FPardexTag& payload) const
    {
        if (m_Texts.empty())
            return;
        if (!payload.SetInt(PardexKey("exsu"), static_cast<int32_t>(m_Texts.size())))
            return;
        std::string joined;
        for (size_t i = 0; i < m_Texts.size(); ++i) {
            if (i > 0)
                joined += kExtraSeparator;
            joined += m_Texts[i];
        }
        payload.SetString(PardexKey("exst"), joined.c_str());
    }

private:
    std::vector<std::string> m_Texts;
};

void WritePayload(TIFF* tiff, FPardexTag& payload)
{
    std::vector<uint8_t> bytes;
    uint32_t length = 0;
    bool ok = payload.GetBuffer(bytes, length, true);
    if (ok) {
        std::vector<uint32_t> words(length / 4);
        std::memcpy(words.data(), bytes.data(), words.size() * 4);
        ok = TIFFSetField(tiff, TIFFTAG_PARDEX, static_cast<uint32_t>(words.size()), words.data()) != 0;
    }
    Require(ok, "FTiffLineWriter: while writing Pardex tag.");
}

// How the property-list form writes a key.
enum class ListKind { XResolution, YResolution, Unit, Text, DateTime, ItemText, ItemDouble, ItemInt };

struct ListKey {
    const char* key;
    ListKind kind;
    uint32_t target;  // TIFF tag, or payload key
    const char* failure;
};

const ListKey kListKeys[] = {
    {"XResolution", ListKind::XResolution, TIFFTAG_XRESOLUTION, "FTiffLineWriter: while writing XResolution tag."},
    {"YResolution", ListKind::YResolution, TIFFTAG_YRESOLUTION, "FTiffLineWriter: while writing YResolution tag."},
    {"ResolutionUnits", ListKind::Unit, TIFFTAG_RESOLUTIONUNIT, "FTiffLineWriter: while writing ResolutionUnits tag."},
    {"DocumentName", ListKind::Text, TIFFTAG_DOCUMENTNAME, "FTiffLineWriter: while writing DocumentName tag."},
    {"Description", ListKind::Text, TIFFTAG_IMAGEDESCRIPTION, "FTiffLineWriter: while writing Description tag."},
    {"CameraMake", ListKind::Text, TIFFTAG_MAKE, "FTiffLineWriter: while writing CameraMake tag."},
    {"CameraModel", ListKind::Text, TIFFTAG_MODEL, "FTiffLineWriter: while writing CameraModel tag."},
    {"CameraSoftware", ListKind::Text, TIFFTAG_SOFTWARE, "FTiffLineWriter: while writing CameraSoftware tag."},
    {"Photographer", ListKind::Text, TIFFTAG_ARTIST, "FTiffLineWriter: while writing Photographer tag."},
    {"DateTime", ListKind::DateTime, TIFFTAG_DATETIME, "FTiffLineWriter: while writing DateTime tag."},
    {"Lens", ListKind::ItemText, PardexKey("lens"), nullptr},
    {"FocalLength", ListKind::ItemDouble, PardexKey("focl"), nullptr},
    {"ApertureString", ListKind::ItemText, PardexKey("sfsp"), nullptr},
    {"Exposure", ListKind::ItemInt, PardexKey("issd"), nullptr},
    {"ShutterString", ListKind::ItemText, PardexKey("sssd"), nullptr},
    {"DarkShortFilename", ListKind::ItemText, PardexKey("drks"), nullptr},
    {"DarkLongFilename", ListKind::ItemText, PardexKey("drkl"), nullptr},
    {"CamFilename", ListKind::ItemText, PardexKey("camf"), nullptr},
    {"ImageNumber", ListKind::ItemInt, PardexKey("imgn"), nullptr},
    {"CameraSerialNumber", ListKind::ItemText, PardexKey("came"), nullptr},
    {"ExposureCompensation", ListKind::ItemDouble, PardexKey("excp"), nullptr},
    {"Blackness", ListKind::ItemDouble, PardexKey("blkn"), nullptr},
    {"Contrast", ListKind::ItemDouble, PardexKey("cont"), nullptr},
    {"Highlight", ListKind::ItemDouble, PardexKey("hilt"), nullptr},
    {"ColorAdjustRed", ListKind::ItemDouble, PardexKey("cadr"), nullptr},
    {"ColorAdjustGreen", ListKind::ItemDouble, PardexKey("cadg"), nullptr},
    {"ColorAdjustBlue", ListKind::ItemDouble, PardexKey("cadb"), nullptr},
    {"NeutralRed", ListKind::ItemDouble, PardexKey("nred"), nullptr},
    {"NeutralGreen", ListKind::ItemDouble, PardexKey("ngrn"), nullptr},
    {"NeutralBlue", ListKind::ItemDouble, PardexKey("nblu"), nullptr},
    {"NeutralDate", ListKind::ItemText, PardexKey("ndat"), nullptr},
    {"NeutralFilename", ListKind::ItemText, PardexKey("nfnm"), nullptr},
    {"NeutralPointX", ListKind::ItemInt, PardexKey("nptx"), nullptr},
    {"NeutralPointY", ListKind::ItemInt, PardexKey("npty"), nullptr},
    {"ColorSpaceIndex", ListKind::ItemInt, PardexKey("clsp"), nullptr},
};

void WriteListKey(TIFF* tiff, FPardexTag& payload, const ListKey& entry, const char* value)
{
    switch (entry.kind) {
    case ListKind::XResolution:
    case ListKind::YResolution:
        Require(TIFFSetField(tiff, entry.target, static_cast<double>(static_cast<float>(StringToDouble(value)))) != 0,
                entry.failure);
        break;
    case ListKind::Unit:
        Require(TIFFSetField(tiff, entry.target, static_cast<int>(StringToDouble(value))) != 0, entry.failure);
        break;
    case ListKind::Text:
        Require(TIFFSetField(tiff, entry.target, value) != 0, entry.failure);
        break;
    case ListKind::DateTime:
        Require(TIFFSetField(tiff, entry.target, DateTimeField(value).c_str()) != 0, entry.failure);
        break;
    case ListKind::ItemText:
        payload.SetString(entry.target, value);
        break;
    case ListKind::ItemDouble:
        payload.SetDouble(entry.target, StringToDouble(value));
        break;
    case ListKind::ItemInt:
        payload.SetInt(entry.target, TruncateToInt(StringToDouble(value)));
        break;
    }
}

// The row converter for a file type and a source type; throws for pairs the
// writer refuses.
FRowConverter WriterRowConverter(int32_t fileType, int32_t sourceType)
{
    switch (fileType) {
    case FPixmap::PIXEL_16_MONO:
        switch (sourceType) {
        case FPixmap::PIXEL_8_MONO:
            return ConvertRow8MonoTo16Mono;
        case FPixmap::PIXEL_12_MONO:
            return ConvertRow12MonoTo16Mono;
        case FPixmap::PIXEL_16S_MONO:
            return ConvertRow16MonoTo16Mono;
        case FPixmap::PIXEL_32_MONO:
            return ConvertRow32MonoTo16Mono;
        default:
            break;
        }
        break;
    case FPixmap::PIXEL_24_RGB:
    case FPixmap::PIXEL_30_RGBL:
    case FPixmap::PIXEL_48_RGB:
        if (FRowConverter converter = ColorRowConverter(sourceType, fileType))
            return converter;
        break;
    default:
        throw FExceptionUnknownPixelType("TiffLineWriter: Unknown source pixel type");
    }
    throw FExceptionUnknownPixelType("TiffLineWriter: Cannot convert source to dest pixel type.");
}

}  // namespace

FTiffLineWriter::FTiffLineWriter(const FString& path, bool append) : m_pState(std::make_unique<State>())
{
    m_pState->path = path;
    m_pState->tiff = TiffOpenFile(path, append ? "wa" : "w");
    if (m_pState->tiff == nullptr)
        throw FExceptionFileOpen(UrlMessageText(path).c_str());
}

FTiffLineWriter::~FTiffLineWriter()
{
    State& s = *m_pState;
    const bool complete = s.rowBytes != 0 && s.nextRow == s.rows && !s.failed;
    const bool closed = TiffCloseFile(s.tiff);
    if (!closed || !complete) {
        DebugPrintf("TiffLineWriter: removing the unfinished file '%s'\n", UrlMessageText(s.path).c_str());
        RemoveUnfinishedFile(s.path);
    }
}

void FTiffLineWriter::SetDimensions(int32_t columns, int32_t rows, int32_t pixelType)
{
    uint16_t photometric = PHOTOMETRIC_RGB;
    uint16_t bitsPerSample = 8;
    uint16_t samplesPerPixel = 3;
    switch (pixelType) {
    case FPixmap::PIXEL_8_MONO:
        photometric = PHOTOMETRIC_MINISBLACK;
        samplesPerPixel = 1;
        break;
    case FPixmap::PIXEL_16_MONO:
        photometric = PHOTOMETRIC_MINISBLACK;
        bitsPerSample = 16;
        samplesPerPixel = 1;
        break;
    case FPixmap::PIXEL_24_RGB:
        break;
    case FPixmap::PIXEL_30_RGBL:
        samplesPerPixel = 4;
        break;
    case FPixmap::PIXEL_48_RGB:
        bitsPerSample = 16;
        break;
    default:
        throw FExceptionUnknownPixelType("TiffLineWriter: while setting dimensions");
    }
    const int64_t rowBytes = int64_t{columns} * FPixelTypeBytes(pixelType);
    if (rows <= 0)
        throw FExceptionFileWrite("TiffLineWriter: while writing TIFFTAG_IMAGELENGTH");
    if (columns <= 0 || rowBytes > INT32_MAX)
        throw FExceptionFileWrite("TiffLineWriter: while writing TIFFTAG_IMAGEWIDTH");

    // The state takes the new layout only once the library accepted it, so
    // that rows are never converted for a layout the file does not have.
    State& s = *m_pState;
    TIFF* tiff = s.tiff;
    Require(TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(rows)) != 0,
            "TiffLineWriter: while writing TIFFTAG_IMAGELENGTH");
    Require(TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(columns)) != 0,
            "TiffLineWriter: while writing TIFFTAG_IMAGEWIDTH");
    Require(TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bitsPerSample) != 0,
            "TiffLineWriter: while writing TIFFTAG_BITSPERSAMPLE");
    Require(TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samplesPerPixel) != 0,
            "TiffLineWriter: while writing TIFFTAG_SAMPLESPERPIXEL");
    if (pixelType == FPixmap::PIXEL_30_RGBL) {
        const uint16_t extra[1] = {EXTRASAMPLE_UNSPECIFIED};
        Require(TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, uint16_t{1}, extra) != 0,
                "TiffLineWriter: while writing TIFFTAG_EXTRASAMPLES");
    }
    Require(TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric) != 0,
            "TiffLineWriter: while writing TIFFTAG_PHOTOMETRIC");
    Require(TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE) != 0,
            "TiffLineWriter: while writing TIFFTAG_COMPRESSION");
    Require(TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) != 0,
            "TiffLineWriter: while writing TIFFTAG_PLANARCONFIG");
    TIFFWriteBufferSetup(tiff, nullptr, std::max<int64_t>(kRawBufferBytes, rowBytes));
    s.rowBytes = static_cast<int32_t>(rowBytes);
    s.columns = columns;
    s.rows = rows;
    s.fileType = pixelType;
}

void FTiffLineWriter::WriteTags(const FPropTree& properties)
{
    State& s = *m_pState;
    TIFF* tiff = s.tiff;
    FPardexTag payload;

    Require(TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 180.0) != 0, "FTiffLineWriter: while writing XResolution tag.");
    Require(TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 180.0) != 0, "FTiffLineWriter: while writing YResolution tag.");
    Require(TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) != 0,
            "FTiffLineWriter: while writing ResolutionUnits tag.");
    Require(TIFFSetField(tiff, TIFFTAG_MAKE, TreeText(properties, "CAMMANUF", "").c_str()) != 0,
            "FTiffLineWriter: while writing CAMMANUF tag.");
    Require(TIFFSetField(tiff, TIFFTAG_MODEL, TreeText(properties, "CAMMODEL", "").c_str()) != 0,
            "FTiffLineWriter: while writing CAMMODEL tag.");
    Require(TIFFSetField(tiff, TIFFTAG_SOFTWARE, TreeText(properties, "rpSoftware", " ").c_str()) != 0,
            "FTiffLineWriter: while writing TIFFTAG_SOFTWARE tag.");
    Require(TIFFSetField(tiff, TIFFTAG_DATETIME, ExifCurrentTimeText().c_str()) != 0,
            "FTiffLineWriter: while writing TIME tag.");

    payload.SetString(PardexKey("sfsp"), TreeText(properties, "AP_DESC", "").c_str());
    payload.SetString(PardexKey("sssd"), TreeText(properties, "SH_DESC", "").c_str());
    payload.SetString(PardexKey("came"), TreeText(properties, "CAMSERIAL", "").c_str());

    static const char* const kExtraKeys[] = {"ISO",    "EXPCOMP", "PMODE",  "RESOLUTION", "AEMODE",
                                             "AFMODE", "FLASH",   "EXPNET", "DRIVE",      "FLENGTH",
                                             "WB_DESC", "FIRMVERS", "TIME"};
    ExtraTexts extra;
    for (const char* key : kExtraKeys)
        if (const FString* value = properties.GetValue(FString(key), nullptr))
            extra.Add(key, Utf8(*value));
    if (const FString* value = properties.GetValue(FString("COLS"), nullptr))
        extra.Add("KVRCOLS", Utf8(*value));
    if (const FString* value = properties.GetValue(FString("ROWS"), nullptr))
        extra.Add("KVRROWS", Utf8(*value));
    extra.Store(payload);
    WritePayload(tiff, payload);

    std::vector<uint8_t> exif(kExifBufferBytes, 0xFF);
    const uint32_t length = BuildExif(exif.data(), exif.size(), 0, properties, s.columns, s.rows);
    Require(TiffWriteExifBlock(tiff, exif.data(), length), "FTiffLineWriter: while writing EXIF IFD tag.");
}

void FTiffLineWriter::WriteTags(const FHasProperties& properties)
{
    FPropertyMap remaining;
    for (FPropertyIterator it = properties.GetIterator(); !it.IsDone(); it.Next())
        remaining[FNarrowString(it.GetKey())] = FNarrowString(it.GetValue());
    for (const char* dropped : {"Rows", "Columns", "Filename"})
        remaining.erase(FNarrowString(dropped));

    TIFF* tiff = m_pState->tiff;
    FPardexTag payload;
    for (const ListKey& entry : kListKeys) {
        const auto found = remaining.find(FNarrowString(entry.key));
        if (found == remaining.end())
            continue;
        WriteListKey(tiff, payload, entry, found->second.GetText());
        remaining.erase(found);
    }
    ExtraTexts extra;
    for (const auto& [key, value] : remaining)
        extra.Add(key.GetText(), value.GetText());
    extra.Store(payload);
    WritePayload(tiff, payload);
}

void FTiffLineWriter::WriteThumbnail(const FPixmap* thumbnail)
{
    if (thumbnail == nullptr || FPixelTypeBytes(thumbnail->GetPixelType()) != 3)
        throw FExceptionUnknownPixelType("TiffLineWriter: while writing Photoshop thumbnail");
    const int64_t columns = thumbnail->m_iColumns;
    const int64_t rows = thumbnail->m_iRows;
    const int64_t pitch = thumbnail->m_iRowBytes;
    if (columns < 0 || rows < 0 || pitch < columns * 3)
        throw FExceptionUnknownPixelType("TiffLineWriter: while writing Photoshop thumbnail");
    const int64_t pixelBytes = rows * pitch;
    if (pixelBytes + int64_t{kThumbnailBlockHeader} > int64_t{kMaxThumbnailBlock})
        throw FExceptionThumbTooBig();

    const size_t n = static_cast<size_t>(pixelBytes);
    std::vector<uint8_t> block(kThumbnailBlockHeader + n, 0);
    std::memcpy(block.data(), "8BIM", 4);
    FByteWriter header(block.data(), block.size(), ThrowWriteOutside);
    header.PutU16BE(4, 0x0409);
    header.PutU32BE(8, static_cast<uint32_t>(n + 28));
    header.PutU32BE(12, 0);
    header.PutU32BE(16, static_cast<uint32_t>(columns));
    header.PutU32BE(20, static_cast<uint32_t>(rows));
    header.PutU32BE(24, static_cast<uint32_t>(pitch));
    header.PutU32BE(28, static_cast<uint32_t>(n));
    header.PutU32BE(32, static_cast<uint32_t>(n));
    header.PutU16BE(36, 24);
    header.PutU16BE(38, 1);
    for (int64_t y = 0; y < rows; ++y) {
        const uint8_t* from = thumbnail->GetRow(static_cast<int32_t>(y));
        uint8_t* to = block.data() + kThumbnailBlockHeader + y * pitch;
        for (int64_t x = 0; x < columns; ++x) {
            to[3 * x] = from[3 * x + 2];
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
    }
    Require(TIFFSetField(m_pState->tiff, TIFFTAG_PHOTOSHOP, static_cast<uint32_t>(block.size()), block.data()) != 0,
            "TiffLineWriter: while writing Photoshop thumbnail");
}

void FTiffLineWriter::WriteProfile(uint32_t size, const uint8_t* profile)
{
    Require(profile != nullptr && TIFFSetField(m_pState->tiff, TIFFTAG_ICCPROFILE, size, profile) != 0,
            "TiffLineWriter: while writing profile");
}

void FTiffLineWriter::WriteLine(const void* row, int32_t pixelType)
{
    State& s = *m_pState;
    if (s.rowBytes == 0)
        throw FExceptionWriteUninitialized("TiffLineWriter");
    if (s.nextRow >= s.rows)
        throw FExceptionFileWrite(FNarrowString("TIFFWriteScanline failed at row %d", s.nextRow).GetText());

    void* scanline = const_cast<void*>(row);
    if (pixelType != s.fileType) {
        const FRowConverter convert = WriterRowConverter(s.fileType, pixelType);
        if (s.rowBuffer.size() < static_cast<size_t>(s.rowBytes))
            s.rowBuffer.resize(static_cast<size_t>(s.rowBytes));
        convert(s.columns, row, s.rowBuffer.data());
        scanline = s.rowBuffer.data();
    }
    if (TIFFWriteScanline(s.tiff, scanline, static_cast<uint32_t>(s.nextRow), 0) != 1) {
        s.failed = true;
        throw FExceptionFileWrite(FNarrowString("TIFFWriteScanline failed at row %d", s.nextRow).GetText());
    }
    ++s.nextRow;
    // The rows are all there: push them to the file now, so that a full disk
    // is reported to the caller rather than found when the writer is deleted.
    if (s.nextRow == s.rows && TIFFFlushData(s.tiff) != 1) {
        s.failed = true;
        throw FExceptionFileWrite(FNarrowString("TIFFWriteScanline failed at row %d", s.nextRow - 1).GetText());
    }
}
