#include "fileio/codecs/TiffIO.h"

#include "fileio/metadata/Exif.h"
#include "foundation/FAssert.h"
#include "foundation/FByteReader.h"
#include "foundation/FByteWriter.h"
#include "foundation/FException.h"
#include "foundation/FIFile.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FString.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace {

// The client data of a handle.
struct FTiffStream {
    FIFile* file = nullptr;
    bool bWritable = false;
    // Set by every write, size change or flush that did not succeed.
    bool bFailed = false;
    // TiffCloseFile reads bFailed after the close and frees the record itself.
    bool bCloseByCaller = false;
    // The EXIF block's position, whose directory entry is made a LONG on close.
    std::optional<uint64_t> exifPosition;
};

FTiffStream* StreamOf(thandle_t handle) { return static_cast<FTiffStream*>(handle); }
FTiffStream* StreamOf(TIFF* tif) { return StreamOf(TIFFClientdata(tif)); }

void ReportException(const char* where, const FException& e)
{
    DebugPrintf("%s: %s (%s)\n", where, e.GetDescription(), e.GetMessage());
}

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size)
{
    try {
        return static_cast<tmsize_t>(StreamOf(handle)->file->Read(buffer, size));
    } catch (const FException& e) {
        ReportException("TIFF read", e);
        return 0;
    }
}

tmsize_t WriteProc(thandle_t handle, void* buffer, tmsize_t size)
{
    FTiffStream* stream = StreamOf(handle);
    try {
        if (stream->file->Write(buffer, size))
            return size;
    } catch (const FException& e) {
        ReportException("TIFF write", e);
    }
    stream->bFailed = true;
    return 0;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence)
{
    constexpr toff_t kFailed = std::numeric_limits<toff_t>::max();
    FTiffStream* stream = StreamOf(handle);
    FIFile* file = stream->file;
    try {
        const int64_t size = file->GetSize();
        const int64_t delta = static_cast<int64_t>(offset);
        int64_t origin = 0;
        if (whence == SEEK_CUR)
            origin = file->Tell();
        else if (whence == SEEK_END)
            origin = size;
        else if (whence != SEEK_SET)
            return kFailed;
        int64_t target = 0;
        if (whence == SEEK_SET) {
            if (offset > toff_t(std::numeric_limits<int64_t>::max()))
                return kFailed;
            target = delta;
        } else if (__builtin_add_overflow(origin, delta, &target)) {
            return kFailed;
        }
        if (target < 0)
            return kFailed;
        // Only a file opened for writing grows: a corrupt offset in a file
        // being read must never change it.
        if (target > size && stream->bWritable)
            file->SetSize(target);
        file->Seek(target);
        return static_cast<toff_t>(file->Tell());
    } catch (const FException& e) {
        ReportException("TIFF seek", e);
        if (stream->bWritable)
            stream->bFailed = true;
        return kFailed;
    }
}

toff_t SizeProc(thandle_t handle)
{
    try {
        return static_cast<toff_t>(StreamOf(handle)->file->GetSize());
    } catch (const FException& e) {
        ReportException("TIFF size", e);
        return 0;
    }
}

int MapProc(thandle_t, void**, toff_t*) { return 0; }

void UnmapProc(thandle_t, void*, toff_t) {}

// The bytes are read into buffers of exactly the size parsed: an overrun is a
// fault of this code, and the close reports it as a failed write.
[[noreturn]] void ThrowOverrun(const char* what) { throw FExceptionTIFF((std::string("TIFF directory: ") + what).c_str()); }

// libtiff types tag 34665 as an IFD (13); the entry is written as a LONG, as
// readers of the EXIF block expect. Walks the file's directories (any byte
// order) and retypes the entry that points at our block.
void PatchExifEntryType(FTiffStream& stream, uint64_t position)
{
    FIFile* file = stream.file;
    uint8_t header[8];
    file->Seek(0);
    if (file->Read(header, 8) != 8)
        return;
    const bool bBig = header[0] == 'M' && header[1] == 'M';
    if (!bBig && !(header[0] == 'I' && header[1] == 'I'))
        return;
    FByteReader head(header, sizeof header, ThrowOverrun);
    head.Skip(2);
    if (head.U16(bBig) != 42)
        return; // a BigTIFF entry stays as libtiff wrote it
    std::set<uint64_t> visited;
    for (uint64_t ifd = head.U32(bBig); ifd != 0 && visited.insert(ifd).second;) {
        uint8_t countBytes[2];
        file->Seek(static_cast<int64_t>(ifd));
        if (file->Read(countBytes, 2) != 2)
            return;
        const uint16_t count = FByteReader(countBytes, 2, ThrowOverrun).U16(bBig);
        std::vector<uint8_t> entries(size_t(count) * 12 + 4);
        if (file->Read(entries.data(), static_cast<int64_t>(entries.size())) != int64_t(entries.size()))
            return;
        FByteReader in(entries.data(), entries.size(), ThrowOverrun);
        for (uint16_t i = 0; i < count; ++i) {
            FByteReader entry = in.Sub(12 * size_t(i), 12);
            const uint16_t tag = entry.U16(bBig);
            entry.Skip(6);
            if (tag != TIFFTAG_EXIFIFD || entry.U32(bBig) != position)
                continue;
            uint8_t longType[2];
            FByteWriter(longType, sizeof longType, ThrowOverrun).PutU16(0, TIFF_LONG, bBig);
            file->Seek(static_cast<int64_t>(ifd + 2 + 12 * uint64_t(i) + 2));
            if (!file->Write(longType, 2))
                stream.bFailed = true;
            return;
        }
        in.Seek(12 * size_t(count));
        ifd = in.U32(bBig);
    }
}

int CloseProc(thandle_t handle)
{
    FTiffStream* stream = StreamOf(handle);
    try {
        if (stream->exifPosition)
            PatchExifEntryType(*stream, *stream->exifPosition);
        if (stream->bWritable && !stream->file->Flush())
            stream->bFailed = true;
    } catch (const FException& e) {
        ReportException("TIFF close", e);
        stream->bFailed = true;
    }
    stream->file->Close();
    stream->file = nullptr;
    if (!stream->bCloseByCaller)
        delete stream;
    return 0;
}

// ---------------------------------------------------------------------------
// Library set-up: handlers and the private tag, before the first open.

TIFFExtendProc g_PreviousExtender = nullptr;

void ExtendTags(TIFF* tif)
{
    static const TIFFFieldInfo kPardexField[] = {
        {TIFFTAG_PARDEX, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_LONG, FIELD_CUSTOM, 1, 1, const_cast<char*>("Pardex")},
    };
    TIFFMergeFieldInfo(tif, kPardexField, 1);
    if (g_PreviousExtender)
        g_PreviousExtender(tif);
}

void SetUpLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetWarningHandler(TiffWarningHandler);
        TIFFSetErrorHandler(TiffErrorHandler);
        g_PreviousExtender = TIFFSetTagExtender(ExtendTags);
    });
}

std::string FormatMessage(const char* format, va_list args)
{
    char buffer[2048];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    return buffer;
}

// Open flags of FIFile for the first mode character; 0 for a bad mode.
int OpenFlagsForMode(const char* mode)
{
    switch (mode ? mode[0] : 0) {
    case 'r': return FIFile::OPEN_READ;
    case 'w': return FIFile::OPEN_READ | FIFile::OPEN_WRITE;
    case 'a': return FIFile::OPEN_READ | FIFile::OPEN_WRITE | FIFile::OPEN_APPEND;
    default: return 0;
    }
}

// ---------------------------------------------------------------------------
// EXIF block relocation

void RelocateIfd(FExifBlockReader& reader, FExifBlockWriter& writer, size_t ifd, uint32_t position,
                 bool bWithMakerNote)
{
    if (!reader.Fits(int64_t(ifd), 2))
        return;
    const uint16_t count = reader.U16(ifd);
    for (uint16_t i = 0; i < count; ++i) {
        const size_t at = ifd + 2 + 12 * size_t(i);
        if (!reader.Fits(int64_t(at), 12))
            return;
        const FExifEntry entry = reader.Entry(at);
        if (entry.tag == 37500 && bWithMakerNote)
            RelocateIfd(reader, writer, size_t(entry.valueField) + 10, position, false);
        if (entry.byteCount > 4)
            writer.PutU32(entry.fieldPosition, entry.valueField + position);
    }
}

} // namespace

void TiffWarningHandler(const char* module, const char* format, va_list args)
{
    const std::string message = FormatMessage(format, args);
    if (module)
        DebugPrintf("%s: Warning, %s.\n", module, message.c_str());
    else
        DebugPrintf("Warning, %s.\n", message.c_str());
}

void TiffErrorHandler(const char* module, const char* format, va_list args)
{
    const std::string message = FormatMessage(format, args);
    if (module)
        DebugPrintf("%s: %s.\n", module, message.c_str());
    else
        DebugPrintf("%s.\n", message.c_str());
}

TIFF* TiffOpenStream(FIFile* file, const char* name, const char* mode)
{
    SetUpLibrary();
    if (!file)
        return nullptr;
    const int flags = OpenFlagsForMode(mode);
    if (flags == 0) {
        TIFFErrorExt(nullptr, "TIFFOpen", "\"%s\": Bad mode", name ? name : "");
        file->Close();
        return nullptr;
    }
    // Only the first character counts; new files are little-endian.
    const char libraryMode[3] = {mode[0], mode[0] == 'w' ? 'l' : '\0', '\0'};
    // The library reads the header from where the file stands: an append
    // handle opens at the end.
    file->Seek(0);
    FTiffStream* stream = new FTiffStream;
    stream->file = file;
    stream->bWritable = (flags & FIFile::OPEN_WRITE) != 0;
    TIFF* tif = TIFFClientOpen(name ? name : "", libraryMode, stream, ReadProc, WriteProc, SeekProc, CloseProc,
                               SizeProc, MapProc, UnmapProc);
    if (!tif) {
        file->Close();
        delete stream;
    }
    return tif;
}

TIFF* TiffOpenFile(const FString& url, const char* mode)
{
    SetUpLibrary();
    const auto utf8 = WideToAnsi(url.GetText());
    std::string name = utf8 ? utf8.get() : url.GetAscii();
    if (name.size() > 1024)
        name.resize(1024);
    const int flags = OpenFlagsForMode(mode);
    if (flags == 0) {
        TIFFErrorExt(nullptr, "TIFFOpen", "\"%s\": Bad mode", name.c_str());
        return nullptr;
    }
    FIFile* file = nullptr;
    try {
        file = OpenFileByURL(url, flags);
    } catch (const FException& e) {
        ReportException("TiffOpenFile", e);
    }
    if (!file) {
        TIFFErrorExt(nullptr, "TIFFOpen", "Cannot open file");
        return nullptr;
    }
    return TiffOpenStream(file, name.c_str(), mode);
}

bool TiffCloseFile(TIFF* tif)
{
    if (!tif)
        return false;
    FTiffStream* stream = StreamOf(tif);
    stream->bCloseByCaller = true;
    const bool bFlushed = TIFFGetMode(tif) == O_RDONLY || TIFFFlush(tif) != 0;
    TIFFClose(tif);
    const bool bOk = bFlushed && !stream->bFailed;
    delete stream;
    return bOk;
}

void RelocateExifBlock(uint8_t* block, size_t length, uint32_t position)
{
    if (!block)
        return;
    FExifBlockReader reader(block, length, 0, false);
    FExifBlockWriter writer(block, length);
    RelocateIfd(reader, writer, 0, position, true);
}

bool TiffWriteExifBlock(TIFF* tif, const uint8_t* block, uint32_t length)
{
    if (!tif || !block || length < 2 || TIFFGetMode(tif) == O_RDONLY)
        return false;
    if (TIFFCurrentRow(tif) != std::numeric_limits<uint32_t>::max()) {
        TIFFErrorExt(TIFFClientdata(tif), "TiffWriteExifBlock", "The EXIF block must come before the first row");
        return false;
    }
    FTiffStream* stream = StreamOf(tif);
    uint64_t position = 0;
    try {
        const int64_t end = stream->file->GetSize();
        position = (uint64_t(end) + 1) & ~uint64_t(1);
        if (position + length > std::numeric_limits<uint32_t>::max())
            return false; // beyond what a classic TIFF offset holds
        const size_t pad = static_cast<size_t>(position - uint64_t(end));
        std::vector<uint8_t> bytes(pad + length, 0);
        std::memcpy(bytes.data() + pad, block, length);
        RelocateExifBlock(bytes.data() + pad, length, static_cast<uint32_t>(position));
        stream->file->Seek(end);
        if (!stream->file->Write(bytes.data(), static_cast<int64_t>(bytes.size()))) {
            stream->bFailed = true;
            return false;
        }
    } catch (const FException& e) {
        ReportException("TiffWriteExifBlock", e);
        stream->bFailed = true;
        return false;
    }
    if (!TIFFSetField(tif, TIFFTAG_EXIFIFD, position))
        return false;
    stream->exifPosition = position;
    return true;
}

bool TiffReadExifBlock(TIFF* tif, uint64_t& fileOffset, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    uint64_t offset = 0;
    if (!tif || !TIFFGetField(tif, TIFFTAG_EXIFIFD, &offset))
        return false;
    FIFile* file = StreamOf(tif)->file;
    try {
        const int64_t size = file->GetSize();
        if (offset >= uint64_t(size))
            return false;
        const size_t length = static_cast<size_t>(std::min<uint64_t>(uint64_t(size) - offset, 65535));
        const int64_t saved = file->Tell();
        bytes.resize(length);
        file->Seek(static_cast<int64_t>(offset));
        const int64_t got = file->Read(bytes.data(), static_cast<int64_t>(length));
        file->Seek(saved);
        if (got != static_cast<int64_t>(length)) {
            bytes.clear();
            return false;
        }
    } catch (const FException& e) {
        ReportException("TiffReadExifBlock", e);
        bytes.clear();
        return false;
    }
    fileOffset = offset;
    return true;
}
