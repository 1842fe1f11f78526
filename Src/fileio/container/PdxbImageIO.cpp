#include "fileio/container/PdxbImageIO.h"

#include "fileio/FProgress.h"
#include "fileio/container/HuffmanM4.h"
#include "fileio/container/PdxbImageDecoding.h"
#include "fileio/container/PdxbJPEGImage.h"
#include "fileio/container/PdxbSectionBytes.h"

#include "foundation/FAssert.h"
#include "foundation/FByteWriter.h"
#include "foundation/FException.h"
#include "foundation/FIFile.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FString.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// Bytes read from the file. They are not cleared first: every byte is
// overwritten by the read or the read throws.
class Bytes {
public:
    explicit Bytes(size_t size) : m_pData(std::make_unique_for_overwrite<uint8_t[]>(size)), m_iSize(size) {}

    uint8_t* data() { return m_pData.get(); }
    const uint8_t* data() const { return m_pData.get(); }
    size_t size() const { return m_iSize; }

private:
    std::unique_ptr<uint8_t[]> m_pData;
    size_t m_iSize;
};

constexpr uint32_t kDirectoryMagic = FourCC("SECd");
constexpr uint32_t kImageMagic = FourCC("SECi");
constexpr uint32_t kCamfileMagic = FourCC("SECc");
constexpr uint32_t kPropertyMagic = FourCC("SECp");
constexpr uint32_t kScrambledMagic = FourCC("FCEb");

constexpr uint32_t kHeaderSize2 = 232;
constexpr uint32_t kHeaderSize23 = 264;
constexpr uint32_t kHeaderSize3 = 272;
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

std::string UrlText(const FString& url)
{
    if (std::unique_ptr<char[]> utf8 = WideToAnsi(url.GetText()))
        return utf8.get();
    return url.GetAscii();
}

// Random access to the container's bytes. Every read is checked against the
// size first, so nothing is ever allocated for bytes the file does not hold.
class PdxbFileBytes {
public:
    // Takes the file over, also when this constructor throws.
    explicit PdxbFileBytes(FIFile* file) : m_pFile(file), m_iSize(static_cast<uint64_t>(m_pFile->GetSize())) {}
    PdxbFileBytes(const PdxbFileBytes&) = delete;
    PdxbFileBytes& operator=(const PdxbFileBytes&) = delete;

    uint64_t Size() const { return m_iSize; }

    Bytes Read(uint64_t offset, uint64_t length, const char* what)
    {
        if (!FByteReader::Fits(m_iSize, offset, length))
            ThrowReader(std::string("Truncated raw file: ") + what + " lies outside the file.");
        Bytes bytes(static_cast<size_t>(length));
        ReadInto(offset, bytes.data(), length);
        return bytes;
    }

    // The caller has checked the range.
    void ReadInto(uint64_t offset, void* destination, uint64_t length)
    {
        if (length == 0)
            return;
        m_pFile->Seek(static_cast<int64_t>(offset));
        m_pFile->ReadExact(destination, static_cast<int64_t>(length));
    }

private:
    FFilePtr m_pFile;
    uint64_t m_iSize;
};

FByteReader View(const Bytes& bytes) { return FByteReader(bytes.data(), bytes.size(), ThrowOverrun); }

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

// The file header in the version-3 layout, whatever the file's version.
struct PdxbNormalHeader {
    uint32_t m_iMagic = 0;
    uint32_t m_iVersion = 0;
    uint32_t m_iHeaderSize = 0;
    uint32_t m_iReserved = 0;
    uint8_t m_UniqueID[16] = {};
    uint32_t m_iMarkBits = 0;
    uint32_t m_iColumns = 0;
    uint32_t m_iRows = 0;
    uint32_t m_iRotation = 0;
    char m_sWhiteBalance[PDXB_NAME_SIZE] = {};
    char m_sColorMode[PDXB_NAME_SIZE] = {};
    uint8_t m_ExtDataTypes[PDXB_EXT_DATA_SLOTS] = {};
    float m_ExtDataValues[PDXB_EXT_DATA_SLOTS] = {};
};

class FPdxbImageReaderImpl {
public:
    explicit FPdxbImageReaderImpl(FIFile* file) : m_File(file) {}

    void ReadHeader(const FString& url);
    void ReadDirectory();
    size_t FindSection(uint32_t entryType, int index);
    int CountSections(uint32_t entryType);
    PdxbImageHeader ReadImageHeader(const PdxbSectionRecord& record);
    PdxbCamfileHeader ReadCamfileHeader(const PdxbSectionRecord& record);
    void ReadPropertySection(const PdxbSectionRecord& record, FPropTree* node);
    void ReadEnciphCamfileHeader(PdxbCamfileHeader& header);
    void DecodedImageSize(const PdxbImageHeader& header, uint32_t& columns, uint32_t& rows) const;
    const PdxbSectionRecord& ImageRecord(int index);

    // Decoders; each is handed a header whose data lies inside the file.
    bool ReadImageFixedLineLength(const PdxbImageHeader& header, FPixmap* pixmap, double* progress,
                                  const std::atomic<char>* cancel);
    bool ReadImageVariableLineLength(const PdxbImageHeader& header, FPixmap* pixmap, double* progress,
                                     const std::atomic<char>* cancel);
    bool ReadImageHuffmanM4(const PdxbImageHeader& header, FPixmap* pixmap, double* progress,
                            const std::atomic<char>* cancel);
    bool ReadImageJPEG(const PdxbImageHeader& header, FPixmap* pixmap, double* progress,
                       const std::atomic<char>* cancel);
    bool ReadCamfileHuffmanM4(const PdxbCamfileHeader& header, uint8_t* buffer, uint32_t length, double* progress,
                              const std::atomic<char>* cancel);

    PdxbFileBytes m_File;
    PdxbNormalHeader m_Header;
    std::vector<PdxbSectionRecord> m_Sections;
    bool m_bDirectoryRead = false;
    uint32_t m_iHeaderBytes = 0; // bytes of the header layout read at offset 0

private:
    void ReadDirectoryAt(uint64_t offset, uint64_t available, int depth, std::set<uint64_t>& visited);
    void ReadDirectoryEntries3(uint64_t offset, uint64_t available, std::vector<PdxbSectionRecord>& entries);
    void ReadDirectoryEntries2(uint64_t offset, uint64_t available, std::vector<PdxbSectionRecord>& entries);
    // The section's magic and version, after checking that it lies in the file.
    void CheckSection(const PdxbSectionRecord& record, const char* name, uint32_t& magic, uint32_t& version);
};

// ---------------------------------------------------------------------------
// Header

void FPdxbImageReaderImpl::ReadHeader(const FString& url)
{
    const uint64_t size = m_File.Size();
    if (size < 4)
        throw FExceptionNotAPdxb(UrlText(url).c_str());
    Bytes start = m_File.Read(0, std::min<uint64_t>(size, 8), "the file header");
    FByteReader first = View(start);
    if (first.U32LE() != PDXB_MAGIC)
        throw FExceptionNotAPdxb(UrlText(url).c_str());
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
        throw FExceptionPdxbIncompatible(UrlText(url).c_str());
    if (size < headerSize)
        ThrowReader("Truncated raw file: the file header is incomplete.");

    m_iHeaderBytes = headerSize;
    const Bytes bytes = m_File.Read(0, headerSize, "the file header");
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
    const Bytes pointerBytes = m_File.Read(pointerAt, pointerSize, "the directory pointer");
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

    const Bytes start = m_File.Read(offset, 8, "a directory section");
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
    const Bytes headBytes = m_File.Read(offset, 16, "a directory section");
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
        const Bytes entryBytes = m_File.Read(offset + position, 20, "a directory entry");
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
    const Bytes countBytes = m_File.Read(offset + 8, 4, "a directory section");
    const uint32_t count = View(countBytes).U32LE();
    if (uint64_t(count) * 12 > available - 12)
        ThrowReader("Directory entry count larger than its section.");

    const Bytes bytes = m_File.Read(offset + 12, uint64_t(count) * 12, "a directory section");
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
    const Bytes bytes = m_File.Read(record.m_iOffset, 8, "a section header");
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
    const Bytes bytes = m_File.Read(record.m_iOffset, fixedSize, "an image section header");
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
    const Bytes bytes = m_File.Read(record.m_iOffset, fixedSize, "a cam file section header");
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
    const Bytes m4Bytes = m_File.Read(h.m_iDataOffset, kHuffmanM4CamfileHeaderSize, "a HuffmanM4 cam file header");
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

    const Bytes headBytes = m_File.Read(record.m_iOffset, kPropertyHeaderSize, "a property section header");
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
    const Bytes body = m_File.Read(record.m_iOffset + kPropertyHeaderSize, entriesSize + characters * 2,
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
    const Bytes bytes = m_File.Read(header.m_iDataOffset, kScrambledHeaderSize, "an encrypted cam file header");
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
    const Bytes data = m_File.Read(header.m_iDataOffset, header.m_iDataSize, "image data");
    return ::ReadImageFixedLineLength(header, data.data(), data.size(), pixmap, progress, cancel);
}

bool FPdxbImageReaderImpl::ReadImageVariableLineLength(const PdxbImageHeader& header, FPixmap* pixmap,
                                                       double* progress, const std::atomic<char>* cancel)
{
    const Bytes data = m_File.Read(header.m_iDataOffset, header.m_iDataSize, "image data");
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
    const Bytes data = m_File.Read(header.m_iDataOffset, header.m_iDataSize, "the JPEG image");
    const bool done = ::ReadImageJPEG(data.data(), data.size(), pixmap);
    if (done)
        StoreProgress(progress, 1.0);
    return done;
}

bool FPdxbImageReaderImpl::ReadCamfileHuffmanM4(const PdxbCamfileHeader& header, uint8_t* buffer, uint32_t length,
                                                double* progress, const std::atomic<char>* cancel)
{
    const Bytes coded = m_File.Read(header.m_iDataOffset, header.m_iStoredSize, "HuffmanM4 cam file data");
    return ::ReadCamfileHuffmanM4(header, coded.data(), coded.size(), buffer, length, progress, cancel);
}

// ---------------------------------------------------------------------------
// FPdxbImageReader

namespace {

FIFile* OpenForReading(const FString& url)
{
    FIFile* file = OpenFileByURL(url, FIFile::OPEN_READ);
    if (!file)
        throw FExceptionFileNotFound(UrlText(url).c_str());
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

// ---------------------------------------------------------------------------
// FPdxbImageWriter

namespace {

constexpr const char* kOpenForWriteFailed = "Error openning file for write.";

// Offsets of the editable fields in the 2.2 and 2.3 layouts.
struct WriterLayout {
    uint32_t extTypes;
    uint32_t extValues;
};
// Header bytes are sized before they are written: a write outside them is a fault of this code.
[[noreturn]] void ThrowWriteOutside(const char* what) { throw FExceptionPdxbWriter(what); }

constexpr uint32_t kMarkBitsAt = 24;
constexpr uint32_t kColumnsAt = 28;
constexpr uint32_t kRotationAt = 36;
constexpr uint32_t kWhiteBalanceAt = 40;
constexpr uint32_t kColorModeAt = 72;

WriterLayout LayoutFor(uint32_t version)
{
    return version > PDXB_VERSION_2_2 ? WriterLayout{104, 136} : WriterLayout{72, 104};
}

} // namespace

class FPdxbImageWriterImpl {
public:
    void OpenForUpdate(const FString& path);
    void Create(const FString& path, uint32_t columns, uint32_t rows);
    // Writes at an absolute offset and returns to where the file was.
    void WriteAt(uint64_t offset, const void* bytes, uint64_t count);

    FFilePtr m_pFile;
    PdxbNormalHeader m_Header; // 2.3 fields; the header size and reserved word stay unused
};

void FPdxbImageWriterImpl::OpenForUpdate(const FString& path)
{
    // Everything is checked through a read-only handle first, so a file that is
    // refused is never opened for writing and stays byte-identical. The
    // read-only attribute is checked here because a privileged process could
    // otherwise write a locked file.
    {
        FIFile* probe = OpenFileByURL(path, FIFile::OPEN_READ);
        if (!probe)
            throw FExceptionPdxbWriter(kOpenForWriteFailed);
        FPdxbImageReaderImpl reader(probe);
        FFileInfo info{};
        probe->GetInfo(info);
        if (info.m_iFlags & FILEINFO_READONLY)
            throw FExceptionPdxbWriter(kOpenForWriteFailed);
        reader.ReadHeader(path);
        const uint32_t version = reader.m_Header.m_iVersion;
        if (version != PDXB_VERSION_2_2 && version != PDXB_VERSION_2_3)
            throw FExceptionPdxbIncompatible(UrlText(path).c_str());
        m_Header = reader.m_Header;
    }
    m_pFile.reset(OpenFileByURL(path, FIFile::OPEN_WRITE | FIFile::OPEN_APPEND | FIFile::OPEN_EXISTING));
    if (!m_pFile)
        throw FExceptionPdxbWriter(kOpenForWriteFailed);
}

void FPdxbImageWriterImpl::Create(const FString& path, uint32_t columns, uint32_t rows)
{
    // Creating truncates an existing file, so a locked one is refused as well.
    FFileInfo info{};
    GetFileInfoByURL(path, info);
    if (info.m_iFlags & FILEINFO_READONLY)
        throw FExceptionPdxbWriter(kOpenForWriteFailed);
    m_pFile.reset(OpenFileByURL(path, FIFile::OPEN_WRITE));
    if (!m_pFile)
        throw FExceptionPdxbWriter(kOpenForWriteFailed);

    PdxbNormalHeader& h = m_Header;
    h = PdxbNormalHeader{};
    h.m_iMagic = PDXB_MAGIC;
    h.m_iVersion = PDXB_VERSION_2_3;
    h.m_iHeaderSize = kHeaderSize23;
    h.m_iColumns = columns;
    h.m_iRows = rows;

    // The identifier is the path's last 8 UTF-16 units with the time added to
    // each 32-bit word; a shorter path contributes all its units, the rest is zero.
    const std::u16string_view text = path.View();
    const size_t units = std::min<size_t>(text.size(), 8);
    FByteWriter id(h.m_UniqueID, sizeof h.m_UniqueID, ThrowWriteOutside);
    for (size_t i = 0; i < units; ++i)
        id.PutU16LE(2 * i, text[text.size() - units + i]);
    const uint32_t now = static_cast<uint32_t>(std::time(nullptr));
    FByteReader idWords(h.m_UniqueID, sizeof h.m_UniqueID, ThrowWriteOutside);
    for (size_t word = 0; word < 4; ++word)
        id.PutU32LE(4 * word, idWords.U32LE() + now);

    uint8_t bytes[kHeaderSize23] = {};
    FByteWriter header(bytes, sizeof bytes, ThrowWriteOutside);
    header.PutU32LE(0, h.m_iMagic);
    header.PutU32LE(4, h.m_iVersion);
    header.PutBytes(8, h.m_UniqueID, sizeof h.m_UniqueID);
    header.PutU32LE(kColumnsAt, columns);
    header.PutU32LE(kColumnsAt + 4, rows);
    WriteAt(0, bytes, sizeof bytes);
    m_pFile->Seek(sizeof bytes);
}

void FPdxbImageWriterImpl::WriteAt(uint64_t offset, const void* bytes, uint64_t count)
{
    const int64_t position = m_pFile->Tell();
    m_pFile->Seek(static_cast<int64_t>(offset));
    const bool written = m_pFile->Write(bytes, static_cast<int64_t>(count));
    m_pFile->Seek(position);
    if (!written)
        throw FExceptionPdxbWriter("Error writing file.");
}

namespace {

// The four bytes of a header field as the file stores it.
struct FieldBytes {
    explicit FieldBytes(uint32_t value) { FByteWriter(bytes, sizeof bytes, ThrowWriteOutside).PutU32LE(0, value); }
    uint8_t bytes[4];
};

} // namespace

FPdxbImageWriter::FPdxbImageWriter(const FString& path, uint32_t columns, uint32_t rows, bool update)
    : m_pImpl(std::make_unique<FPdxbImageWriterImpl>())
{
    if (update)
        m_pImpl->OpenForUpdate(path);
    else
        m_pImpl->Create(path, columns, rows);
}

FPdxbImageWriter::~FPdxbImageWriter() = default;

uint32_t FPdxbImageWriter::GetRotation() const { return m_pImpl->m_Header.m_iRotation; }

void FPdxbImageWriter::SetRotation(uint32_t degrees)
{
    m_pImpl->WriteAt(kRotationAt, FieldBytes(degrees).bytes, 4);
    m_pImpl->m_Header.m_iRotation = degrees;
}

void FPdxbImageWriter::SetMarkBits(uint32_t bits)
{
    m_pImpl->WriteAt(kMarkBitsAt, FieldBytes(bits).bytes, 4);
    m_pImpl->m_Header.m_iMarkBits = bits;
}

bool FPdxbImageWriter::SetWhiteBalance(const char* name)
{
    if (!name)
        return false;
    const size_t length = std::strlen(name);
    if (length >= PDXB_NAME_SIZE) {
        DebugPrintf("In SetWhiteBalance FAILURE: strlen(sWhiteBalance) = %d\n", static_cast<int>(length));
        return false;
    }
    if (m_pImpl->m_Header.m_iVersion <= PDXB_VERSION_2_0) {
        DebugPrintf("In SetWhiteBalance FAILURE: m_iFileVersion = %d\n",
                    static_cast<int>(m_pImpl->m_Header.m_iVersion));
        return false;
    }
    m_pImpl->WriteAt(kWhiteBalanceAt, name, length + 1);
    std::memset(m_pImpl->m_Header.m_sWhiteBalance, 0, PDXB_NAME_SIZE);
    std::memcpy(m_pImpl->m_Header.m_sWhiteBalance, name, length);
    return true;
}

bool FPdxbImageWriter::SetColorMode(const char* name)
{
    if (!name)
        return false;
    const size_t length = std::strlen(name);
    if (length >= PDXB_NAME_SIZE || m_pImpl->m_Header.m_iVersion <= PDXB_VERSION_2_2)
        return false;
    m_pImpl->WriteAt(kColorModeAt, name, length + 1);
    std::memset(m_pImpl->m_Header.m_sColorMode, 0, PDXB_NAME_SIZE);
    std::memcpy(m_pImpl->m_Header.m_sColorMode, name, length);
    return true;
}

int FPdxbImageWriter::GetExtDataCount() const
{
    return m_pImpl->m_Header.m_iVersion >= PDXB_VERSION_2_1 ? PDXB_EXT_DATA_SLOTS : 0;
}

uint8_t FPdxbImageWriter::GetExtDataType(int slot) const
{
    if (slot < 0 || slot >= GetExtDataCount())
        return 0;
    return m_pImpl->m_Header.m_ExtDataTypes[slot];
}

bool FPdxbImageWriter::SetExtDataType(int slot, uint8_t type)
{
    if (slot < 0 || slot >= GetExtDataCount())
        return false;
    m_pImpl->WriteAt(LayoutFor(m_pImpl->m_Header.m_iVersion).extTypes + uint32_t(slot), &type, 1);
    m_pImpl->m_Header.m_ExtDataTypes[slot] = type;
    return true;
}

bool FPdxbImageWriter::SetExtDataValue(int slot, float value)
{
    if (slot < 0 || slot >= GetExtDataCount())
        return false;
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    m_pImpl->WriteAt(LayoutFor(m_pImpl->m_Header.m_iVersion).extValues + 4 * uint32_t(slot), FieldBytes(bits).bytes, 4);
    m_pImpl->m_Header.m_ExtDataValues[slot] = value;
    return true;
}
