#pragma once
// The file object of the disk storage class, over a POSIX file descriptor.
//
// Open flags and what they ask of the system:
//   1       read                      existing file only
//   2, 3    read and write            truncated when it exists, created otherwise
//   6, 7    read and write            opened (position at the end) or created
//   4, 5    5: read; 4: no access     existing file only
//   0       no access                 existing file only
// Writing access to an existing file whose read-only attribute (the owner's
// write bit) is set is refused, also for a process running as root.

#include <cstdint>
#include <vector>

#include "foundation/FIFile.h"
#include "foundation/FString.h"

class FSCFileWin : public FCopyableFile {
public:
    // Text encodings found at opening.
    enum : int {
        TEXT_8BIT = 0,
        TEXT_UTF16_BE = 1,
        TEXT_UTF16_LE = 2,
    };

    // Throws FExceptionFileOpen (empty message) when the file cannot be opened.
    FSCFileWin(const FString& scheme, const FString& nativePath, int flags);
    ~FSCFileWin() override;

    void Seek(int64_t position) override;
    int64_t Tell() const override;
    bool ReadLine(FString& line) override;
    int64_t ReadExact(void* buffer, int64_t count) override;
    int64_t Read(void* buffer, int64_t count) override;
    bool Write(const void* buffer, int64_t count) override;
    bool Flush() override;
    void SetSize(int64_t size) override;
    int64_t GetSize() const override;
    FString GetURL() const override;
    void GetInfo(FFileInfo& info) const override;
    bool SetInfo(const FFileInfo& info) override;

    int GetTextEncoding() const { return m_iTextEncoding; }
    const FString& GetNativePath() const { return m_sNativePath; }

private:
    bool ReadByte(uint8_t& byte);
    bool ReadLine8Bit(FString& line);
    bool ReadLineUtf16(FString& line);
    void DropReadAhead();

    FString m_sScheme;
    FString m_sNativePath;
    int m_hFile = -1;
    int m_iTextEncoding = TEXT_8BIT;
    int64_t m_iPosition = 0;
    // Read-ahead for line reading: bytes of the file from m_iReadAheadStart.
    std::vector<uint8_t> m_ReadAhead;
    int64_t m_iReadAheadStart = 0;
};
