#pragma once
// Shared by the TIFF and JPEG reader and writer tests: files in a temporary
// folder as bytes, a plain reading of TIFF directories and JPEG markers, JPEG
// streams made and decoded by libjpeg itself as the reference, and the
// command-line tools of libtiff and libjpeg as independent checks.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/FPixmap.h"
#include "foundation/FString.h"
#include "support/TempFileTest.h"
#include "support/JpegEncoder.h"
#include "support/TestPixmap.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

class ImageFileTest : public TempFileTest {
protected:
    Bytes FileBytes(const std::string& name) const;
    void WriteBytes(const std::string& name, const Bytes& bytes) const;
    bool Exists(const std::string& name) const { return std::filesystem::exists(PathOf(name)); }
};

// Keeps the files this process writes below a size, so that a writer meets a
// "full disk" (the write fails with EFBIG instead of raising SIGXFSZ).
class FileSizeLimit {
public:
    explicit FileSizeLimit(uint64_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    uint64_t m_OldSoftLimit;
    void (*m_OldHandler)(int);
};

// ---- TIFF files

struct TiffEntry {
    uint16_t type = 0;
    uint32_t count = 0;
    uint32_t field = 0;  // the value field as a number
    Bytes data;          // the value's bytes (in the field or at its offset)
};
// The first directory of a classic TIFF, by tag; empty when it cannot be read.
std::map<uint16_t, TiffEntry> ReadTiffDirectory(const Bytes& file);
uint32_t TiffNumber(const Bytes& file, const TiffEntry& entry, size_t index = 0);

// ---- JPEG streams

struct JpegMarker {
    uint8_t code = 0;
    Bytes data;  // without the length word
};
// The markers from SOI to the first SOS, in file order.
std::vector<JpegMarker> ReadJpegMarkers(const Bytes& file);


struct DecodedJpeg {
    uint32_t columns = 0;
    uint32_t rows = 0;
    int components = 0;
    Bytes pixels;  // rows x columns x components
};
// Decodes with libjpeg at scale 1 / 2^n; the reference for the reader.
DecodedJpeg DecodeJpeg(const Bytes& file, int n);

// ---- Command-line tools

bool ToolAvailable(const std::string& name);
// Runs the command (arguments passed to the shell as given); its exit status
// and its standard output.
struct ToolResult {
    int status = -1;
    std::string output;
};
ToolResult RunTool(const std::string& command);
// A PGM or PPM file as written by djpeg.
std::optional<DecodedJpeg> ReadPnm(const std::string& bytes);

} // namespace testsupport
