#pragma once
// The camera-data container: a camera body's calibration (named matrices,
// property lists and texts) parsed once from a buffer and then looked up by
// entry name, ignoring ASCII case.
//
// The container does not copy the buffer: entries point into it, so the caller
// keeps it alive and unchanged while the container lives. A big-endian buffer
// is converted to little-endian in place while it is parsed, so one buffer is
// parsed by one container only.
//
// Every name, offset, count and size in the buffer is checked against its
// block before use. Malformed structure fails construction with FException;
// a block whose payload does not fit is kept as an entry without data, which
// every getter reports as missing. Zero bytes after the last section or block
// (the padding of a container decoded from a coded camfile) end the container.

#include "foundation/FByteReader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class FPropTree;
class FLUT16RGB;
class FIntRect;

constexpr uint32_t CAMSUB_TYPE_PROP = FourCC("CMbP");
constexpr uint32_t CAMSUB_TYPE_MATRIX = FourCC("CMbM");
constexpr uint32_t CAMSUB_TYPE_TEXT = FourCC("CMbT");
constexpr uint32_t CAMSUB_TYPE_BLOB = FourCC("CMbB");

enum CambMatrixType : int32_t {
    CAMB_MATRIX_INT16 = 0,
    CAMB_MATRIX_INT32 = 1,
    CAMB_MATRIX_UINT32 = 2,
    CAMB_MATRIX_FLOAT = 3,
    CAMB_MATRIX_64BIT = 4,
    CAMB_MATRIX_UINT8 = 5,
    CAMB_MATRIX_UINT16 = 6,
};

struct CambMatrix {
    int32_t iDimCount = 0;              // at least 1
    int32_t iType = 0;                  // CambMatrixType
    std::vector<uint32_t> aDims;        // first dimension outermost
    void* pData = nullptr;              // the elements, in the buffer
    std::vector<uint64_t> alignedCopy;  // holds the elements when the buffer has them misaligned

    uint64_t ElementCount() const;
};

struct CambEntry {
    const char* m_pName = nullptr;      // zero-terminated, in the buffer; null: never matches
    const uint8_t* m_pHeader = nullptr; // the block header, in the buffer; null: empty entry
    std::unique_ptr<CambMatrix> m_pMatrix;

    uint32_t m_iType = 0;
    uint32_t m_iVersion = 0;
    // Property pairs (version-1 "CMbP" with a valid payload).
    bool m_bHasPairs = false;
    std::vector<std::pair<const char*, const char*>> m_Pairs;
    // Text bytes (version-1 "CMbT" with a valid payload).
    const uint8_t* m_pText = nullptr;
    uint32_t m_iTextLength = 0;
};

class FCamdataImpl {
public:
    // Null for a null name, and when no entry has the name (ASCII case ignored).
    const CambEntry* FindEntry(const char* name) const;

    void Parse(uint8_t* buffer, size_t length);

    std::vector<CambEntry> m_Entries;
    bool m_bBigEndian = false;

private:
    void ParseRun(uint8_t* run, size_t length);
    void ParseCamfile(uint8_t* buffer, size_t length);
    size_t CountBlocks(const uint8_t* run, size_t length) const;
    void ParseBlocks(uint8_t* run, size_t length, size_t& next);
    bool PreparePropertyBlock(CambEntry& entry, uint8_t* block, uint32_t blockLength, uint32_t payload);
    bool PrepareMatrixBlock(CambEntry& entry, uint8_t* block, uint32_t blockLength, uint32_t payload);
    void PrepareTextBlock(CambEntry& entry, const uint8_t* block, uint32_t blockLength, uint32_t payload);
};

class FCamdata {
public:
    // Throws FException when the buffer is not camera data.
    FCamdata(void* buffer, size_t length);
    ~FCamdata();
    FCamdata(const FCamdata&) = delete;
    FCamdata& operator=(const FCamdata&) = delete;

    // Appends the pairs of a version-1 property block, in order; false when
    // there is no such block.
    bool GetPropertyList(const char* name, FPropTree* node) const;
    // The entry's matrix, of any element type; null when it has none.
    const CambMatrix* GetMatrix(const char* name) const;
    // The matrix when its element type matches and, when given, its dimension
    // count (0: any) and its dimension sizes (null: any).
    const CambMatrix* FindMatrix(const char* name, int32_t type, int32_t dimCount = 0,
                                 const uint32_t* dims = nullptr) const;
    // The bytes of a version-1 text block, or null with length 0.
    const uint8_t* GetText(const char* name, uint32_t& length) const;

    const FCamdataImpl& Impl() const { return *m_pImpl; }

private:
    std::unique_ptr<FCamdataImpl> m_pImpl;
};

// A three-dimensional float table whose last dimension is 3.
struct CamdataRGBTable {
    float* m_pTable;     // the elements
    uint32_t m_iColumns; // second dimension
    uint32_t m_iRows;    // first dimension
};

// Typed look-ups. A null container, an absent entry and an entry of another
// element type or shape all count as missing and give the stated default.
const uint8_t* CamdataGetText(const FCamdata* camdata, const char* name, uint32_t* length);
// count is left untouched when missing.
const uint8_t* CamdataGetByteArray(const FCamdata* camdata, const char* name, uint32_t* count);
const float* CamdataGetFloatArray(const FCamdata* camdata, const char* name, uint32_t* count);
const uint32_t* CamdataGetUInt32Array(const FCamdata* camdata, const char* name, uint32_t* count);
float CamdataGetFloat(const FCamdata* camdata, const char* name);
float CamdataGetFloatDefault(const FCamdata* camdata, const char* name, float defaultValue);
int32_t CamdataGetInt16Default(const FCamdata* camdata, const char* name, int32_t defaultValue);
int32_t CamdataGetInt32(const FCamdata* camdata, const char* name);
// found (may be null) tells whether the entry was there.
uint32_t CamdataGetUInt16(const FCamdata* camdata, const char* name, bool* found);
uint32_t CamdataGetUInt32(const FCamdata* camdata, const char* name);
void CamdataGetVector3(const FCamdata* camdata, const char* name, double* out3);
void CamdataGetVector3Default(const FCamdata* camdata, const char* name, double* out3, const double* defaults3);
void CamdataGetInt16Triple(const FCamdata* camdata, const char* name, int32_t* out3);
void CamdataGetInt32Triple(const FCamdata* camdata, const char* name, int32_t* out3);
// Stored inclusive; returned with right and bottom exclusive.
FIntRect CamdataGetRect(const FCamdata* camdata, const char* name);
// Row after row.
void CamdataGetMatrix3x3(const FCamdata* camdata, const char* name, double* out9);
void CamdataGetMatrix3x9(const FCamdata* camdata, const char* name, float* out27);
// out[6a + 3k + c] = element[a][c][k].
void CamdataGetMatrix2x3x2(const FCamdata* camdata, const char* name, double* out12);
// Rows 0, 1 and 2 of a 3 x N int16 matrix as red, green and blue, not owned.
std::unique_ptr<FLUT16RGB> CamdataGetLUT16RGB(const FCamdata* camdata, const char* name);
std::unique_ptr<CamdataRGBTable> CamdataGetRGBTable(const FCamdata* camdata, const char* name);
