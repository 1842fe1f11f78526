#include "fileio/container/PdxbImageIO.h"
#include "fileio/container/PdxbImageReaderImpl.h"

#include "foundation/FAssert.h"
#include "foundation/FByteReader.h"
#include "foundation/FByteWriter.h"
#include "foundation/FException.h"
#include "foundation/FIFile.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FString.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string_view>

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
            throw FExceptionPdxbIncompatible(PdxbUrlText(path).c_str());
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
