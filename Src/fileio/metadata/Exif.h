#pragma once
// The EXIF block of developed and imported pictures.
//
// BuildExif turns a property tree into the EXIF IFD with its value area and the
// camera maker note (always little-endian); ParseExif turns the EXIF IFDs of a
// JPEG or TIFF file (either byte order) back into properties. The data handed
// to ParseExif are hostile: every entry, offset and count is checked against
// the bytes actually handed over, sub-IFD cycles are cut, and malformed data
// only stop or skip the parse (with a diagnostic), never throw.
//
// Time properties hold seconds since 1970 as decimal text, with EXIF dates read
// as if they were UTC, so a camera's wall-clock time survives a round trip in
// any time zone.

#include "foundation/FByteReader.h"
#include "foundation/FByteWriter.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

class FPropTree;

// IFD entry types and their element sizes (0 for an unknown type).
enum : uint16_t {
    EXIF_BYTE = 1,
    EXIF_ASCII = 2,
    EXIF_SHORT = 3,
    EXIF_LONG = 4,
    EXIF_RATIONAL = 5,
    EXIF_SBYTE = 6,
    EXIF_UNDEFINED = 7,
    EXIF_SSHORT = 8,
    EXIF_SLONG = 9,
    EXIF_SRATIONAL = 10,
    EXIF_FLOAT = 11,
    EXIF_DOUBLE = 12,
};
uint32_t ExifTypeSize(uint32_t type);

// The EXIF IFD that BuildExif writes: 26 entries, then its value area.
constexpr uint32_t kExifEntryCount = 26;
constexpr uint32_t kExifIfdBytes = 2 + kExifEntryCount * 12 + 4;
constexpr uint32_t kExifValueAreaBytes = 941;
constexpr uint32_t kExifBlockBytes = kExifIfdBytes + kExifValueAreaBytes;

// Writes the EXIF IFD at byte index of the buffer, its value area right behind
// it; every stored offset counts from the buffer's start. Returns the length
// from the buffer's start to the end of the value area (index + kExifBlockBytes).
// Bytes the block does not use keep the caller's fill. Throws FException when
// the block does not fit the buffer.
uint32_t BuildExif(uint8_t* pBuffer, size_t bufferSize, uint32_t index, const FPropTree& tree, int32_t columns,
                   int32_t rows);

// Parses the IFD at ifdPosition of the handed bytes [pData, pData + length).
// Offsets inside the block count from the block's base, which lies at
// basePosition relative to pData: a JPEG APP1 hands its marker data with the
// base at 6; a TIFF file hands the bytes read from the EXIF IFD's file offset P
// on, with the base (the file start) at -P. Returns true when the whole IFD was
// read, false when it stopped early; properties added so far stay.
bool ParseExif(const uint8_t* pData, size_t length, size_t ifdPosition, int64_t basePosition, bool bBigEndian,
               FPropTree& tree);

// "YYYY:MM:DD hh:mm:ss" read as UTC into seconds since 1970; 0 for a text with
// fewer than six numbers, a year after 2105 or a time before 1970.
uint32_t ExifTextToSeconds(const char* text);
// Seconds since 1970 (unsigned, so up to 2106) to calendar fields, in UTC or the
// local zone. A failed conversion falls back to 2000-01-01 12:00:00 UTC; if
// that fails too, throws FException "bad time".
void ExifSecondsToTime(uint32_t seconds, bool bLocal, std::tm& out);
// "%04d:%02d:%02d %02d:%02d:%02d": 19 characters.
std::string ExifTimeToText(const std::tm& time);
std::string ExifSecondsToText(uint32_t seconds, bool bLocal);
// The current local time as EXIF text.
std::string ExifCurrentTimeText();

// The whole APP1 data of a JPEG file (identifier, TIFF header, IFD0, optional
// thumbnail IFD1, the EXIF IFD of BuildExif), at most kExifApp1MaxBytes long:
// when the block would not fit one marker the thumbnail is left out, and if it
// still does not fit, the Make, Model and Software texts are cut.
constexpr size_t kExifApp1MaxBytes = 65533;
std::vector<uint8_t> BuildExifApp1Block(const FPropTree& tree, int32_t columns, int32_t rows,
                                        const std::vector<uint8_t>& thumbnailJpeg, bool bExifIdentifier);

// ---------------------------------------------------------------------------
// IFD plumbing shared by the EXIF block and the maker note.

// Little-endian writer over a caller's buffer; every write is bounds-checked
// (a write outside is a programming error and throws FException).
class FExifBlockWriter {
public:
    FExifBlockWriter(uint8_t* pBuffer, size_t size);

    size_t Size() const { return m_Bytes.Size(); }
    void PutU8(size_t position, uint8_t value) { m_Bytes.PutU8(position, value); }
    void PutU16(size_t position, uint16_t value) { m_Bytes.PutU16LE(position, value); }
    void PutU32(size_t position, uint32_t value) { m_Bytes.PutU32LE(position, value); }
    void PutBytes(size_t position, const void* bytes, size_t count) { m_Bytes.PutBytes(position, bytes, count); }
    // Entry header {tag, type, count} at position; the value field is left to the caller.
    void PutEntryHeader(size_t position, uint16_t tag, uint16_t type, uint32_t count);

private:
    FByteWriter m_Bytes;
};

// Writes one IFD: its entries in call order, longer values one after the other
// from a value cursor. The caller sizes the IFD and the value area beforehand.
class FExifIfdBuilder {
public:
    FExifIfdBuilder(FExifBlockWriter& writer, uint32_t ifdPosition, uint16_t entryCount, uint32_t valuePosition);

    void Short(uint16_t tag, uint16_t value);
    void Long(uint16_t tag, uint32_t value);
    void Undefined4(uint16_t tag, const uint8_t (&bytes)[4]);
    void Undefined1(uint16_t tag, uint8_t value);
    // RATIONAL or SRATIONAL: numerator and denominator at the cursor.
    void Rational(uint16_t tag, uint16_t type, uint32_t numerator, uint32_t denominator);
    // Up to 3 characters in the entry, longer texts with their zero at the cursor.
    void Ascii(uint16_t tag, const std::string& text);
    // An entry pointing to byteCount bytes at the cursor, which the caller fills;
    // returns their position.
    uint32_t Reserve(uint16_t tag, uint16_t type, uint32_t count, uint32_t byteCount);
    // Next-IFD field. Throws FException when not every declared entry was written.
    void Finish(uint32_t nextIfd);

    uint32_t Cursor() const { return m_ValueCursor; }
    // Bytes a text takes in the value area.
    static uint32_t AsciiValueBytes(size_t textLength) { return textLength <= 3 ? 0 : uint32_t(textLength + 1); }

private:
    uint32_t NextEntry();

    FExifBlockWriter& m_Writer;
    uint32_t m_IfdPosition;
    uint16_t m_EntryCount;
    uint16_t m_EntriesWritten = 0;
    uint32_t m_ValueCursor;
};

// One IFD entry as read from the handed bytes.
struct FExifEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint64_t byteCount = 0;  // count x type size, never truncated
    uint32_t valueField = 0; // the entry's last four bytes, in the block's order
    size_t fieldPosition = 0; // where those four bytes lie in the handed bytes
};

// Thrown by the reader's FByteReader when a read would leave the handed bytes;
// the parsers check positions first, so this is only the last line of defence,
// and they turn it into a stopped parse.
struct FExifOverrun {};

// The handed bytes, the position of the block's base inside them and the byte
// order. Reads go through FByteReader; positions are checked before use.
class FExifBlockReader {
public:
    FExifBlockReader(const uint8_t* pData, size_t length, int64_t basePosition, bool bBigEndian);

    size_t Length() const { return m_Reader.Size(); }
    int64_t BasePosition() const { return m_BasePosition; }
    bool BigEndian() const { return m_bBigEndian; }
    void SetBigEndian(bool bBigEndian) { m_bBigEndian = bBigEndian; }

    // The position in the handed bytes of a block offset, when [offset,
    // offset + count) lies inside them.
    std::optional<size_t> PositionOf(int64_t blockOffset, uint64_t count) const;
    bool Fits(int64_t position, uint64_t count) const;

    uint16_t U16(size_t position);
    uint32_t U32(size_t position);
    // count bytes at position (which must fit).
    const uint8_t* Bytes(size_t position, size_t count);
    // Reads the entry at position (which must fit 12 bytes).
    FExifEntry Entry(size_t position);
    // The first element of a numeric value at position, as a double; 0 for other
    // types and for a value shorter than one element.
    double Number(const FExifEntry& entry, size_t valuePosition);
    // An ASCII value up to its first zero. A value without any zero gives no text
    // (the caller stops); one whose last byte is not zero is reported.
    std::optional<std::string> Text(const FExifEntry& entry, size_t valuePosition);

private:
    FByteReader m_Reader;
    int64_t m_BasePosition;
    bool m_bBigEndian;
};

// Property look-ups with defaults. Texts are narrowed by FString's 7-bit rule:
// EXIF texts are ASCII.
bool ExifPropExists(const FPropTree& tree, const char* key);
std::string ExifPropText(const FPropTree& tree, const char* key, const char* defaultText);
int32_t ExifPropInt(const FPropTree& tree, const char* key, int32_t defaultValue);
double ExifPropDouble(const FPropTree& tree, const char* key, double defaultValue);
void ExifAddText(FPropTree& tree, const char* key, const std::string& text);
void ExifSetText(FPropTree& tree, const char* key, const std::string& text);
void ExifSetInt(FPropTree& tree, const char* key, int32_t value);
void ExifSetDouble(FPropTree& tree, const char* key, double value);
// Debug-output diagnostics of the readers.
void ExifDiagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));
