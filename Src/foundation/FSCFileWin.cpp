#include "foundation/FSCFileWin.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/FException.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "foundation/FSCDiskWin.h"

namespace {

constexpr size_t kReadAheadSize = 4096;
// Largest single system read or write; bigger requests loop.
constexpr int64_t kMaxTransfer = int64_t(1) << 30;

constexpr char16_t kCR = 13;
constexpr char16_t kLF = 10;

int OpenModeFor(int flags)
{
    if (flags & FIFile::OPEN_WRITE)
        return O_RDWR | ((flags & FIFile::OPEN_EXISTING) ? 0 : O_CREAT) |
               ((flags & FIFile::OPEN_APPEND) ? 0 : O_TRUNC);
    if (flags & FIFile::OPEN_READ)
        return O_RDONLY;
    // Flags 0 and 4: the file is opened for its information only.
    return O_PATH;
}

uint32_t ToFileInfoTime(int64_t seconds)
{
    // Times before 1970 wrap, as unsigned arithmetic would make them.
    return static_cast<uint32_t>(static_cast<uint64_t>(seconds));
}

[[noreturn]] void ThrowOpenFailed()
{
    throw FExceptionFileOpen();
}

} // namespace

FSCFileWin::FSCFileWin(const FString& scheme, const FString& nativePath, int flags)
    : m_sScheme(scheme), m_sNativePath(nativePath)
{
    std::string path;
    if (!PathToNative(nativePath, path) || path.empty())
        ThrowOpenFailed();

    if (flags & OPEN_WRITE) {
        // The kernel lets root write a read-only file; the attribute still
        // protects it here. Anything but a regular file is never truncated.
        struct stat existing {};
        if (stat(path.c_str(), &existing) == 0) {
            if (!S_ISREG(existing.st_mode) || (existing.st_mode & S_IWUSR) == 0)
                ThrowOpenFailed();
        }
    }

    const int mode = OpenModeFor(flags);
    // Non-blocking, so that a FIFO met on the way cannot hang the opener.
    const int extra = (mode == O_PATH) ? 0 : O_NONBLOCK;
    do {
        m_hFile = open(path.c_str(), mode | extra | O_CLOEXEC, 0666);
    } while (m_hFile < 0 && errno == EINTR);
    if (m_hFile < 0)
        ThrowOpenFailed();

    struct stat info {};
    if (fstat(m_hFile, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(m_hFile);
        m_hFile = -1;
        ThrowOpenFailed();
    }
    if (extra != 0)
        fcntl(m_hFile, F_SETFL, fcntl(m_hFile, F_GETFL) & ~O_NONBLOCK);

    if (info.st_size > 1) {
        uint8_t bom[2] = {0, 0};
        if (Read(bom, 2) == 2) {
            if (bom[0] == 0xFF && bom[1] == 0xFE)
                m_iTextEncoding = TEXT_UTF16_LE;
            else if (bom[0] == 0xFE && bom[1] == 0xFF)
                m_iTextEncoding = TEXT_UTF16_BE;
        }
        Seek(0);
    }
    if ((flags & OPEN_WRITE) && (flags & OPEN_APPEND))
        Seek(GetSize());
}

FSCFileWin::~FSCFileWin()
{
    if (m_hFile >= 0)
        close(m_hFile);
}

void FSCFileWin::Seek(int64_t position)
{
    if (position >= 0)
        m_iPosition = position;
}

int64_t FSCFileWin::Tell() const
{
    return m_iPosition;
}

void FSCFileWin::DropReadAhead()
{
    m_ReadAhead.clear();
}

int64_t FSCFileWin::Read(void* buffer, int64_t count)
{
    if (count <= 0 || buffer == nullptr)
        return 0;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;

    // Served from the read-ahead first, when it covers the position.
    const int64_t aheadEnd = m_iReadAheadStart + static_cast<int64_t>(m_ReadAhead.size());
    if (m_iPosition >= m_iReadAheadStart && m_iPosition < aheadEnd) {
        const int64_t take = std::min(count, aheadEnd - m_iPosition);
        std::memcpy(out, m_ReadAhead.data() + (m_iPosition - m_iReadAheadStart), static_cast<size_t>(take));
        done += take;
        m_iPosition += take;
    }
    while (done < count) {
        const int64_t ask = std::min(count - done, kMaxTransfer);
        const ssize_t got = pread(m_hFile, out + done, static_cast<size_t>(ask), m_iPosition);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
        m_iPosition += got;
    }
    return done;
}

int64_t FSCFileWin::ReadExact(void* buffer, int64_t count)
{
    if (count < 0)
        throw FExceptionEOF();
    if (Read(buffer, count) < count)
        throw FExceptionEOF();
    return count;
}

bool FSCFileWin::Write(const void* buffer, int64_t count)
{
    if (count < 0 || (buffer == nullptr && count > 0))
        return false;
    DropReadAhead();
    const uint8_t* in = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int64_t ask = std::min(count - done, kMaxTransfer);
        const ssize_t put = pwrite(m_hFile, in + done, static_cast<size_t>(ask), m_iPosition);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false; // full disk, I/O error or no write access
        done += put;
        m_iPosition += put;
    }
    return true;
}

bool FSCFileWin::Flush()
{
    return fsync(m_hFile) == 0;
}

void FSCFileWin::SetSize(int64_t size)
{
    DropReadAhead();
    if (size < 0 || ftruncate(m_hFile, size) != 0)
        throw FExceptionFileWrite("FSCFileWin::SetSize");
}

int64_t FSCFileWin::GetSize() const
{
    struct stat info {};
    if (fstat(m_hFile, &info) != 0)
        return 0;
    return info.st_size;
}

FString FSCFileWin::GetURL() const
{
    FArray<FString> parts;
    NativePathToURLParts(m_sNativePath, parts);
    parts.InsertAt(0, m_sScheme);
    FString url;
    JoinURL(parts, url, false);
    return url;
}

void FSCFileWin::GetInfo(FFileInfo& info) const
{
    struct statx sx {};
    if (statx(m_hFile, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
        info.m_iFlags |= FILEINFO_READONLY;
        return;
    }
    if (sx.stx_mode & S_IWUSR)
        info.m_iFlags &= ~FILEINFO_READONLY;
    else
        info.m_iFlags |= FILEINFO_READONLY;
    info.m_uLastWriteTime = ToFileInfoTime(sx.stx_mtime.tv_sec);
    // Not every file system keeps a birth time; the status-change time is the
    // nearest stand-in.
    info.m_uCreationTime = ToFileInfoTime((sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_ctime.tv_sec);
    info.m_uLastAccessTime = ToFileInfoTime(sx.stx_atime.tv_sec);
}

bool FSCFileWin::SetInfo(const FFileInfo& info)
{
    struct stat st {};
    if (fstat(m_hFile, &st) != 0)
        return false;
    mode_t mode = st.st_mode & 07777;
    if (info.m_iFlags & FILEINFO_READONLY)
        mode &= ~(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    if (fchmod(m_hFile, mode) == 0)
        return true;
    // A file opened for its information only has a descriptor fchmod refuses.
    std::string path;
    return errno == EBADF && PathToNative(m_sNativePath, path) && chmod(path.c_str(), mode) == 0;
}

// ---- Line reading

bool FSCFileWin::ReadByte(uint8_t& byte)
{
    const int64_t aheadEnd = m_iReadAheadStart + static_cast<int64_t>(m_ReadAhead.size());
    if (m_iPosition < m_iReadAheadStart || m_iPosition >= aheadEnd) {
        m_ReadAhead.resize(kReadAheadSize);
        ssize_t got;
        do {
            got = pread(m_hFile, m_ReadAhead.data(), kReadAheadSize, m_iPosition);
        } while (got < 0 && errno == EINTR);
        m_ReadAhead.resize(got > 0 ? static_cast<size_t>(got) : 0);
        m_iReadAheadStart = m_iPosition;
        if (got <= 0)
            return false;
    }
    byte = m_ReadAhead[static_cast<size_t>(m_iPosition - m_iReadAheadStart)];
    ++m_iPosition;
    return true;
}

bool FSCFileWin::ReadLine(FString& line)
{
    line.Empty();
    return m_iTextEncoding == TEXT_8BIT ? ReadLine8Bit(line) : ReadLineUtf16(line);
}

bool FSCFileWin::ReadLine8Bit(FString& line)
{
    uint8_t byte = 0;
    bool lastWasCR = false;
    while (ReadByte(byte)) {
        line += static_cast<char>(byte);
        if (byte == kCR || byte == kLF) {
            lastWasCR = byte == kCR;
            break;
        }
    }
    if (line.GetLength() == 0)
        return false;
    if (lastWasCR) {
        const int64_t mark = Tell();
        uint8_t next = 0;
        if (ReadByte(next)) {
            if (next == kLF)
                line += static_cast<char>(next);
            else
                Seek(mark);
        }
    }
    return true;
}

bool FSCFileWin::ReadLineUtf16(FString& line)
{
    if (Tell() < 2)
        Seek(2); // past the byte-order mark
    auto readUnit = [this](char16_t& unit) {
        uint8_t first = 0;
        uint8_t second = 0;
        const int64_t start = Tell();
        if (!ReadByte(first))
            return false;
        if (!ReadByte(second)) {
            // A lone last byte is no unit; it stays unread.
            Seek(start);
            return false;
        }
        unit = m_iTextEncoding == TEXT_UTF16_BE ? static_cast<char16_t>((first << 8) | second)
                                                : static_cast<char16_t>((second << 8) | first);
        return true;
    };

    char16_t unit = 0;
    bool lastWasCR = false;
    while (readUnit(unit)) {
        line += unit;
        if (unit == kCR || unit == kLF) {
            lastWasCR = unit == kCR;
            break;
        }
    }
    if (line.GetLength() == 0)
        return false;
    if (lastWasCR) {
        const int64_t mark = Tell();
        if (readUnit(unit)) {
            if (unit == kLF)
                line += unit;
            else
                Seek(mark);
        }
    }
    return true;
}
