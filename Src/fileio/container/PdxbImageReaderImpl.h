#pragma once
// What the raw container's reader and writer share: the file's bytes read
// with every range checked, the file header in one layout for every version,
// and the reader's state, which the writer uses to check a file before it
// opens it for writing.

#include "fileio/container/PdxbImageIO.h"

#include "foundation/FIFile.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

class FString;
class FPropTree;
class FPixmap;

constexpr uint32_t kHeaderSize2 = 232;
constexpr uint32_t kHeaderSize23 = 264;
constexpr uint32_t kHeaderSize3 = 272;

// Bytes read from the file. They are not cleared first: every byte is
// overwritten by the read or the read throws.
class PdxbBytes {
public:
    explicit PdxbBytes(size_t size) : m_pData(std::make_unique_for_overwrite<uint8_t[]>(size)), m_iSize(size) {}

    uint8_t* data() { return m_pData.get(); }
    const uint8_t* data() const { return m_pData.get(); }
    size_t size() const { return m_iSize; }

private:
    std::unique_ptr<uint8_t[]> m_pData;
    size_t m_iSize;
};

// Random access to the container's bytes. Every read is checked against the
// size first, so nothing is ever allocated for bytes the file does not hold.
class PdxbFileBytes {
public:
    // Takes the file over, also when this constructor throws.
    explicit PdxbFileBytes(FIFile* file) : m_pFile(file), m_iSize(static_cast<uint64_t>(m_pFile->GetSize())) {}
    PdxbFileBytes(const PdxbFileBytes&) = delete;
    PdxbFileBytes& operator=(const PdxbFileBytes&) = delete;

    uint64_t Size() const { return m_iSize; }

    // Throws FExceptionPdxbReader when the range lies outside the file.
    PdxbBytes Read(uint64_t offset, uint64_t length, const char* what);

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

// The file's URL as UTF-8 for error texts.
std::string PdxbUrlText(const FString& url);
