#pragma once
// The raw container ("PDXb" files): reading every header, directory and section
// version, and updating the editable header fields in place.
//
// All numbers in the file are little-endian; the 64-bit offsets of version 3 are
// two 32-bit words, high word first. Every offset, count and length taken from a
// file is checked against the file and its section before it is used, so a
// corrupt file raises FExceptionPdxbReader instead of reading out of bounds.

#include "foundation/FByteReader.h"

#include <atomic>
#include <cstdint>
#include <memory>

class FString;
class FPropTree;
class FPixmap;

// Version words: 0x0002mmmm is 2.m, 0x0003mmmm is 3.m; "1.0" is the bytes
// '1' '.' '0' 0 and is laid out like 2.0 to 2.2.
constexpr uint32_t PDXB_VERSION_1_0 = 0x00302E31;
constexpr uint32_t PDXB_VERSION_2_0 = 0x00020000;
constexpr uint32_t PDXB_VERSION_2_1 = 0x00020001;
constexpr uint32_t PDXB_VERSION_2_2 = 0x00020002;
constexpr uint32_t PDXB_VERSION_2_3 = 0x00020003;

constexpr uint32_t PDXB_MAGIC = FourCC("PDXb");
constexpr int PDXB_EXT_DATA_SLOTS = 32;
constexpr int PDXB_NAME_SIZE = 32; // names hold at most 31 characters and a zero

enum PdxbEntryType : uint32_t {
    PDXB_ENTRY_PROP = FourCC("PROP"),
    PDXB_ENTRY_CAMF = FourCC("CAMF"),
    PDXB_ENTRY_IMAG = FourCC("IMAG"),
    PDXB_ENTRY_IMA2 = FourCC("IMA2"),
    PDXB_ENTRY_DIRP = FourCC("DIRP"),
};

// Image sections' pixel formats. Codes 7, 10, 15, 19, 23 and those above 30
// have no pixel type and never decode; what each code decodes to is the
// format table of PdxbImageDecoding.
enum PdxbPixelFormat : uint32_t {
    PDXB_PIXEL_48RGB_ROWS = 0,         // fixed rows copied as stored
    PDXB_PIXEL_30RGB_ROWS = 1,
    PDXB_PIXEL_RESAMPLED = 2,          // fixed rows without a decoder (refused)
    PDXB_PIXEL_24RGB_ROWS = 3,
    PDXB_PIXEL_PACKED12_RGB = 4,       // packed 12-bit R, G, B interleaved
    PDXB_PIXEL_CURVE10_RGB = 5,        // a curve, then three 10-bit curve indices per pixel
    PDXB_PIXEL_HUFFMAN_10BIT = 6,      // variable rows
    PDXB_PIXEL_16MONO_ROWS = 8,
    PDXB_PIXEL_PACKED12_GREY = 9,
    PDXB_PIXEL_HUFFMAN_8BIT = 11,      // variable rows
    PDXB_PIXEL_PLANES16_RGB = 12,      // three planes of 16-bit samples
    PDXB_PIXEL_PLANES12_RGB = 13,      // three packed 12-bit planes R, G, B
    PDXB_PIXEL_PLANES16_2X2 = 14,      // six 16-bit planes (four green, blue, red), doubled
    PDXB_PIXEL_PLANES12_2X2 = 16,      // as 14 with packed 12-bit planes
    PDXB_PIXEL_GREY12_2X2 = 17,        // four packed 12-bit grey planes, doubled
    PDXB_PIXEL_JPEG = 18,              // a JPEG stream
    PDXB_PIXEL_TWO_GREEN_HALF_BR = 20, // two green rows, half-width blue and red; rows doubled
    PDXB_PIXEL_HALF_BR = 21,           // green, half-width blue and red
    PDXB_PIXEL_TWO_GREEN_FULL_BR = 22, // two green rows, full-width blue and red; rows doubled
    PDXB_PIXEL_PLANES12_GBR = 24,      // three packed 12-bit planes G, B, R
    PDXB_PIXEL_YCBCR12_2X2 = 25,       // packed 12-bit YCbCr, a chroma pair per 2 x 2 block; doubled
    PDXB_PIXEL_YCBCR8_422 = 26,
    PDXB_PIXEL_YCBCR12_422 = 27,
    PDXB_PIXEL_YCBCR12_444 = 28,
    PDXB_PIXEL_48SRGB_ROWS = 29,
    PDXB_PIXEL_HUFFMAN_M4 = 30,        // HuffmanM4 planes
};

enum PdxbCamfileType : uint32_t {
    PDXB_CAMFILE_CAMB_ENCRYPTED = 2,
    PDXB_CAMFILE_CAMB_HUFFMAN_M4 = 4,
};

// Types of the extended-data slots (type 11 is not used).
enum PdxbExtDataType : uint8_t {
    PDXB_EXT_FREE = 0,
    PDXB_EXT_EXPOSURE = 1,
    PDXB_EXT_CONTRAST = 2,
    PDXB_EXT_SHADOW = 3,
    PDXB_EXT_HIGHLIGHT = 4,
    PDXB_EXT_SATURATION = 5,
    PDXB_EXT_SHARPNESS = 6,
    PDXB_EXT_COLOR_ADJ_RED = 7,
    PDXB_EXT_COLOR_ADJ_GREEN = 8,
    PDXB_EXT_COLOR_ADJ_BLUE = 9,
    PDXB_EXT_FILLFLASH = 10,
    PDXB_EXT_CHROMANOISE = 12,
    PDXB_EXT_LUMANOISE = 13,
};

// One entry of the directory, from any directory version.
struct PdxbSectionRecord {
    uint32_t m_iEntrySize;   // 12 for version-2 directories, the entry's own size for version 3
    uint64_t m_iOffset;      // absolute offset of the section
    uint32_t m_iLength;      // section length, header included
    uint32_t m_iEntryType;   // four-character code
};

// An image section's header, with where its data lies in the file.
struct PdxbImageHeader {
    uint32_t m_iMagic;
    uint32_t m_iVersion;
    uint32_t m_iHeaderSize;  // 28 for version 2 and "1.0", the field for version 3
    uint32_t m_iImageKind;
    uint32_t m_iPixelFormat;
    uint32_t m_iColumns;     // as stored
    uint32_t m_iRows;        // as stored
    uint32_t m_iRowSize;     // 0 for variable-length rows
    uint32_t m_iReserved;
    uint64_t m_iDataOffset;  // absolute
    uint64_t m_iDataSize;
};

// A camfile section's header, with where its data lies in the file.
struct PdxbCamfileHeader {
    uint32_t m_iMagic;
    uint32_t m_iVersion;
    uint32_t m_iHeaderSize;  // 16 for version 2 and "1.0", the field for version 3
    uint32_t m_iReserved;
    uint32_t m_iDataLength;
    uint32_t m_iCamfileType;
    uint64_t m_iDataOffset;  // absolute
    uint64_t m_iDataSize;    // for a HuffmanM4 camfile: the decoded size
    uint64_t m_iStoredSize;  // bytes stored from the data offset on (the coded bytes of a HuffmanM4 camfile)
};

class FPdxbImageReaderImpl;

class FPdxbImageReader {
public:
    // Opens the file and reads its header; the directory is read when first needed.
    explicit FPdxbImageReader(const FString& url);
    ~FPdxbImageReader();
    FPdxbImageReader(const FPdxbImageReader&) = delete;
    FPdxbImageReader& operator=(const FPdxbImageReader&) = delete;

    // Appends the pairs of every property list to the node, in file order;
    // returns the number of section records.
    int GetProperties(FPropTree* node);

    int GetCamfileCount();
    // kind 1: the data, once decoded, is a camera-data container; otherwise the camfile type.
    void GetCamfileInfo(int index, uint32_t& size, int32_t& kind);
    // Progress arguments are written through StoreProgress while the work
    // runs, so another thread may watch them with LoadProgress.
    //
    // Returns the bytes delivered: min(length, data size), or 0 when cancelled.
    uint32_t ReadCamfile(int index, uint8_t* buffer, uint32_t length, double* progress,
                         const std::atomic<char>* cancel);

    int GetImageCount();
    // Decoded size, FPixmap pixel type (0 when the format has none) and image kind.
    void GetImageInfo(int index, uint32_t& columns, uint32_t& rows, int32_t& pixelType, uint32_t& imageKind);
    // False when cancelled or when the image cannot be staged.
    bool GetImage(int index, FPixmap* pixmap, double* progress, const std::atomic<char>* cancel);

    uint32_t GetMarkBits() const;
    uint32_t GetRotation() const;
    // Null when the file's version has no such field.
    const char* GetWhiteBalance() const;
    const char* GetColorMode() const;
    int GetExtDataCount() const;
    uint8_t GetExtDataType(int slot) const;
    float GetExtDataValue(int slot) const;
    const uint8_t* GetUniqueID() const; // 16 bytes
    void GetImageSize(uint32_t& columns, uint32_t& rows) const;

private:
    std::unique_ptr<FPdxbImageReaderImpl> m_pImpl;
};

class FPdxbImageWriterImpl;

class FPdxbImageWriter {
public:
    // update set: opens an existing 2.2 or 2.3 container (the URL `path`) for
    // in-place changes; a read-only file is refused. update clear: creates the
    // file with a fresh 2.3 header of the given image size.
    FPdxbImageWriter(const FString& path, uint32_t columns, uint32_t rows, bool update);
    ~FPdxbImageWriter();
    FPdxbImageWriter(const FPdxbImageWriter&) = delete;
    FPdxbImageWriter& operator=(const FPdxbImageWriter&) = delete;

    uint32_t GetRotation() const;
    void SetRotation(uint32_t degrees);
    void SetMarkBits(uint32_t bits);
    bool SetWhiteBalance(const char* name);
    bool SetColorMode(const char* name);
    int GetExtDataCount() const;
    uint8_t GetExtDataType(int slot) const;
    bool SetExtDataType(int slot, uint8_t type);
    bool SetExtDataValue(int slot, float value);

private:
    std::unique_ptr<FPdxbImageWriterImpl> m_pImpl;
};
