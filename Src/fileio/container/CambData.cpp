#include "fileio/container/CambData.h"

#include "foundation/FAssert.h"
#include "foundation/FException.h"
#include "foundation/FPropTree.h"
#include "foundation/FValueTypes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kCamfileMagic = FourCC("FCMb");
constexpr uint32_t kSectionMagic = FourCC("CMbH");
constexpr size_t kCamfileHeaderSize = 28;
constexpr size_t kSectionHeaderSize = 20;
constexpr size_t kBlockHeaderSize = 20;

uint32_t Load32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint16_t Load16(const uint8_t* p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

uint32_t Load32(const uint8_t* p, bool bigEndian) { return bigEndian ? __builtin_bswap32(Load32(p)) : Load32(p); }

void SwapWords(uint8_t* p, uint64_t count)
{
    for (uint64_t i = 0; i < count; ++i, p += 4) {
        const uint32_t v = __builtin_bswap32(Load32(p));
        std::memcpy(p, &v, 4);
    }
}

void SwapElements(uint8_t* p, uint64_t count, uint32_t size)
{
    if (size == 4) {
        SwapWords(p, count);
    } else if (size == 2) {
        for (uint64_t i = 0; i < count; ++i, p += 2)
            std::swap(p[0], p[1]);
    }
}

bool IsAllZero(const uint8_t* p, uint64_t count)
{
    return std::all_of(p, p + count, [](uint8_t byte) { return byte == 0; });
}

bool IsBlockMagic(uint32_t word)
{
    return word == CAMSUB_TYPE_PROP || word == CAMSUB_TYPE_MATRIX || word == CAMSUB_TYPE_TEXT ||
           word == CAMSUB_TYPE_BLOB;
}

// Bytes per element of a matrix type; 0 for unknown types.
uint32_t ElementSize(int32_t type)
{
    switch (type) {
    case CAMB_MATRIX_INT16: case CAMB_MATRIX_UINT16: return 2;
    case CAMB_MATRIX_INT32: case CAMB_MATRIX_UINT32: case CAMB_MATRIX_FLOAT: return 4;
    case CAMB_MATRIX_64BIT: return 8;
    case CAMB_MATRIX_UINT8: return 1;
    default: return 0;
    }
}

// A zero-terminated text starting at `offset` and ending inside the block.
const char* TextInBlock(const uint8_t* block, uint64_t blockLength, uint64_t offset)
{
    if (offset >= blockLength)
        return nullptr;
    const void* end = std::memchr(block + offset, 0, size_t(blockLength - offset));
    return end ? reinterpret_cast<const char*>(block + offset) : nullptr;
}

bool EqualNoCase(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
        if (x == 0)
            return true;
    }
}

[[noreturn]] void Fail(const char* text) { throw FException(text); }

} // namespace

uint64_t CambMatrix::ElementCount() const
{
    uint64_t count = 1;
    for (const uint32_t dim : aDims)
        count *= dim;
    return count;
}

// ---------------------------------------------------------------------------
// FCamdataImpl

const CambEntry* FCamdataImpl::FindEntry(const char* name) const
{
    if (!name)
        return nullptr;
    for (const CambEntry& entry : m_Entries)
        if (entry.m_pHeader && entry.m_pName && EqualNoCase(entry.m_pName, name))
            return &entry;
    return nullptr;
}

void FCamdataImpl::Parse(uint8_t* buffer, size_t length)
{
    uint32_t first = Load32(buffer);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (IsBlockMagic(first)) {
            ParseRun(buffer, length);
            return;
        }
        if (first == kCamfileMagic) {
            ParseCamfile(buffer, length);
            return;
        }
        m_bBigEndian = true;
        first = __builtin_bswap32(first);
    }
    Fail("FCamdata: cam data is not CAMb file or CAMb data blocks.");
}

void FCamdataImpl::ParseRun(uint8_t* run, size_t length)
{
    m_Entries.resize(CountBlocks(run, length));
    size_t next = 0;
    ParseBlocks(run, length, next);
}

void FCamdataImpl::ParseCamfile(uint8_t* buffer, size_t length)
{
    if (length < kCamfileHeaderSize)
        Fail("FCamdata: Insufficient data for header.\n");
    if (m_bBigEndian) {
        AssertionFailed(FASSERT_SOURCE, __LINE__, "sizeof(CamfileHeader) == 6 * sizeof(uint32_t)",
                        ASSERT_FLAG_ASSUMPTION, 0);
        SwapWords(buffer, 6);
    }
    if (Load32(buffer) != kCamfileMagic)
        Fail("FCamdata: Wrong file type.\n");
    if (Load16(buffer + 6) != 2)
        Fail("FCamdata: Incompatible version.\n");
    const uint64_t firstSection = Load32(buffer + 8);
    if (firstSection > length)
        Fail("FCamdata: Insufficient data for section header.\n");

    // First walk: check and convert the section headers, count the blocks.
    struct Run {
        uint8_t* start;
        size_t length;
    };
    std::vector<Run> runs;
    size_t blocks = 0;
    uint64_t position = firstSection;
    uint64_t remaining = length - firstSection;
    while (remaining > 0) {
        uint8_t* section = buffer + position;
        // A container decoded from a coded camfile comes zero-padded up to the
        // decoded size; zeros are no section, so they end the walk as a block
        // length of 0 ends a run. Anything else left over is a cut section.
        if (IsAllZero(section, remaining))
            break;
        if (remaining < kSectionHeaderSize)
            Fail("FCamdata: Insufficient data for section header.\n");
        if (m_bBigEndian)
            SwapWords(section, 5);
        if (Load32(section) != kSectionMagic)
            Fail("FCamdata: Expected a data section.\n");
        if (Load16(section + 6) != 1)
            Fail("FCamdata: Incompatible data section version.\n");
        const uint64_t sectionLength = Load32(section + 8);
        if (sectionLength > remaining)
            Fail("FCamdata: Insufficient data for data section.\n");
        // A section shorter than its header would never move the walk on.
        if (sectionLength < kSectionHeaderSize)
            Fail("FCamdata: Invalid data section length.\n");
        const uint64_t blockOffset = Load32(section + 16);
        if (blockOffset >= kSectionHeaderSize && blockOffset < sectionLength) {
            const Run run{section + blockOffset, size_t(sectionLength - blockOffset)};
            blocks += CountBlocks(run.start, run.length);
            runs.push_back(run);
        }
        position += sectionLength;
        remaining -= sectionLength;
    }

    if (blocks == 0) {
        DebugPrintf("FCamdata: Parsed an empty camfile.\n");
        return;
    }
    m_Entries.resize(blocks);
    size_t next = 0;
    for (const Run& run : runs)
        ParseBlocks(run.start, run.length, next);
}

size_t FCamdataImpl::CountBlocks(const uint8_t* run, size_t length) const
{
    size_t count = 0;
    size_t position = 0;
    while (length - position >= kBlockHeaderSize) {
        const uint64_t left = length - position;
        const uint64_t blockLength = Load32(run + position + 8, m_bBigEndian);
        if (blockLength > left || blockLength < kBlockHeaderSize) {
            if (blockLength != 0)
                DebugPrintf("FCamdataImpl::CountBlocks found block with invalid size.\n");
            break;
        }
        ++count;
        position += size_t(blockLength);
    }
    return count;
}

void FCamdataImpl::ParseBlocks(uint8_t* run, size_t length, size_t& next)
{
    size_t position = 0;
    while (length - position >= kBlockHeaderSize) {
        uint8_t* block = run + position;
        if (m_bBigEndian)
            SwapWords(block, 5);
        const uint64_t left = length - position;
        const uint32_t blockLength = Load32(block + 8);
        if (blockLength > left || blockLength < kBlockHeaderSize) {
            if (blockLength != 0)
                DebugPrintf("FCamdataImpl::ParseBlocks found block with invalid size.\n");
            break;
        }
        position += blockLength;
        if (next >= m_Entries.size()) {
            DebugPrintf("FCamdata: Found more blocks when parsing than when counted!\n");
            continue;
        }

        CambEntry& entry = m_Entries[next++];
        entry.m_pHeader = block;
        entry.m_iType = Load32(block);
        entry.m_iVersion = Load16(block + 6);
        entry.m_pName = TextInBlock(block, blockLength, Load32(block + 12));
        const uint32_t payload = Load32(block + 16);
        if (entry.m_iType == CAMSUB_TYPE_PROP && !PreparePropertyBlock(entry, block, blockLength, payload)) {
            DebugPrintf("CAMB: Error parsing property list.\r\n");
            return;
        }
        if (entry.m_iType == CAMSUB_TYPE_MATRIX && !PrepareMatrixBlock(entry, block, blockLength, payload)) {
            DebugPrintf("FCamdataImpl::ParseBlocks: Error parsing matrix.\r\n");
            return;
        }
        if (entry.m_iType == CAMSUB_TYPE_TEXT)
            PrepareTextBlock(entry, block, blockLength, payload);
    }
}

bool FCamdataImpl::PreparePropertyBlock(CambEntry& entry, uint8_t* block, uint32_t blockLength, uint32_t payload)
{
    if (entry.m_iVersion != 1)
        return false;
    if (!FByteReader::Fits(blockLength, payload, 8))
        return true;
    if (m_bBigEndian)
        SwapWords(block + payload, 2);
    const uint64_t count = Load32(block + payload);
    const uint64_t area = Load32(block + payload + 4);
    const uint64_t pairs = uint64_t(payload) + 8;
    if (!FByteReader::Fits(blockLength, pairs, 8 * count))
        return true;
    if (m_bBigEndian)
        SwapWords(block + pairs, 2 * count);
    std::vector<std::pair<const char*, const char*>> list;
    list.reserve(size_t(count));
    for (uint64_t i = 0; i < count; ++i) {
        const char* name = TextInBlock(block, blockLength, area + Load32(block + pairs + 8 * i));
        const char* value = TextInBlock(block, blockLength, area + Load32(block + pairs + 8 * i + 4));
        if (!name || !value)
            return true;
        list.emplace_back(name, value);
    }
    entry.m_Pairs = std::move(list);
    entry.m_bHasPairs = true;
    return true;
}

bool FCamdataImpl::PrepareMatrixBlock(CambEntry& entry, uint8_t* block, uint32_t blockLength, uint32_t payload)
{
    if (entry.m_iVersion != 2)
        return false;
    if (!FByteReader::Fits(blockLength, payload, 12))
        return true;
    if (m_bBigEndian)
        SwapWords(block + payload, 3);
    const int32_t type = int32_t(Load32(block + payload));
    const uint32_t dimCount = Load32(block + payload + 4);
    const uint64_t elements = Load32(block + payload + 8);
    if (type < 0 || type > CAMB_MATRIX_UINT16) {
        DebugPrintf("%s Line %d: Found CAMb matrix of unrecognized type.\n", FASSERT_SOURCE, __LINE__);
        return true;
    }
    if (dimCount == 0)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "iDimCount", 0, 0);
    if (type == CAMB_MATRIX_64BIT && m_bBigEndian) {
        char text[256];
        std::snprintf(text, sizeof(text), "%s Line %d: Don't know how to endian swap 64 bit types.", FASSERT_SOURCE,
                      __LINE__);
        Fail(text);
    }
    const uint64_t records = uint64_t(payload) + 12;
    if (!FByteReader::Fits(blockLength, records, 12 * uint64_t(dimCount)))
        return true;
    if (m_bBigEndian)
        SwapWords(block + records, 3 * uint64_t(dimCount));

    auto matrix = std::make_unique<CambMatrix>();
    matrix->iDimCount = int32_t(dimCount);
    matrix->iType = type;
    matrix->aDims.resize(dimCount);
    uint64_t count = 1;
    for (uint32_t d = 0; d < dimCount; ++d) {
        matrix->aDims[d] = Load32(block + records + 12 * uint64_t(d));
        // Elements must fit the block, so any count beyond its length is a lie.
        count = matrix->aDims[d] == 0 ? 0 : count * matrix->aDims[d];
        if (count > blockLength)
            return true;
    }
    const uint32_t size = ElementSize(type);
    if (!FByteReader::Fits(blockLength, elements, count * size))
        return true;
    uint8_t* data = block + elements;
    if (m_bBigEndian)
        SwapElements(data, count, size);
    if (count > 0 && reinterpret_cast<uintptr_t>(data) % size != 0) {
        matrix->alignedCopy.resize(size_t((count * size + 7) / 8));
        std::memcpy(matrix->alignedCopy.data(), data, size_t(count * size));
        matrix->pData = matrix->alignedCopy.data();
    } else {
        matrix->pData = data;
    }
    entry.m_pMatrix = std::move(matrix);
    return true;
}

void FCamdataImpl::PrepareTextBlock(CambEntry& entry, const uint8_t* block, uint32_t blockLength, uint32_t payload)
{
    if (!FByteReader::Fits(blockLength, payload, 4))
        return;
    const uint64_t length = Load32(block + payload, m_bBigEndian);
    if (!FByteReader::Fits(blockLength, uint64_t(payload) + 4, length))
        return;
    entry.m_pText = block + payload + 4;
    entry.m_iTextLength = uint32_t(length);
}

// ---------------------------------------------------------------------------
// FCamdata

FCamdata::FCamdata(void* buffer, size_t length) : m_pImpl(std::make_unique<FCamdataImpl>())
{
    if (!buffer || length == 0)
        Fail("FCamdata: initialized with NULL pointer or empty buffer.");
    if (length <= 3)
        Fail("FCamdata: insufficient data for CAMb data.\n");
    m_pImpl->Parse(static_cast<uint8_t*>(buffer), length);
}

FCamdata::~FCamdata() = default;

bool FCamdata::GetPropertyList(const char* name, FPropTree* node) const
{
    const CambEntry* entry = m_pImpl->FindEntry(name);
    if (!entry || entry->m_iType != CAMSUB_TYPE_PROP || entry->m_iVersion != 1 || !entry->m_bHasPairs)
        return false;
    if (node)
        for (const auto& [key, value] : entry->m_Pairs)
            node->AddPair(key, value);
    return true;
}

const CambMatrix* FCamdata::GetMatrix(const char* name) const
{
    const CambEntry* entry = m_pImpl->FindEntry(name);
    return entry ? entry->m_pMatrix.get() : nullptr;
}

const CambMatrix* FCamdata::FindMatrix(const char* name, int32_t type, int32_t dimCount, const uint32_t* dims) const
{
    const CambMatrix* matrix = GetMatrix(name);
    if (!matrix || matrix->iType != type)
        return nullptr;
    if (dimCount != 0) {
        if (matrix->iDimCount != dimCount)
            return nullptr;
        if (dims)
            for (int32_t d = 0; d < dimCount; ++d)
                if (matrix->aDims[size_t(d)] != dims[d])
                    return nullptr;
    }
    return matrix;
}

const uint8_t* FCamdata::GetText(const char* name, uint32_t& length) const
{
    const CambEntry* entry = m_pImpl->FindEntry(name);
    if (!entry || entry->m_iType != CAMSUB_TYPE_TEXT || entry->m_iVersion != 1 || !entry->m_pText) {
        length = 0;
        return nullptr;
    }
    length = entry->m_iTextLength;
    return entry->m_pText;
}

// ---------------------------------------------------------------------------
// Typed look-ups

namespace {

template <class T>
const T* Elements(const FCamdata* camdata, const char* name, int32_t type, std::initializer_list<uint32_t> dims)
{
    if (!camdata)
        return nullptr;
    const CambMatrix* matrix = camdata->FindMatrix(name, type, int32_t(dims.size()), dims.begin());
    return matrix ? static_cast<const T*>(matrix->pData) : nullptr;
}

// A one-dimensional matrix of the type, with its length.
template <class T>
const T* Vector(const FCamdata* camdata, const char* name, int32_t type, uint32_t* count)
{
    const CambMatrix* matrix = camdata ? camdata->FindMatrix(name, type, 1) : nullptr;
    if (!matrix)
        return nullptr;
    if (count)
        *count = matrix->aDims[0];
    return static_cast<const T*>(matrix->pData);
}

template <class T, class Out>
void Copy(const T* from, Out* to, int n)
{
    for (int i = 0; i < n; ++i)
        to[i] = from ? Out(from[i]) : Out(0);
}

} // namespace

const uint8_t* CamdataGetText(const FCamdata* camdata, const char* name, uint32_t* length)
{
    uint32_t size = 0;
    const uint8_t* text = camdata ? camdata->GetText(name, size) : nullptr;
    if (length)
        *length = size;
    return text;
}

const uint8_t* CamdataGetByteArray(const FCamdata* camdata, const char* name, uint32_t* count)
{
    return Vector<uint8_t>(camdata, name, CAMB_MATRIX_UINT8, count);
}

const float* CamdataGetFloatArray(const FCamdata* camdata, const char* name, uint32_t* count)
{
    return Vector<float>(camdata, name, CAMB_MATRIX_FLOAT, count);
}

const uint32_t* CamdataGetUInt32Array(const FCamdata* camdata, const char* name, uint32_t* count)
{
    return Vector<uint32_t>(camdata, name, CAMB_MATRIX_UINT32, count);
}

float CamdataGetFloat(const FCamdata* camdata, const char* name) { return CamdataGetFloatDefault(camdata, name, 0.0f); }

float CamdataGetFloatDefault(const FCamdata* camdata, const char* name, float defaultValue)
{
    const float* value = Elements<float>(camdata, name, CAMB_MATRIX_FLOAT, {1});
    return value ? *value : defaultValue;
}

int32_t CamdataGetInt16Default(const FCamdata* camdata, const char* name, int32_t defaultValue)
{
    const int16_t* value = Elements<int16_t>(camdata, name, CAMB_MATRIX_INT16, {1});
    return value ? int32_t(*value) : defaultValue;
}

int32_t CamdataGetInt32(const FCamdata* camdata, const char* name)
{
    const int32_t* value = Elements<int32_t>(camdata, name, CAMB_MATRIX_INT32, {1});
    return value ? *value : 0;
}

uint32_t CamdataGetUInt16(const FCamdata* camdata, const char* name, bool* found)
{
    const uint16_t* value = Elements<uint16_t>(camdata, name, CAMB_MATRIX_UINT16, {1});
    if (found)
        *found = value != nullptr;
    return value ? *value : 0;
}

uint32_t CamdataGetUInt32(const FCamdata* camdata, const char* name)
{
    const uint32_t* value = Elements<uint32_t>(camdata, name, CAMB_MATRIX_UINT32, {1});
    return value ? *value : 0;
}

void CamdataGetVector3(const FCamdata* camdata, const char* name, double* out3)
{
    Copy(Elements<float>(camdata, name, CAMB_MATRIX_FLOAT, {3}), out3, 3);
}

void CamdataGetVector3Default(const FCamdata* camdata, const char* name, double* out3, const double* defaults3)
{
    const float* value = Elements<float>(camdata, name, CAMB_MATRIX_FLOAT, {3});
    for (int i = 0; i < 3; ++i)
        out3[i] = value ? double(value[i]) : defaults3[i];
}

void CamdataGetInt16Triple(const FCamdata* camdata, const char* name, int32_t* out3)
{
    Copy(Elements<int16_t>(camdata, name, CAMB_MATRIX_INT16, {3}), out3, 3);
}

void CamdataGetInt32Triple(const FCamdata* camdata, const char* name, int32_t* out3)
{
    Copy(Elements<int32_t>(camdata, name, CAMB_MATRIX_INT32, {3}), out3, 3);
}

FIntRect CamdataGetRect(const FCamdata* camdata, const char* name)
{
    const int32_t* value = Elements<int32_t>(camdata, name, CAMB_MATRIX_INT32, {4});
    if (!value)
        return FIntRect(0, 0, 0, 0);
    // Wrapping like the stored 32-bit words would; no signed overflow.
    const auto plusOne = [](int32_t v) { return int32_t(uint32_t(v) + 1u); };
    return FIntRect(value[0], value[1], plusOne(value[2]), plusOne(value[3]));
}

void CamdataGetMatrix3x3(const FCamdata* camdata, const char* name, double* out9)
{
    Copy(Elements<float>(camdata, name, CAMB_MATRIX_FLOAT, {3, 3}), out9, 9);
}

void CamdataGetMatrix3x9(const FCamdata* camdata, const char* name, float* out27)
{
    Copy(Elements<float>(camdata, name, CAMB_MATRIX_FLOAT, {3, 9}), out27, 27);
}

void CamdataGetMatrix2x3x2(const FCamdata* camdata, const char* name, double* out12)
{
    const float* value = Elements<float>(camdata, name, CAMB_MATRIX_FLOAT, {2, 3, 2});
    for (int a = 0; a < 2; ++a)
        for (int k = 0; k < 2; ++k)
            for (int c = 0; c < 3; ++c)
                out12[6 * a + 3 * k + c] = value ? double(value[6 * a + 2 * c + k]) : 0.0;
}

std::unique_ptr<FLUT16RGB> CamdataGetLUT16RGB(const FCamdata* camdata, const char* name)
{
    const CambMatrix* matrix = camdata ? camdata->FindMatrix(name, CAMB_MATRIX_INT16, 2) : nullptr;
    // An empty row would leave the table nothing to index.
    if (!matrix || matrix->aDims[0] != 3 || matrix->aDims[1] == 0)
        return nullptr;
    const uint32_t n = matrix->aDims[1];
    int16_t* rows = static_cast<int16_t*>(matrix->pData);
    return std::make_unique<FLUT16RGB>(rows, rows + n, rows + 2 * uint64_t(n), n, false);
}

std::unique_ptr<CamdataRGBTable> CamdataGetRGBTable(const FCamdata* camdata, const char* name)
{
    const CambMatrix* matrix = camdata ? camdata->FindMatrix(name, CAMB_MATRIX_FLOAT, 3) : nullptr;
    if (!matrix || matrix->aDims[2] != 3 || matrix->aDims[0] == 0 || matrix->aDims[1] == 0)
        return nullptr;
    return std::make_unique<CamdataRGBTable>(
        CamdataRGBTable{static_cast<float*>(matrix->pData), matrix->aDims[1], matrix->aDims[0]});
}
