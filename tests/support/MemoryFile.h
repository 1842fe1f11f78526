#pragma once
// An FIFile over bytes in memory whose writes can be made to fail after a
// given number of bytes: a full disk on demand for the codec and writer tests.

#include "foundation/FIFile.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace testsupport {

class MemoryFile : public FIFile {
public:
    // The bytes outlive the file object (Close deletes it).
    explicit MemoryFile(std::shared_ptr<std::vector<uint8_t>> bytes,
                        int64_t writeLimit = std::numeric_limits<int64_t>::max());

    void Seek(int64_t position) override;
    int64_t Tell() const override { return m_Position; }
    bool ReadLine(FString& line) override;
    int64_t ReadExact(void* buffer, int64_t count) override;
    int64_t Read(void* buffer, int64_t count) override;
    // Fails (writing only what fits) once the file would grow beyond the limit.
    bool Write(const void* buffer, int64_t count) override;
    bool Flush() override { return !m_bWriteFailed; }
    void SetSize(int64_t size) override;
    int64_t GetSize() const override { return static_cast<int64_t>(m_Bytes->size()); }
    FString GetURL() const override { return FString("memory://"); }
    void GetInfo(FFileInfo&) const override {}
    bool SetInfo(const FFileInfo&) override { return false; }

private:
    std::shared_ptr<std::vector<uint8_t>> m_Bytes;
    int64_t m_WriteLimit;
    int64_t m_Position = 0;
    bool m_bWriteFailed = false;
};

// Lowers the process's file-size limit, so writes of real files beyond it fail
// the way a full disk fails them (the signal that would end the process is
// ignored meanwhile). Restores both on destruction.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(uint64_t bytes);
    ~ScopedFileSizeLimit();
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    uint64_t m_OldSoftLimit;
    void (*m_OldHandler)(int);
};

} // namespace testsupport
