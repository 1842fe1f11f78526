#pragma once
// The core's open-file object. Files come from a storage class
// (OpenFileByURL) and are closed by Close, which also deletes the object.

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/FString.h"

class FIFolder;

// Flag bits of FFileInfo::m_iFlags.
enum : int32_t {
    FILEINFO_READONLY = 1,
    FILEINFO_HIDDEN = 2, // folders only
};

// Times are seconds since 1970-01-01 00:00 UTC, cut to 32 bits.
struct FFileInfo {
    int32_t m_iFlags = 0;
    uint32_t m_uLastWriteTime = 0;
    uint32_t m_uCreationTime = 0;
    uint32_t m_uLastAccessTime = 0;
};

class FIFile {
public:
    // Open flags; see FSCFileWin for what each combination asks of the system.
    enum : int {
        OPEN_READ = 1,
        OPEN_WRITE = 2,
        OPEN_APPEND = 4,
        // With OPEN_WRITE: open only a file that exists, never create one (in-place updates).
        OPEN_EXISTING = 8,
    };

    virtual ~FIFile() = default;

    // Closes the file and deletes the object.
    virtual void Close() { delete this; }
    // Absolute position from the start; a negative position is ignored.
    virtual void Seek(int64_t position) = 0;
    virtual int64_t Tell() const = 0;
    // One line with its terminator (CR, LF or CR LF); false at the end of the file.
    virtual bool ReadLine(FString& line) = 0;
    // Reads count bytes or throws FExceptionEOF; the bytes that did arrive stay
    // in the buffer and the position has advanced by them.
    virtual int64_t ReadExact(void* buffer, int64_t count) = 0;
    // Number of bytes read (0 at the end of the file or after a failure).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // True only when every byte was written.
    virtual bool Write(const void* buffer, int64_t count) = 0;
    virtual bool Flush() = 0;
    // The position is kept, even when it now lies beyond the end. Throws
    // FExceptionFileWrite when the size cannot be changed.
    virtual void SetSize(int64_t size) = 0;
    virtual int64_t GetSize() const = 0;
    virtual FString GetURL() const = 0;
    // Sets bit 0 of the flags from the read-only attribute and the three times;
    // the other flag bits are left as they were.
    virtual void GetInfo(FFileInfo& info) const = 0;
    // Applies bit 0 (read-only) only; times are not changed.
    virtual bool SetInfo(const FFileInfo& info) = 0;
};

// Chunked copying of this file to another URL.
class FCopyableFile : public FIFile {
public:
    FCopyableFile() = default;
    FCopyableFile(const FCopyableFile&) = delete;
    FCopyableFile& operator=(const FCopyableFile&) = delete;
    ~FCopyableFile() override;

    // Opens (creating missing folders) and truncates the destination; total out
    // gets this file's size. Throws FException "Copy in Progress!" when a copy
    // is already open; false when the destination cannot be opened.
    virtual bool BeginCopy(const FString& destinationURL, int64_t chunkSize, int64_t* totalSize = nullptr);
    // Copies up to count bytes (at most one chunk) from the current position;
    // the result of the destination write. Throws FException "Destination file
    // not opened!" without a copy in progress.
    virtual bool CopyChunk(int64_t count);
    // Closes the destination. Throws like CopyChunk without a copy in progress.
    virtual void EndCopy();

private:
    void CloseCopyDestination();

    FIFolder* m_pCopyFolder = nullptr;
    FIFile* m_pCopyFile = nullptr;
    int64_t m_iCopyChunkSize = 0;
    std::vector<uint8_t> m_CopyBuffer;
};

// Owning handles that close on scope exit.
struct FIFileCloser {
    void operator()(FIFile* file) const
    {
        if (file != nullptr)
            file->Close();
    }
};
using FFilePtr = std::unique_ptr<FIFile, FIFileCloser>;
