#include "shell/facade/KVR_EmbeddedImages.h"

#include "foundation/FByteReader.h"
#include "foundation/PixelConversion.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "toolkit/CET_Dib.h"
#include "toolkit/CET_ExifData.h"
#include "toolkit/PictureCodecs.h"
#include "toolkit/PictureFileBytes.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <set>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t kFileMagic = FourCC("PDXb");
constexpr std::uint32_t kDirectoryMagic = FourCC("SECd");
constexpr std::uint32_t kImageMagic = FourCC("SECi");
constexpr std::uint32_t kPictureEntry = FourCC("IMA2");
constexpr std::uint32_t kNestedDirectoryEntry = FourCC("DIRP");
constexpr std::uint32_t kVersion1_0 = 0x00302E31; // the bytes "1.0" and a zero, laid out as 2.0

// What makes a section one of the camera's pictures.
constexpr std::uint32_t kPictureKind = 2;
constexpr std::uint32_t kFormatJpeg = 18;
constexpr std::uint32_t kFormatRgb = 3;
constexpr std::uint32_t kSmallJpegColumns = 221, kSmallJpegRows = 147;
// The largest RGB thumbnail section (360 x 360 pixels).
constexpr std::uint64_t kMaxRgbSectionBytes = 388800;
// The long side of a scaled preview.
constexpr int kPreviewSide = 360;
// Deeper nesting than any writer produces is taken as a broken file.
constexpr int kMaxDirectoryDepth = 32;
constexpr std::size_t kCopyChunk = std::size_t{1} << 20;

// The header fields read here, by layout.
constexpr std::uint64_t kHeaderBytesRead = 48;
struct HeaderLayout {
    std::uint64_t pointerBytes, columnsAt, rowsAt, rotationAt;
};
constexpr HeaderLayout kLayout2 = {4, 28, 32, 36};
constexpr HeaderLayout kLayout3 = {8, 36, 40, 44};

struct Malformed {};
[[noreturn]] void ThrowMalformed(const char*)
{
    throw Malformed{};
}

std::uint32_t Major(std::uint32_t version)
{
    return version >> 16;
}

bool IsLayout2(std::uint32_t version)
{
    return Major(version) == 2 || version == kVersion1_0;
}

// A block for the rows, null when memory runs out.
BYTE* NewRows(std::uint64_t bytes)
{
    try {
        return NewDibBits(static_cast<std::size_t>(bytes));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// Whether the RGB rows the picture's header claims lie in its data.
bool HoldsItsRows(const KVREmbeddedPicture& picture)
{
    return picture.type == kEmbeddedRgb && picture.columns > 0 && picture.rows > 0 &&
           picture.rowBytes >= std::uint64_t{picture.columns} * 3 &&
           std::uint64_t{picture.rows} * picture.rowBytes <= picture.dataLength;
}

// Walks the directory tree of a container and keeps the last picture of
// each class. A broken header or directory throws Malformed; a broken
// picture section is passed over.
class ContainerWalk {
public:
    ContainerWalk(const KVRByteSource& source, std::uint64_t size) : m_Source(source), m_Size(size) {}

    KVREmbeddedPictures Walk()
    {
        const std::vector<std::uint8_t> header = Bytes(0, kHeaderBytesRead);
        FByteReader in(header.data(), header.size(), ThrowMalformed);
        if (in.U32LE() != kFileMagic)
            throw Malformed{};
        const std::uint32_t version = in.U32LE();
        if (Major(version) != 3 && !IsLayout2(version))
            throw Malformed{};
        const HeaderLayout& layout = Major(version) == 3 ? kLayout3 : kLayout2;
        in.Seek(layout.columnsAt);
        m_Found.columns = in.U32LE();
        in.Seek(layout.rowsAt);
        m_Found.rows = in.U32LE();
        in.Seek(layout.rotationAt);
        m_Found.rotation = static_cast<int>(in.U32LE() % 360);
        if (m_Found.rotation == 90 || m_Found.rotation == 270)
            std::swap(m_Found.columns, m_Found.rows);

        // The directory lies between the header and the pointer at the end.
        if (m_Size < kHeaderBytesRead + layout.pointerBytes)
            throw Malformed{};
        const std::uint64_t pointerAt = m_Size - layout.pointerBytes;
        const std::vector<std::uint8_t> pointerBytes = Bytes(pointerAt, layout.pointerBytes);
        FByteReader pointer(pointerBytes.data(), pointerBytes.size(), ThrowMalformed);
        std::uint64_t directory = pointer.U32LE();
        if (layout.pointerBytes == 8)
            directory = directory << 32 | pointer.U32LE();
        if (directory >= pointerAt)
            throw Malformed{};
        ReadDirectory(directory, pointerAt - directory, 0);
        return m_Found;
    }

private:
    struct Entry {
        std::uint64_t offset;
        std::uint64_t length;
        std::uint32_t type;
    };

    std::vector<std::uint8_t> Bytes(std::uint64_t offset, std::uint64_t length) const
    {
        if (!FByteReader::Fits(m_Size, offset, length))
            throw Malformed{};
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
        if (length > 0 && !m_Source(offset, bytes.data(), bytes.size()))
            throw Malformed{};
        return bytes;
    }

    void ReadDirectory(std::uint64_t offset, std::uint64_t available, int depth)
    {
        if (depth > kMaxDirectoryDepth || !m_Visited.insert(offset).second)
            throw Malformed{};
        const std::vector<std::uint8_t> head = Bytes(offset, std::min<std::uint64_t>(available, 16));
        FByteReader in(head.data(), head.size(), ThrowMalformed);
        if (in.U32LE() != kDirectoryMagic)
            throw Malformed{};
        const std::uint32_t version = in.U32LE();
        std::vector<Entry> entries;
        if (Major(version) == 3)
            entries = Entries3(in, offset, available);
        else if (IsLayout2(version))
            entries = Entries2(in, offset, available);
        else
            throw Malformed{};
        for (const Entry& entry : entries) {
            if (entry.type == kPictureEntry) {
                TakePicture(entry);
            } else if (entry.type == kNestedDirectoryEntry) {
                if (!FByteReader::Fits(m_Size, entry.offset, entry.length))
                    throw Malformed{};
                ReadDirectory(entry.offset, entry.length, depth + 1);
            }
        }
    }

    // {offset, length, type} entries of 12 bytes after a 12-byte header.
    std::vector<Entry> Entries2(FByteReader& head, std::uint64_t offset, std::uint64_t available) const
    {
        const std::uint32_t count = head.U32LE();
        if (std::uint64_t{count} * 12 > available - 12)
            throw Malformed{};
        const std::vector<std::uint8_t> bytes = Bytes(offset + 12, std::uint64_t{count} * 12);
        FByteReader in(bytes.data(), bytes.size(), ThrowMalformed);
        std::vector<Entry> entries(count);
        for (Entry& entry : entries) {
            entry.offset = in.U32LE();
            entry.length = in.U32LE();
            entry.type = in.U32LE();
        }
        return entries;
    }

    // A header of its own size, then entries of their own sizes (20 at least):
    // {size, offset high, offset low, length, type}.
    std::vector<Entry> Entries3(FByteReader& head, std::uint64_t offset, std::uint64_t available) const
    {
        const std::uint32_t headerSize = head.U32LE();
        const std::uint32_t count = head.U32LE();
        if (headerSize < 16 || headerSize > available || std::uint64_t{count} * 20 > available - headerSize)
            throw Malformed{};
        std::vector<Entry> entries(count);
        std::uint64_t position = headerSize;
        for (Entry& entry : entries) {
            if (available - position < 20)
                throw Malformed{};
            const std::vector<std::uint8_t> bytes = Bytes(offset + position, 20);
            FByteReader in(bytes.data(), bytes.size(), ThrowMalformed);
            const std::uint32_t entrySize = in.U32LE();
            const std::uint64_t high = in.U32LE();
            entry.offset = high << 32 | in.U32LE();
            entry.length = in.U32LE();
            entry.type = in.U32LE();
            if (entrySize < 20 || entrySize > available - position)
                throw Malformed{};
            position += entrySize;
        }
        return entries;
    }

    // Classifies an image section; one that is not a whole picture is passed over.
    void TakePicture(const Entry& entry)
    {
        if (!FByteReader::Fits(m_Size, entry.offset, entry.length) || entry.length < 8)
            return;
        const std::vector<std::uint8_t> start = Bytes(entry.offset, 8);
        FByteReader magic(start.data(), start.size(), ThrowMalformed);
        if (magic.U32LE() != kImageMagic)
            return;
        const std::uint32_t version = magic.U32LE();
        const bool major3 = Major(version) == 3;
        if (!major3 && !IsLayout2(version))
            return;
        const std::uint32_t fixedSize = major3 ? 36 : 28;
        if (entry.length < fixedSize)
            return;
        const std::vector<std::uint8_t> bytes = Bytes(entry.offset, fixedSize);
        FByteReader in(bytes.data(), bytes.size(), ThrowMalformed);
        in.Seek(8);
        const std::uint32_t headerSize = major3 ? in.U32LE() : fixedSize;
        const std::uint32_t kind = in.U32LE();
        const std::uint32_t format = in.U32LE();
        KVREmbeddedPicture picture;
        picture.columns = in.U32LE();
        picture.rows = in.U32LE();
        picture.rowBytes = in.U32LE();
        if (kind != kPictureKind || headerSize < fixedSize || headerSize > entry.length)
            return;
        picture.sectionOffset = entry.offset;
        picture.sectionLength = entry.length;
        picture.dataOffset = entry.offset + headerSize;
        picture.dataLength = entry.length - headerSize;
        if (format == kFormatJpeg && picture.dataLength > 0) {
            const bool small = picture.columns == kSmallJpegColumns && picture.rows == kSmallJpegRows;
            picture.type = small ? kEmbeddedSmallJpeg : kEmbeddedLargeJpeg;
            (small ? m_Found.smallJpeg : m_Found.largeJpeg) = picture;
        } else if (format == kFormatRgb) {
            picture.type = kEmbeddedRgb;
            if (HoldsItsRows(picture))
                m_Found.rgb = picture;
        }
    }

    const KVRByteSource& m_Source;
    std::uint64_t m_Size;
    std::set<std::uint64_t> m_Visited;
    KVREmbeddedPictures m_Found;
};

// The bytes of a picture's data; none when they cannot be read or held.
std::optional<std::vector<std::uint8_t>> ReadData(const KVRByteSource& source, const KVREmbeddedPicture& picture)
{
    if (!picture || picture.dataLength == 0)
        return std::nullopt;
    try {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(picture.dataLength));
        if (!source(picture.dataOffset, bytes.data(), bytes.size()))
            return std::nullopt;
        return bytes;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

// The picture library's rotate-and-flip step of a clockwise turn in degrees.
int RotateFlipTypeOfTurn(int degrees)
{
    switch (degrees) {
    case 90:
        return 1;
    case 180:
        return 2;
    case 270:
        return 3;
    default:
        return 0;
    }
}

DecodedPicture Turned(DecodedPicture picture, int degrees)
{
    const int type = RotateFlipTypeOfTurn(degrees);
    return type == 0 ? std::move(picture) : RotateFlipPicture(picture, type);
}

void SetHeader24(BITMAPINFOHEADER* header, int width, int height, std::uint64_t imageBytes)
{
    *header = BITMAPINFOHEADER{};
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biCompression = BI_RGB;
    header->biSizeImage = static_cast<DWORD>(imageBytes);
}

// A file's bytes through the storage classes.
class FileSource {
public:
    explicit FileSource(const char16_t* nativePath) : m_Reader(FString(nativePath ? nativePath : u"")) {}

    bool IsOpen() const { return m_Reader.IsOpen(); }
    std::uint64_t Size() const { return m_Reader.Size(); }
    KVRByteSource Source()
    {
        return [this](std::uint64_t offset, void* buffer, std::size_t length) {
            return m_Reader.Read(offset, length, static_cast<std::uint8_t*>(buffer));
        };
    }

private:
    PictureFileReader m_Reader;
};

// An open C file's bytes.
KVRByteSource StdioSource(FILE* file)
{
    return [file](std::uint64_t offset, void* buffer, std::size_t length) {
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) ||
            fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0)
            return false;
        return std::fread(buffer, 1, length, file) == length;
    };
}

} // namespace

const KVREmbeddedPicture& KVREmbeddedPictures::Choose(int kind) const
{
    static const KVREmbeddedPicture kNone;
    switch (kind) {
    case kEmbeddedThumbnail:
        return smallJpeg ? smallJpeg : rgb;
    case kEmbeddedPreview:
    case kEmbeddedPreviewFullSize:
        return largeJpeg;
    default:
        return kNone;
    }
}

KVREmbeddedPictures KVRFindEmbeddedPictures(const KVRByteSource& source, std::uint64_t fileSize)
{
    try {
        return ContainerWalk(source, fileSize).Walk();
    } catch (const Malformed&) {
        return {};
    } catch (const std::bad_alloc&) {
        return {};
    }
}

int KVR_FindEmbeddedImage(FILE* file, int kind, int* offset, int* length)
{
    if (!file || fseeko(file, 0, SEEK_END) != 0)
        return kEmbeddedNone;
    const off_t size = ftello(file);
    if (size < 0)
        return kEmbeddedNone;
    const KVREmbeddedPictures pictures = KVRFindEmbeddedPictures(StdioSource(file), static_cast<std::uint64_t>(size));
    const KVREmbeddedPicture& picture = pictures.Choose(kind);
    constexpr std::uint64_t kIntMax = std::numeric_limits<int>::max();
    if (!picture || picture.sectionOffset > kIntMax || picture.sectionLength > kIntMax)
        return kEmbeddedNone;
    if (offset)
        *offset = static_cast<int>(picture.sectionOffset);
    if (length)
        *length = static_cast<int>(picture.sectionLength);
    return picture.type;
}

BYTE* CopyBitmapDataToDIB(DecodedPicture picture, BITMAPINFOHEADER* header)
{
    const int width = picture.width - picture.width % 4;
    if (!picture || !header || width <= 0)
        return nullptr;
    // In place: a 24-bit row never reaches past the start of the 32-bit row
    // it comes from, and within a row each pixel is read before its bytes are
    // written over. Both are bottom-up: memory row m stays memory row m.
    BYTE* bits = picture.bits.get();
    const std::uint64_t sourceRowBytes = std::uint64_t(picture.width) * 4, rowBytes = std::uint64_t(width) * 3;
    for (int m = 0; m < picture.height; ++m) {
        const BYTE* in = bits + std::uint64_t(m) * sourceRowBytes;
        BYTE* out = bits + std::uint64_t(m) * rowBytes;
        for (int x = 0; x < width; ++x, in += 4, out += 3) {
            const BYTE blue = in[0], green = in[1], red = in[2];
            out[0] = blue;
            out[1] = green;
            out[2] = red;
        }
    }
    SetHeader24(header, width, picture.height, rowBytes * std::uint64_t(picture.height));
    return picture.bits.release();
}

BYTE* LoadEmbeddedJpegImage(const KVRByteSource& source, BITMAPINFOHEADER* header, const KVREmbeddedPicture& picture,
                            int rotation)
{
    const std::optional<std::vector<std::uint8_t>> jpeg = ReadData(source, picture);
    if (!jpeg || !header)
        return nullptr;
    return CopyBitmapDataToDIB(Turned(DecodeJpeg(jpeg->data(), jpeg->size()), rotation), header);
}

BYTE* LoadEmbeddedRGBImage(const KVRByteSource& source, BITMAPINFOHEADER* header, const KVREmbeddedPicture& picture,
                           int rotation)
{
    if (!header || !HoldsItsRows(picture) || picture.sectionLength > kMaxRgbSectionBytes)
        return nullptr;
    const std::optional<std::vector<std::uint8_t>> rgb = ReadData(source, picture);
    if (!rgb)
        return nullptr;
    const int width = static_cast<int>(picture.columns), height = static_cast<int>(picture.rows);
    const auto storedRow = [&](int y) { return rgb->data() + std::uint64_t(y) * picture.rowBytes; };
    if (RotateFlipTypeOfTurn(rotation) == 0) {
        // Top-down, as stored.
        const std::int64_t rowBytes = DibRowBytes(width, 24);
        const std::uint64_t imageBytes = std::uint64_t(rowBytes) * std::uint64_t(height);
        BYTE* bits = NewRows(imageBytes);
        if (!bits)
            return nullptr;
        for (int y = 0; y < height; ++y) {
            BYTE* row = bits + y * rowBytes;
            ConvertRow24RGBTo24BGR(width, storedRow(y), row);
            std::memset(row + width * 3, 0, static_cast<std::size_t>(rowBytes - width * 3));
        }
        SetHeader24(header, width, -height, imageBytes);
        return bits;
    }
    DecodedPicture picture32 = AllocatePicture(width, height);
    if (!picture32)
        return nullptr;
    for (int y = 0; y < height; ++y)
        ConvertRow24RGBTo32BGRA(width, storedRow(y), picture32.Row(y));
    return CopyBitmapDataToDIB(Turned(std::move(picture32), rotation), header);
}

BYTE* DecodeEmbeddedJpegToDIB(const KVRByteSource& source, BITMAPINFOHEADER* header,
                              const KVREmbeddedPictures& pictures, bool scaleTo360, CET_ExifData* info, int* size)
{
    const std::optional<std::vector<std::uint8_t>> jpeg = ReadData(source, pictures.largeJpeg);
    int storedWidth = 0, storedHeight = 0;
    if (!jpeg || !header || !ReadJpegSize(jpeg->data(), jpeg->size(), storedWidth, storedHeight))
        return nullptr;

    // The file's rotation, unless the camera stored the preview already
    // turned: then the preview's shape already matches the picture's.
    int turn = pictures.rotation;
    int width = storedWidth, height = storedHeight;
    if (turn % 180 != 0)
        std::swap(width, height);
    if (pictures.columns > 0 && pictures.rows > 0 && (width <= height) != (pictures.columns <= pictures.rows)) {
        turn += 270;
        std::swap(width, height);
    }
    turn %= 360;
    if (size) {
        size[0] = width;
        size[1] = height;
    }
    if (info) {
        // A preview without EXIF leaves the record empty: the raw file has no EXIF block to read instead.
        if (!info->ParseBuffer(jpeg->data(), jpeg->size()) || !info->FindItem(kExifTagExifVersion))
            info->Clear();
        info->SetImageSize(width, height);
    }

    DecodedPicture picture;
    if (scaleTo360) {
        const double factor = double(kPreviewSide) / std::max(width, height);
        int targetWidth = std::max(1, static_cast<int>(width * factor + 0.4999999));
        int targetHeight = std::max(1, static_cast<int>(height * factor + 0.4999999));
        if (turn % 180 != 0)
            std::swap(targetWidth, targetHeight); // the stored orientation
        // The codec's own scaled decoding does most of the shrinking.
        picture = ResamplePictureBilinear(DecodeJpeg(jpeg->data(), jpeg->size(), targetWidth, targetHeight),
                                          targetWidth, targetHeight);
    } else {
        picture = DecodeJpeg(jpeg->data(), jpeg->size());
    }
    return CopyBitmapDataToDIB(Turned(std::move(picture), turn), header);
}

BYTE* KVR_LoadEmbeddedImageToDIB(const char16_t* nativePath, BITMAPINFOHEADER* header, int kind, CET_ExifData* info,
                                 int* size, int rotation)
{
    if (!header)
        return nullptr;
    try {
        FileSource file(nativePath);
        if (!file.IsOpen())
            return nullptr;
        const KVRByteSource source = file.Source();
        const KVREmbeddedPictures pictures = KVRFindEmbeddedPictures(source, file.Size());
        const KVREmbeddedPicture& picture = pictures.Choose(kind);
        if (picture.type == kEmbeddedLargeJpeg)
            return DecodeEmbeddedJpegToDIB(source, header, pictures, kind != kEmbeddedPreviewFullSize, info, size);
        if (!picture)
            return nullptr;
        if (info)
            info->SetImageSize(0, 0);
        if (size)
            size[0] = size[1] = 0;
        return picture.type == kEmbeddedSmallJpeg ? LoadEmbeddedJpegImage(source, header, picture, rotation)
                                                  : LoadEmbeddedRGBImage(source, header, picture, rotation);
    } catch (...) {
        return nullptr;
    }
}

CET_Dib* KVR_LoadEmbeddedImageToBitmap(const char16_t* nativePath, int kind, CET_ExifData* info, int* size,
                                       int rotation)
{
    BITMAPINFOHEADER header;
    return KVR_WrapInBitmap(header, KVR_LoadEmbeddedImageToDIB(nativePath, &header, kind, info, size, rotation));
}

int KVR_ExtractEmbeddedJpeg(const char16_t* rawPath, const char16_t* outputPath, int* error)
{
    const auto fail = [error](int code) {
        if (error)
            *error = code;
        return 0;
    };
    try {
        FileSource raw(rawPath);
        if (!raw.IsOpen())
            return fail(kExtractReadFailed);
        const KVRByteSource source = raw.Source();
        const KVREmbeddedPicture picture = KVRFindEmbeddedPictures(source, raw.Size()).Choose(kEmbeddedPreviewFullSize);
        if (!picture)
            return fail(kExtractNoJpeg);
        // Written under a temporary name: a failed copy leaves no file behind.
        PictureFileWriter output(FString(outputPath ? outputPath : u""));
        if (!output.IsOpen())
            return fail(kExtractWriteFailed);
        std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(picture.dataLength, kCopyChunk)));
        for (std::uint64_t done = 0; done < picture.dataLength;) {
            const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), picture.dataLength - done));
            if (!source(picture.dataOffset + done, chunk.data(), length))
                return fail(kExtractReadFailed);
            if (!output.Write(chunk.data(), length))
                return fail(kExtractWriteFailed);
            done += length;
        }
        if (!output.Commit())
            return fail(kExtractWriteFailed);
    } catch (...) {
        return fail(kExtractWriteFailed);
    }
    if (error)
        *error = kExtractDone;
    return 1;
}
