#pragma once
// Writes raw containers ("PDXb" files) for tests, benchmarks and fuzz seeds.
//
// Every structure of the container has a description record and a function
// that turns it into bytes; `PdxbBuilder` lays sections and directories out into
// a whole file and reports where everything went, so a test can corrupt any field of
// the result by patching bytes at a known position. Section payloads (image
// data, camfile data) are taken as bytes; encoders of pixel formats and camera
// data produce such payloads and live beside these functions.

#include "foundation/FByteReader.h" // FourCC

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

using PdxbBytes = std::vector<uint8_t>;

// Version words. "1.0" is the four bytes '1' '.' '0' 0.
constexpr uint32_t kPdxbVersion1_0 = 0x00302E31;
constexpr uint32_t PdxbVersion(uint32_t major, uint32_t minor) { return major << 16 | minor; }

constexpr uint32_t kPdxbProp = FourCC("PROP");
constexpr uint32_t kPdxbCamf = FourCC("CAMF");
constexpr uint32_t kPdxbImag = FourCC("IMAG");
constexpr uint32_t kPdxbIma2 = FourCC("IMA2");
constexpr uint32_t kPdxbDirp = FourCC("DIRP");

// Little-endian writing and patching.
void PutU8(PdxbBytes& out, uint8_t value);
void PutU16(PdxbBytes& out, uint16_t value);
void PutU32(PdxbBytes& out, uint32_t value);
void PutF32(PdxbBytes& out, float value);
void PutCode(PdxbBytes& out, uint32_t code);
void PutBytes(PdxbBytes& out, const PdxbBytes& bytes);
void PatchU32(PdxbBytes& bytes, uint64_t position, uint32_t value);
uint32_t PeekU32(const PdxbBytes& bytes, uint64_t position);

// The file header. Versions 2.0 to 2.2, "1.0" and unknown words give the
// 232-byte layout, 2.3 the 264-byte one, major 3 the 272-byte one (longer when
// v3HeaderSize asks for more; the surplus is zero).
struct PdxbHeaderSpec {
    uint32_t magic = FourCC("PDXb");
    uint32_t version = PdxbVersion(2, 3);
    uint32_t v3HeaderSize = 272;
    uint32_t v3Reserved = 0;
    std::array<uint8_t, 16> uniqueId{};
    uint32_t markBits = 0;
    uint32_t columns = 0;
    uint32_t rows = 0;
    uint32_t rotation = 0;
    std::string whiteBalance; // at most 31 bytes are stored
    std::string colorMode;    // stored by 2.3 and 3 only
    std::array<uint8_t, 32> extTypes{};
    std::array<float, 32> extValues{};
};
PdxbBytes BuildPdxbHeader(const PdxbHeaderSpec& desc);
// Byte offsets of the editable fields in the layout of the given version word.
struct PdxbHeaderOffsets {
    uint32_t size, markBits, columns, rows, rotation, whiteBalance, colorMode, extTypes, extValues;
};
PdxbHeaderOffsets PdxbHeaderLayout(uint32_t version);

struct PdxbProperty {
    std::u16string name;
    std::u16string value;
};
// Version 2 (and other 2.x) entries are {name offset, value offset} into an area
// of zero-terminated strings; "1.0" entries are {offset, name length, value length}.
struct PdxbPropertySpec {
    uint32_t version = PdxbVersion(2, 0);
    uint32_t characterType = 0;
    uint32_t encryption = 0;
    std::vector<PdxbProperty> pairs;
};
PdxbBytes BuildPdxbPropertySection(const PdxbPropertySpec& desc);
// Positions inside a property section, for corrupting tests.
constexpr uint64_t kPdxbPropEntryCountAt = 8;
constexpr uint64_t kPdxbPropCharCountAt = 20;
constexpr uint64_t kPdxbPropEntriesAt = 24;

// An image section. Major 3 writes the 36-byte header (longer when headerSize
// asks for it), anything else the 28-byte one. The data follows as given.
struct PdxbImageSpec {
    uint32_t version = PdxbVersion(2, 0);
    uint32_t headerSize = 36;
    uint32_t kind = 1;
    uint32_t pixelFormat = 0;
    uint32_t columns = 0;
    uint32_t rows = 0;
    uint32_t rowSize = 0;
    uint32_t reserved = 0;
    PdxbBytes data;
};
PdxbBytes BuildPdxbImageSection(const PdxbImageSpec& desc);
// One of the pictures a camera embeds (image kind 2): pixel format 18 with a
// JPEG stream (rowSize 0), or 3 with RGB rows of rowSize bytes.
PdxbImageSpec PdxbEmbeddedPicture(uint32_t pixelFormat, uint32_t columns, uint32_t rows, PdxbBytes data,
                                  uint32_t rowSize = 0);

// A camfile section: 16-byte header for major 2 and "1.0", 24 bytes (or
// headerSize) for major 3.
struct PdxbCamfileSpec {
    uint32_t version = PdxbVersion(2, 0);
    uint32_t headerSize = 24;
    uint32_t type = 0;
    uint32_t dataLength = 0;
    uint32_t reserved = 0;
    PdxbBytes data;
};
PdxbBytes BuildPdxbCamfileSection(const PdxbCamfileSpec& desc);
// The 12-byte inner header of a scrambled (type 2) camfile, followed by payload.
PdxbBytes PdxbScrambledCamfileData(uint32_t magic, uint32_t version, uint32_t parameter, const PdxbBytes& payload);
// The 44-byte header of a HuffmanM4 (type 4) camfile, followed by coded bits.
PdxbBytes PdxbHuffmanM4CamfileData(uint32_t predictor, uint32_t columns, uint32_t rows, const PdxbBytes& coded);

// A directory. Major 3 uses headerSize and entrySize (16 and 20 at least; the
// surplus is zero); anything else the 12-byte entries.
struct PdxbDirectorySpec {
    uint32_t version = PdxbVersion(2, 0);
    uint32_t headerSize = 16;
    uint32_t entrySize = 20;
};
struct PdxbEntry {
    uint32_t type;
    uint64_t offset;
    uint32_t length;
};
PdxbBytes BuildPdxbDirectorySection(const PdxbDirectorySpec& desc, const std::vector<PdxbEntry>& entries);
uint64_t PdxbDirectorySize(const PdxbDirectorySpec& desc, size_t entryCount);

// A laid-out file and where its parts are.
struct PdxbFile {
    PdxbBytes bytes;
    std::vector<uint64_t> sectionOffsets;              // by section id
    std::vector<uint64_t> directoryOffsets;            // by directory id; 0 is the top
    std::vector<std::vector<uint64_t>> entryPositions; // by directory id, file position of each entry
    uint64_t pointerPosition = 0;

    std::string Str() const { return std::string(bytes.begin(), bytes.end()); }
    void WriteTo(const std::filesystem::path& path) const;
    // Points entry `entry` of directory `directory` at another offset (both layouts).
    void RetargetEntry(int directory, int entry, uint64_t offset);
    void SetEntryLength(int directory, int entry, uint32_t length);
};

class PdxbBuilder {
public:
    static constexpr int kTop = 0;

    explicit PdxbBuilder(const PdxbHeaderSpec& header = {}, const PdxbDirectorySpec& top = {});

    PdxbHeaderSpec& Header() { return m_Header; }
    PdxbDirectorySpec& Directory(int directory = kTop) { return m_Directories.at(directory).desc; }

    // A nested directory reached through a "DIRP" entry in the parent; returns its id.
    int AddDirectory(const PdxbDirectorySpec& desc = {}, int parent = kTop);
    // Any section bytes under any entry type; returns the section id.
    int AddSection(uint32_t entryType, PdxbBytes section, int directory = kTop);
    int AddProperties(const PdxbPropertySpec& desc, int directory = kTop);
    int AddImage(const PdxbImageSpec& desc, uint32_t entryType = kPdxbImag, int directory = kTop);
    int AddCamfile(const PdxbCamfileSpec& desc, int directory = kTop);
    // An entry pointing wherever the caller says, with no section behind it.
    void AddRawEntry(uint32_t type, uint64_t offset, uint32_t length, int directory = kTop);

    PdxbFile Build() const;

private:
    struct Item { // one directory entry before layout
        enum Kind { Section, Directory, Raw } kind;
        uint32_t type;
        int id; // section or directory id
        uint64_t offset;
        uint32_t length;
    };
    struct Dir {
        PdxbDirectorySpec desc;
        std::vector<Item> items;
    };

    PdxbHeaderSpec m_Header;
    std::vector<Dir> m_Directories;
    std::vector<PdxbBytes> m_Sections;
};

} // namespace testsupport
