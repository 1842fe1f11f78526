#include "fileio/container/PdxbImageIO.h"
#include "fileio/container/PdxbImageReaderImpl.h"

#include "fileio/FProgress.h"
#include "fileio/container/HuffmanM4.h"
#include "fileio/container/PdxbImageDecoding.h"
#include "fileio/container/PdxbJPEGImage.h"
#include "fileio/container/PdxbSectionBytes.h"

#include "foundation/FAssert.h"
#include "foundation/FException.h"
#include "foundation/FIFile.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FString.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kDirectoryMagic = FourCC("SECd");
constexpr uint32_t kImageMagic = FourCC("SECi");
constexpr uint32_t kCamfileMagic = FourCC("SECc");
constexpr uint32_t kPropertyMagic = FourCC("SECp");
constexpr uint32_t kScrambledMagic = FourCC("FCEb");

constexpr uint32_t kImageHeaderSize2 = 28;
constexpr uint32_t kImageHeaderSize3 = 36;
constexpr uint32_t kCamfileHeaderSize2 = 16;
constexpr uint32_t kCamfileHeaderSize3 = 24;
constexpr uint32_t kPropertyHeaderSize = 24;
constexpr uint32_t kHuffmanM4CamfileHeaderSize = 44;
constexpr uint32_t kScrambledHeaderSize = 12;
constexpr uint64_t kCamfileChunk = 131072;

// Deeper nesting than any writer produces is taken as a corrupt file: it would
// otherwise recurse without bound.
constexpr int kMaxDirectoryDepth = 32;

uint32_t Major(uint32_t version) { return version >> 16; }
bool IsOldText(uint32_t version) { return version == PDXB_VERSION_1_0; }
bool IsMajor2Or10(uint32_t version) { return Major(version) == 2 || IsOldText(version); }
bool IsReadableSectionVersion(uint32_t version) { return IsMajor2Or10(version) || Major(version) == 3; }

[[noreturn]] void ThrowReader(const std::string& text) { throw FExceptionPdxbReader(text.c_str()); }

[[noreturn]] void ThrowOverrun(const char* what) { ThrowReader(std::string("Malformed raw file: ") + what + "."); }

FByteReader View(const PdxbBytes& bytes) { return FByteReader(bytes.data(), bytes.size(), ThrowOverrun); }

// A section's bytes read from the file into the decoder's window as it asks.
class FileSectionBytes final : public FSectionBytes {
public:
    // The caller has checked that the range lies inside the file.
    FileSectionBytes(PdxbFileBytes& file, uint64_t offset, uint64_t size)
        : m_File(file), m_iOffset(offset), m_iSize(size)
    {
    }

    uint64_t Size() const override { return m_iSize; }
    bool NeedsWindow() const override { return true; }
    FByteSpan From(uint64_t offset, size_t want, uint8_t* window) override
    {
        const uint64_t at = std::min(offset, m_iSize);
        const size_t length = size_t(std::min<uint64_t>(want, m_iSize - at));
        m_File.ReadInto(m_iOffset + at, window, length);
        return {window, length};
    }

private:
    PdxbFileBytes& m_File;
    uint64_t m_iOffset;
    uint64_t m_iSize;
};

// A name field: at most 31 characters, always terminated.
void CopyName(FByteReader& in, char (&name)[PDXB_NAME_SIZE])
{
    in.Read(name, PDXB_NAME_SIZE);
    name[PDXB_NAME_SIZE - 1] = 0;
    const size_t length = std::strlen(name);
    std::memset(name + length, 0, PDXB_NAME_SIZE - length);
}

std::u16string Units(const uint8_t* bytes, uint64_t count)
{
    std::u16string text(static_cast<size_t>(count), u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return text;
}

} // namespace

PdxbBytes PdxbFileBytes::Read(uint64_t offset, uint64_t length, const char* what)
{
    if (!FByteReader::Fits(m_iSize, offset, length))
        ThrowReader(std::string("Truncated raw file: ") + what + " lies outside the file.");
    PdxbBytes bytes(static_cast<size_t>(length));
    ReadInto(offset, bytes.data(), length);
    return bytes;
}

std::string PdxbUrlText(const FString& url)
{
    if (std::unique_ptr<char[]> utf8 = WideToAnsi(url.GetText()))
        return utf8.get();
    return url.GetAscii();
}

// ---------------------------------------------------------------------------
// Header

void FPdxbImageReaderImpl::ReadHeader(const FString& url)
{
    const uint64_t size = m_File.Size();
    if (size < 4)
        throw FExceptionNotAPdxb(PdxbUrlText(url).c_str());
    PdxbBytes start = m_File.Read(0, std::min<uint64_t>(size, 8), "the file header");
    FByteReader first = View(start);
    if (first.U32LE() != PDXB_MAGIC)
        throw FExceptionNotAPdxb(PdxbUrlText(url).c_str());
    if (size < 8)
        ThrowReader("Truncated raw file: the file header is incomplete.");
    const uint32_t version = first.U32LE();

    uint32_t headerSize;
    if (Major(version) == 3)
        headerSize = kHeaderSize3;
    else if (version == PDXB_VERSION_2_3)
        headerSize = kHeaderSize23;
    else if (IsMajor2Or10(version))
        headerSize = kHeaderSize2;
    else
        throw FExceptionPdxbIncompatible(PdxbUrlText(url).c_str());
    if (size < headerSize)
        ThrowReader("Truncated raw file: the file header is incomplete.");

    m_iHeaderBytes = headerSize;
    const PdxbBytes bytes = m_File.Read(0, headerSize, "the file header");
    FByteReader in = View(bytes);
    PdxbNormalHeader& h = m_Header;
    h.m_iMagic = in.U32LE();
    h.m_iVersion = in.U32LE();
    if (Major(version) == 3) {
        h.m_iHeaderSize = in.U32LE();
        h.m_iReserved = in.U32LE();
    } else {
        h.m_iHeaderSize = headerSize;
        h.m_iReserved = 0;
    }
    in.Read(h.m_UniqueID, sizeof h.m_UniqueID);
    h.m_iMarkBits = in.U32LE();
    h.m_iColumns = in.U32LE();
    h.m_iRows = in.U32LE();
    h.m_iRotation = in.U32LE();
    CopyName(in, h.m_sWhiteBalance);
    if (headerSize != kHeaderSize2)
        CopyName(in, h.m_sColorMode);
    in.Read(h.m_ExtDataTypes, sizeof h.m_ExtDataTypes);
    for (float& value : h.m_ExtDataValues) {
        const uint32_t bits = in.U32LE();
        std::memcpy(&value, &bits, sizeof value);
    }
}

// ---------------------------------------------------------------------------
// Directory

void FPdxbImageReaderImpl::ReadDirectory()
{
    if (m_bDirectoryRead)
        return;
    const uint64_t pointerSize = Major(m_Header.m_iVersion) == 3 ? 8 : 4;
    const uint64_t size = m_File.Size();
    if (size < pointerSize + m_iHeaderBytes)
        ThrowReader("Truncated raw file: there is no room for the directory pointer.");
    const uint64_t pointerAt = size - pointerSize;
    const PdxbBytes pointerBytes = m_File.Read(pointerAt, pointerSize, "the directory pointer");
    FByteReader pointer = View(pointerBytes);
    uint64_t offset = pointer.U32LE();
    if (pointerSize == 8)
        offset = offset << 32 | pointer.U32LE();
    // The directory lies between the header and the pointer.
    if (offset >= pointerAt)
        ThrowReader("Directory pointer outside the file.");

    std::set<uint64_t> visited;
    m_Sections.clear();
    ReadDirectoryAt(offset, pointerAt - offset, 0, visited);
    m_bDirectoryRead = true;
}

void FPdxbImageReaderImpl::ReadDirectoryAt(uint64_t offset, uint64_t available, int depth,
                                           std::set<uint64_t>& visited)
{
    if (depth > kMaxDirectoryDepth)
        ThrowReader("Directories are nested too deeply.");
    if (!visited.insert(offset).second)
        ThrowReader("Nested directories form a cycle.");
    if (available < 8)
        ThrowReader("Directory section is too short for its header.");

    const PdxbBytes start = m_File.Read(offset, 8, "a directory section");
    FByteReader head = View(start);
    if (head.U32LE() != kDirectoryMagic)
        ThrowReader("Expected a directory section but got something else.");
    const uint32_t version = head.U32LE();
    if (!IsReadableSectionVersion(version))
        throw FExceptionPdxbIncompatible("Directory section version");

    std::vector<PdxbSectionRecord> entries;
    if (Major(version) == 3)
        ReadDirectoryEntries3(offset, available, entries);
    else
        ReadDirectoryEntries2(offset, available, entries);

    for (const PdxbSectionRecord& entry : entries) {
        if (entry.m_iEntryType != PDXB_ENTRY_DIRP)
            continue;
        if (!FByteReader::Fits(m_File.Size(), entry.m_iOffset, entry.m_iLength))
            ThrowReader("Nested directory lies outside the file.");
        ReadDirectoryAt(entry.m_iOffset, entry.m_iLength, depth + 1, visited);
    }
    for (const PdxbSectionRecord& entry : entries)
        if (entry.m_iEntryType != PDXB_ENTRY_DIRP)
            m_Sections.push_back(entry);
}

void FPdxbImageReaderImpl::ReadDirectoryEntries3(uint64_t offset, uint64_t available,
                                                 std::vector<PdxbSectionRecord>& entries)
{
    if (available < 16)
        ThrowReader("Directory section is too short for its header.");
    const PdxbBytes headBytes = m_File.Read(offset, 16, "a directory section");
    FByteReader head = View(headBytes);
    head.Skip(8);
    const uint32_t headerSize = head.U32LE();
    const uint32_t count = head.U32LE();
    if (headerSize < 16 || headerSize > available)
        ThrowReader("Directory header size out of range.");
    uint64_t position = headerSize;
    if (uint64_t(count) * 20 > available - position)
        ThrowReader("Directory entry count larger than its section.");

    entries.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (available - position < 20)
            ThrowReader("Directory entry count larger than its section.");
        const PdxbBytes entryBytes = m_File.Read(offset + position, 20, "a directory entry");
        FByteReader in = View(entryBytes);
        PdxbSectionRecord record;
        record.m_iEntrySize = in.U32LE();
        const uint64_t high = in.U32LE();
        record.m_iOffset = high << 32 | in.U32LE();
        record.m_iLength = in.U32LE();
        record.m_iEntryType = in.U32LE();
        if (record.m_iEntrySize < 20 || record.m_iEntrySize > available - position)
            ThrowReader("Directory entry size out of range.");
        position += record.m_iEntrySize;
        entries.push_back(record);
    }
}

void FPdxbImageReaderImpl::ReadDirectoryEntries2(uint64_t offset, uint64_t available,
                                                 std::vector<PdxbSectionRecord>& entries)
{
    if (available < 12)
        ThrowReader("Directory section is too short for its header.");
    const PdxbBytes countBytes = m_File.Read(offset + 8, 4, "a directory section");
    const uint32_t count = View(countBytes).U32LE();
    if (uint64_t(count) * 12 > available - 12)
        ThrowReader("Directory entry count larger than its section.");

    const PdxbBytes bytes = m_File.Read(offset + 12, uint64_t(count) * 12, "a directory section");
    FByteReader in = View(bytes);
    entries.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        PdxbSectionRecord record;
        record.m_iEntrySize = 12;
        record.m_iOffset = in.U32LE();
        record.m_iLength = in.U32LE();
        record.m_iEntryType = in.U32LE();
        entries.push_back(record);
    }
}

size_t FPdxbImageReaderImpl::FindSection(uint32_t entryType, int index)
{
    ReadDirectory();
    int seen = 0;
    for (size_t i = 0; i < m_Sections.size() && index >= 0; ++i) {
        if (m_Sections[i].m_iEntryType == entryType && seen++ == index)
            return i;
    }
    const FNarrowString text("FPdxbImageReaderImpl::FindSection type %d index %d", static_cast<int32_t>(entryType),
                             index);
    throw FExceptionIndexOutOfRange(text.GetText());
}

int FPdxbImageReaderImpl::CountSections(uint32_t entryType)
{
    ReadDirectory();
    return static_cast<int>(std::count_if(m_Sections.begin(), m_Sections.end(), [entryType](const auto& record) {
        return record.m_iEntryType == entryType;
    }));
}

const PdxbSectionRecord& FPdxbImageReaderImpl::ImageRecord(int index)
{
    const int first = CountSections(PDXB_ENTRY_IMAG);
    if (index < first)
        return m_Sections[FindSection(PDXB_ENTRY_IMAG, index)];
    return m_Sections[FindSection(PDXB_ENTRY_IMA2, index - first)];
}

// ---------------------------------------------------------------------------
// Sections

void FPdxbImageReaderImpl::CheckSection(const PdxbSectionRecord& record, const char* name, uint32_t& magic,
                                        uint32_t& version)
{
    if (!FByteReader::Fits(m_File.Size(), record.m_iOffset, record.m_iLength))
        ThrowReader(std::string(name) + " section lies outside the file.");
    if (record.m_iLength < 8)
        ThrowReader(std::string(name) + " section is shorter than its header.");
    const PdxbBytes bytes = m_File.Read(record.m_iOffset, 8, "a section header");
    FByteReader in = View(bytes);
    magic = in.U32LE();
    version = in.U32LE();
}

PdxbImageHeader FPdxbImageReaderImpl::ReadImageHeader(const PdxbSectionRecord& record)
{
    uint32_t magic, version;
    CheckSection(record, "Image", magic, version);
    if (magic != kImageMagic)
        ThrowReader("Expected an image section but got something else.");
    if (!IsReadableSectionVersion(version))
        throw FExceptionPdxbIncompatible("Image section version");

    const bool major3 = Major(version) == 3;
    const uint32_t fixedSize = major3 ? kImageHeaderSize3 : kImageHeaderSize2;
    if (record.m_iLength < fixedSize)
        ThrowReader("Image section is shorter than its header.");
    const PdxbBytes bytes = m_File.Read(record.m_iOffset, fixedSize, "an image section header");
    FByteReader in = View(bytes);
    PdxbImageHeader h{};
    h.m_iMagic = in.U32LE();
    h.m_iVersion = in.U32LE();
    h.m_iHeaderSize = major3 ? in.U32LE() : kImageHeaderSize2;
    h.m_iImageKind = in.U32LE();
    h.m_iPixelFormat = in.U32LE();
    h.m_iColumns = in.U32LE();
    h.m_iRows = in.U32LE();
    h.m_iRowSize = in.U32LE();
    h.m_iReserved = major3 ? in.U32LE() : 0;
    if (h.m_iHeaderSize < fixedSize || h.m_iHeaderSize > record.m_iLength)
        ThrowReader("Image section header size out of range.");
    h.m_iDataOffset = record.m_iOffset + h.m_iHeaderSize;
    h.m_iDataSize = record.m_iLength - h.m_iHeaderSize;
    return h;
}

PdxbCamfileHeader FPdxbImageReaderImpl::ReadCamfileHeader(const PdxbSectionRecord& record)
{
    uint32_t magic, version;
    CheckSection(record, "Cam file", magic, version);
    if (magic != kCamfileMagic)
        ThrowReader("Expected a cam file section but got something else.");
    if (!IsReadableSectionVersion(version))
        throw FExceptionPdxbIncompatible("Cam file section version");

    const bool major3 = Major(version) == 3;
    const uint32_t fixedSize = major3 ? kCamfileHeaderSize3 : kCamfileHeaderSize2;
    if (record.m_iLength < fixedSize)
        ThrowReader("Cam file section is shorter than its header.");
    const PdxbBytes bytes = m_File.Read(record.m_iOffset, fixedSize, "a cam file section header");
    FByteReader in = View(bytes);
    PdxbCamfileHeader h{};
    h.m_iMagic = in.U32LE();
    h.m_iVersion = in.U32LE();
    if (major3) {
        h.m_iHeaderSize = in.U32LE();
        h.m_iReserved = in.U32LE();
        h.m_iDataLength = in.U32LE();
        h.m_iCamfileType = in.U32LE();
    } else {
        h.m_iHeaderSize = kCamfileHeaderSize2;
        h.m_iCamfileType = in.U32LE();
        h.m_iDataLength = in.U32LE();
    }
    if (h.m_iHeaderSize < fixedSize || h.m_iHeaderSize > record.m_iLength)
        ThrowReader("Cam file section header size out of range.");
    h.m_iDataOffset = record.m_iOffset + h.m_iHeaderSize;
    h.m_iDataSize = record.m_iLength - h.m_iHeaderSize;
    h.m_iStoredSize = h.m_iDataSize;
    if (h.m_iCamfileType != PDXB_CAMFILE_CAMB_HUFFMAN_M4)
        return h;

    // A HuffmanM4 camfile, of either section version, reports the size of its
    // decoded bytes: a caller that sizes its buffer by the coded length would
    // get the camera data cut short. Each coded value takes at least one bit,
    // so a size beyond that is a lie that would only make the caller allocate
    // for nothing.
    if (h.m_iDataSize < kHuffmanM4CamfileHeaderSize)
        ThrowReader("Cam file section is shorter than its HuffmanM4 header.");
    const PdxbBytes m4Bytes = m_File.Read(h.m_iDataOffset, kHuffmanM4CamfileHeaderSize, "a HuffmanM4 cam file header");
    FByteReader m4 = View(m4Bytes);
    m4.Skip(4);
    const uint64_t columns = m4.U32LE();
    const uint64_t rows = m4.U32LE();
    const uint64_t values = columns * rows;
    const uint64_t decoded = values * 12 / 8;
    if (columns >= 65536 || rows >= 65536 || values > (h.m_iDataSize - kHuffmanM4CamfileHeaderSize) * 8 ||
        decoded > uint64_t(std::numeric_limits<int32_t>::max()))
        ThrowReader("HuffmanM4 cam file size does not match its data.");
    h.m_iDataSize = decoded;
    return h;
}

void FPdxbImageReaderImpl::ReadPropertySection(const PdxbSectionRecord& record, FPropTree* node)
{
    uint32_t magic, version;
    CheckSection(record, "Property", magic, version);
    if (magic != kPropertyMagic)
        ThrowReader("Expected a property section but got something else.");
    if (!IsMajor2Or10(version))
        throw FExceptionPdxbIncompatible("Property list section version");
    if (record.m_iLength < kPropertyHeaderSize)
        ThrowReader("Property section is shorter than its header.");

    const PdxbBytes headBytes = m_File.Read(record.m_iOffset, kPropertyHeaderSize, "a property section header");
    FByteReader head = View(headBytes);
    head.Skip(8);
    const uint32_t count = head.U32LE();
    const uint32_t characterType = head.U32LE();
    const uint32_t encryption = head.U32LE();
    const uint64_t characters = head.U32LE();
    if (characterType != 0)
        ThrowReader("Property list character type not unicode.");
    if (encryption != 0)
        ThrowReader("Encrypted properties are not currently handled.");

    const bool oldLayout = IsOldText(version);
    const uint64_t entrySize = oldLayout ? 12 : 8;
    const uint64_t entriesSize = count * entrySize;
    if (entriesSize + characters * 2 > record.m_iLength - kPropertyHeaderSize)
        ThrowReader("Property list larger than its section.");
    const PdxbBytes body = m_File.Read(record.m_iOffset + kPropertyHeaderSize, entriesSize + characters * 2,
                                   "a property list");
    FByteReader entries = FByteReader(body.data(), static_cast<size_t>(entriesSize), ThrowOverrun);
    const uint8_t* area = body.data() + entriesSize;

    // Where the text starting at each unit ends, found in one pass from the
    // back: a scan per entry would take count x characters steps on a list
    // whose entries all point at one long unterminated text.
    std::vector<uint32_t> terminatorAfter;
    if (!oldLayout) {
        terminatorAfter.resize(static_cast<size_t>(characters));
        uint32_t next = static_cast<uint32_t>(characters); // none
        for (uint64_t i = characters; i-- > 0;) {
            if ((area[2 * i] | area[2 * i + 1]) == 0)
                next = static_cast<uint32_t>(i);
            terminatorAfter[static_cast<size_t>(i)] = next;
        }
    }
    // A zero-terminated text that must end inside the area.
    auto terminated = [&](uint64_t start) {
        if (start >= characters || terminatorAfter[static_cast<size_t>(start)] == characters)
            ThrowReader("Property text lies outside its character area.");
        return Units(area + 2 * start, terminatorAfter[static_cast<size_t>(start)] - start);
    };

    for (uint32_t i = 0; i < count; ++i) {
        std::u16string name, value;
        if (oldLayout) {
            const uint64_t start = entries.U32LE();
            const uint64_t nameLength = entries.U32LE();
            const uint64_t valueLength = entries.U32LE();
            if (start + nameLength + valueLength > characters)
                ThrowReader("Property text lies outside its character area.");
            name = Units(area + 2 * start, nameLength);
            value = Units(area + 2 * (start + nameLength), valueLength);
        } else {
            const uint64_t nameAt = entries.U32LE();
            const uint64_t valueAt = entries.U32LE();
            name = terminated(nameAt);
            value = terminated(valueAt);
        }
        if (node)
            node->AddPair(FString(std::u16string_view(name)), FString(std::u16string_view(value)));
    }
}

void FPdxbImageReaderImpl::ReadEnciphCamfileHeader(PdxbCamfileHeader& header)
{
    if (header.m_iDataSize < kScrambledHeaderSize)
        ThrowReader("Cam file section is shorter than its encrypted header.");
    const PdxbBytes bytes = m_File.Read(header.m_iDataOffset, kScrambledHeaderSize, "an encrypted cam file header");
    FByteReader in = View(bytes);
    if (in.U32LE() != kScrambledMagic)
        ThrowReader("Expected an encrypted CAMb section but got something else.");
    const uint32_t version = in.U32LE();
    if (version < 0x00010000 || version > 0x0001FFFF)
        throw FExceptionPdxbIncompatible("Encrypted CAMb file section version");
    header.m_iDataOffset += kScrambledHeaderSize;
    header.m_iDataSize -= kScrambledHeaderSize;
    header.m_iStoredSize -= kScrambledHeaderSize;
}

void FPdxbImageReaderImpl::DecodedImageSize(const PdxbImageHeader& header, uint32_t& columns, uint32_t& rows) const
{
    uint64_t c, r;
    PdxbDecodedImageSize(header, c, r);
    // Sizes a pixmap cannot have, or rows the data cannot hold, would only make
    // the caller allocate for an image that can never be decoded.
    const uint64_t limit = uint64_t(std::numeric_limits<int32_t>::max());
    if (c > limit || r > limit)
        ThrowReader("Image size out of range.");
    if (header.m_iPixelFormat != PDXB_PIXEL_JPEG && header.m_iPixelFormat != PDXB_PIXEL_HUFFMAN_M4) {
        const uint64_t bytesPerRow = header.m_iRowSize != 0 ? header.m_iRowSize : 4;
        if (uint64_t(header.m_iRows) * bytesPerRow > header.m_iDataSize)
            ThrowReader("Image section too small for its rows.");
    }
    columns = static_cast<uint32_t>(c);
    rows = static_cast<uint32_t>(r);
}

// ---------------------------------------------------------------------------
// Decoders of the image formats and of HuffmanM4 camfiles.

bool FPdxbImageReaderImpl::ReadImageFixedLineLength(const PdxbImageHeader& header, FPixmap* pixmap,
                                                    double* progress, const std::atomic<char>* cancel)
{
    const PdxbBytes data = m_File.Read(header.m_iDataOffset, header.m_iDataSize, "image data");
    return ::ReadImageFixedLineLength(header, data.data(), data.size(), pixmap, progress, cancel);
}

bool FPdxbImageReaderImpl::ReadImageVariableLineLength(const PdxbImageHeader& header, FPixmap* pixmap,
                                                       double* progress, const std::atomic<char>* cancel)
{
    const PdxbBytes data = m_File.Read(header.m_iDataOffset, header.m_iDataSize, "image data");
    return ::ReadImageVariableLineLength(header, data.data(), data.size(), pixmap, progress, cancel);
}

bool FPdxbImageReaderImpl::ReadImageHuffmanM4(const PdxbImageHeader& header, FPixmap* pixmap, double* progress,
                                              const std::atomic<char>* cancel)
{
    // The coded planes stream through windows: the whole section is never held.
    FileSectionBytes data(m_File, header.m_iDataOffset, header.m_iDataSize);
    return ::ReadImageHuffmanM4(header, data, pixmap, progress, cancel);
}

bool FPdxbImageReaderImpl::ReadImageJPEG(const PdxbImageHeader& header, FPixmap* pixmap, double* progress,
                                         const std::atomic<char>*)
{
    const PdxbBytes data = m_File.Read(header.m_iDataOffset, header.m_iDataSize, "the JPEG image");
    const bool done = ::ReadImageJPEG(data.data(), data.size(), pixmap);
    if (done)
        StoreProgress(progress, 1.0);
    return done;
}

bool FPdxbImageReaderImpl::ReadCamfileHuffmanM4(const PdxbCamfileHeader& header, uint8_t* buffer, uint32_t length,
                                                double* progress, const std::atomic<char>* cancel)
{
    const PdxbBytes coded = m_File.Read(header.m_iDataOffset, header.m_iStoredSize, "HuffmanM4 cam file data");
    return ::ReadCamfileHuffmanM4(header, coded.data(), coded.size(), buffer, length, progress, cancel);
}

// ---------------------------------------------------------------------------
// FPdxbImageReader

namespace {

FIFile* OpenForReading(const FString& url)
{
    FIFile* file = OpenFileByURL(url, FIFile::OPEN_READ);
    if (!file)
        throw FExceptionFileNotFound(PdxbUrlText(url).c_str());
    return file;
}

} // namespace

FPdxbImageReader::FPdxbImageReader(const FString& url)
    : m_pImpl(std::make_unique<FPdxbImageReaderImpl>(OpenForReading(url)))
{
    m_pImpl->ReadHeader(url);
}

FPdxbImageReader::~FPdxbImageReader() = default;

int FPdxbImageReader::GetProperties(FPropTree* node)
{
    m_pImpl->ReadDirectory();
    for (const PdxbSectionRecord& record : m_pImpl->m_Sections)
        if (record.m_iEntryType == PDXB_ENTRY_PROP)
            m_pImpl->ReadPropertySection(record, node);
    return static_cast<int>(m_pImpl->m_Sections.size());
}

int FPdxbImageReader::GetCamfileCount() { return m_pImpl->CountSections(PDXB_ENTRY_CAMF); }

void FPdxbImageReader::GetCamfileInfo(int index, uint32_t& size, int32_t& kind)
{
    const PdxbSectionRecord record = m_pImpl->m_Sections[m_pImpl->FindSection(PDXB_ENTRY_CAMF, index)];
    const PdxbCamfileHeader header = m_pImpl->ReadCamfileHeader(record);
    switch (header.m_iCamfileType) {
    case PDXB_CAMFILE_CAMB_HUFFMAN_M4:
        size = static_cast<uint32_t>(header.m_iDataSize);
        kind = 1;
        break;
    case PDXB_CAMFILE_CAMB_ENCRYPTED:
        if (header.m_iDataSize < kScrambledHeaderSize)
            ThrowReader("Cam file section is shorter than its encrypted header.");
        size = static_cast<uint32_t>(header.m_iDataSize - kScrambledHeaderSize);
        kind = 1;
        break;
    default:
        size = static_cast<uint32_t>(header.m_iDataSize);
        kind = static_cast<int32_t>(header.m_iCamfileType);
        break;
    }
}

uint32_t FPdxbImageReader::ReadCamfile(int index, uint8_t* buffer, uint32_t length, double* progress,
                                       const std::atomic<char>* cancel)
{
    const PdxbSectionRecord record = m_pImpl->m_Sections[m_pImpl->FindSection(PDXB_ENTRY_CAMF, index)];
    PdxbCamfileHeader header = m_pImpl->ReadCamfileHeader(record);
    if (!buffer)
        length = 0;
    if (header.m_iCamfileType == PDXB_CAMFILE_CAMB_HUFFMAN_M4) {
        // A cancelled decode leaves the buffer partly filled: it must not pass for camera data.
        if (!m_pImpl->ReadCamfileHuffmanM4(header, buffer, length, progress, cancel))
            return 0;
        return static_cast<uint32_t>(std::min<uint64_t>(length, header.m_iDataSize));
    }
    if (header.m_iCamfileType == PDXB_CAMFILE_CAMB_ENCRYPTED) {
        m_pImpl->ReadEnciphCamfileHeader(header);
        // The scrambling of these sections is unknown: handing out the bytes
        // would pass garbage off as camera data.
        ThrowReader("Encrypted cam file data cannot be read.");
    }

    const uint64_t total = std::min<uint64_t>(length, header.m_iDataSize);
    uint64_t done = 0;
    do {
        const uint64_t chunk = std::min(total - done, kCamfileChunk);
        m_pImpl->m_File.ReadInto(header.m_iDataOffset + done, buffer + done, chunk);
        done += chunk;
        StoreProgress(progress, total ? 1.0 - double(total - done) / double(total) : 1.0);
        if (CancelRequested(cancel))
            return 0;
    } while (done < total);
    return static_cast<uint32_t>(total);
}

int FPdxbImageReader::GetImageCount()
{
    return m_pImpl->CountSections(PDXB_ENTRY_IMAG) + m_pImpl->CountSections(PDXB_ENTRY_IMA2);
}

void FPdxbImageReader::GetImageInfo(int index, uint32_t& columns, uint32_t& rows, int32_t& pixelType,
                                    uint32_t& imageKind)
{
    const PdxbImageHeader header = m_pImpl->ReadImageHeader(m_pImpl->ImageRecord(index));
    m_pImpl->DecodedImageSize(header, columns, rows);
    pixelType = PdxbPixelTypeForFormat(header.m_iPixelFormat);
    imageKind = header.m_iImageKind;
}

bool FPdxbImageReader::GetImage(int index, FPixmap* pixmap, double* progress, const std::atomic<char>* cancel)
{
    const PdxbImageHeader header = m_pImpl->ReadImageHeader(m_pImpl->ImageRecord(index));
    uint32_t columns, rows;
    m_pImpl->DecodedImageSize(header, columns, rows); // refuses sizes the section cannot hold
    CheckPdxbTargetPixmap(header, pixmap);

    if (header.m_iPixelFormat == PDXB_PIXEL_JPEG)
        return m_pImpl->ReadImageJPEG(header, pixmap, progress, cancel);
    if (header.m_iPixelFormat == PDXB_PIXEL_HUFFMAN_M4)
        return m_pImpl->ReadImageHuffmanM4(header, pixmap, progress, cancel);
    if (header.m_iRowSize != 0)
        return m_pImpl->ReadImageFixedLineLength(header, pixmap, progress, cancel);
    return m_pImpl->ReadImageVariableLineLength(header, pixmap, progress, cancel);
}

uint32_t FPdxbImageReader::GetMarkBits() const { return m_pImpl->m_Header.m_iMarkBits; }

uint32_t FPdxbImageReader::GetRotation() const { return m_pImpl->m_Header.m_iRotation; }

const char* FPdxbImageReader::GetWhiteBalance() const
{
    return m_pImpl->m_Header.m_iVersion > PDXB_VERSION_2_0 ? m_pImpl->m_Header.m_sWhiteBalance : nullptr;
}

const char* FPdxbImageReader::GetColorMode() const
{
    const uint32_t version = m_pImpl->m_Header.m_iVersion;
    return version == PDXB_VERSION_2_3 || Major(version) == 3 ? m_pImpl->m_Header.m_sColorMode : nullptr;
}

int FPdxbImageReader::GetExtDataCount() const
{
    return m_pImpl->m_Header.m_iVersion >= PDXB_VERSION_2_1 ? PDXB_EXT_DATA_SLOTS : 0;
}

uint8_t FPdxbImageReader::GetExtDataType(int slot) const
{
    if (slot < 0 || slot >= GetExtDataCount())
        return 0;
    return m_pImpl->m_Header.m_ExtDataTypes[slot];
}

float FPdxbImageReader::GetExtDataValue(int slot) const
{
    if (slot < 0 || slot >= GetExtDataCount())
        return 0.0f;
    return m_pImpl->m_Header.m_ExtDataValues[slot];
}

const uint8_t* FPdxbImageReader::GetUniqueID() const { return m_pImpl->m_Header.m_UniqueID; }

void FPdxbImageReader::GetImageSize(uint32_t& columns, uint32_t& rows) const
{
    columns = m_pImpl->m_Header.m_iColumns;
    rows = m_pImpl->m_Header.m_iRows;
}
