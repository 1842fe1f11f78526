#include "fileio/container/HuffmanM4.h"

#include "fileio/container/FBitReader.h"
#include "fileio/FProgress.h"
#include "fileio/container/PdxbImageDecoding.h"
#include "fileio/container/PdxbSectionBytes.h"
#include "foundation/FAssert.h"
#include "foundation/FByteReader.h"
#include "foundation/FException.h"
#include "foundation/FPixmap.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr int kCodeCount = 13;
constexpr uint32_t kMaxValue = 4095;
constexpr uint64_t kImageHeaderSize = 48;
constexpr uint64_t kCamfileHeaderSize = 44;

[[noreturn]] void ThrowOverrun(const char* what)
{
    throw FExceptionPdxbReader((std::string("Malformed HuffmanM4 data: ") + what + ".").c_str());
}

// The code table as a lookup by the next 12 bits of the stream. Entry i of the
// table stands for a difference of i bits; the first entry whose code matches
// wins, and an entry of length 0 or above 12 ends the table, exactly as a scan
// of the entries in order would decide.
class M4Codes {
public:
    // Bits 0-6: code and difference bits together (kNoCode when nothing
    // matches, more than any register holds); bits 16-27: the mask of the
    // difference bits.
    static constexpr uint32_t kNoCode = 127;

    explicit M4Codes(const std::array<uint16_t, kCodeCount>& table)
    {
        for (uint32_t bits = 0; bits < 4096; ++bits) {
            m_Entries[bits] = kNoCode;
            for (int i = 0; i < kCodeCount; ++i) {
                const int length = table[i] & 15;
                if (length == 0 || length > 12)
                    break;
                const uint32_t code = table[i] >> 4;
                if (bits >> (12 - length) == code >> (12 - length)) {
                    m_Entries[bits] = uint32_t(length + i) | ((1u << i) - 1) << 16;
                    break;
                }
            }
        }
    }

    uint32_t Lookup(uint64_t window) const { return m_Entries[window >> 52]; }

private:
    std::array<uint32_t, 4096> m_Entries;
};

// One plane's bit stream and predictor state.
struct M4Plane {
    M4Plane(FByteSpan stream, uint32_t initial) : bits(stream.data, stream.size), initial(initial) {}

    uint32_t Predict(uint32_t row, uint32_t column) const
    {
        if (column >= 2)
            return last[column & 1];
        return row >= 2 ? rowStart[column][row & 1] : initial;
    }

    void Keep(uint32_t row, uint32_t column, uint32_t value)
    {
        last[column & 1] = value;
        if (column < 2)
            rowStart[column][row & 1] = value;
    }

    // The next value, or false when the plane ends here. The register must
    // hold 24 bits unless the data ends sooner.
    bool Decode(const M4Codes& codes, uint32_t predictor, uint32_t& value)
    {
        const uint64_t window = bits.Window();
        const uint32_t entry = codes.Lookup(window);
        const int total = int(entry & 127);
        // No code, or a code that needs bits past the end of the data.
        if (bits.Held() < total)
            return false;
        const uint32_t mask = entry >> 16;
        const uint32_t d = uint32_t(window >> (64 - total)) & mask;
        // A difference whose top bit is clear is negative: d - (2^s - 1).
        const uint32_t negative = d <= (mask >> 1) ? mask : 0;
        bits.Consume(total);
        const uint32_t sum = (predictor + d - negative) & 0xFFFF;
        if (sum > kMaxValue)
            return false;
        value = sum;
        return true;
    }

    bool Next(const M4Codes& codes, uint32_t predictor, uint32_t& value)
    {
        bits.Refill(24);
        return Decode(codes, predictor, value);
    }

    FBitReader bits;
    uint32_t initial;
    uint32_t last[2] = {0, 0};
    uint32_t rowStart[2][2] = {{0, 0}, {0, 0}};
    bool alive = true;
};

// Where one plane's stream comes from: a window of the section that is moved
// on between rows. A value takes at most 24 bits, so a window holding a row's
// worth of bytes past the read position (and the register's preload) never
// runs dry inside a row, and the plane sees the same bits as from memory.
class M4Window {
public:
    M4Window(FSectionBytes& source, uint64_t start, uint32_t columns)
        : m_Source(source), m_iNeed(3 * uint64_t(columns) + 16)
    {
        m_iStart = std::min(start, source.Size());
        if (source.NeedsWindow()) {
            m_iWant = size_t(std::min(std::max<uint64_t>(kMinimumWindow, 4 * m_iNeed), source.Size() - m_iStart));
            m_pBuffer = std::make_unique_for_overwrite<uint8_t[]>(m_iWant);
        }
        m_Span = m_Source.From(m_iStart, m_iWant, m_pBuffer.get());
    }

    FByteSpan Span() const { return m_Span; }

    // Moves the window up to the plane's read position when less than a row's
    // bytes remain in it, and points the plane's reader at it.
    void Prepare(M4Plane& plane)
    {
        const uint64_t end = m_iStart + m_Span.size;
        if (end >= m_Source.Size())
            return;
        const uint64_t consumed = plane.bits.Consumed(m_Span.data);
        const uint64_t position = m_iStart + consumed / 8;
        if (end - position >= m_iNeed)
            return;
        m_Span = m_Source.From(position, m_iWant, m_pBuffer.get());
        m_iStart = position;
        plane.bits = FBitReader(m_Span.data, m_Span.size);
        plane.bits.Consume(int(consumed % 8));
    }

private:
    static constexpr uint64_t kMinimumWindow = uint64_t(1) << 20;

    FSectionBytes& m_Source;
    uint64_t m_iNeed;
    uint64_t m_iStart = 0;
    size_t m_iWant = 0;
    std::unique_ptr<uint8_t[]> m_pBuffer;
    FByteSpan m_Span;
};

// Decodes one plane's values of a row from `column` on; `store(column, value)`
// takes each. Returns the first column not decoded (columns when complete).
template <class Store>
uint64_t DecodePlaneRow(M4Plane& plane, const M4Codes& codes, uint32_t row, uint64_t column, uint64_t columns,
                        Store&& store)
{
    for (; column < columns; ++column) {
        const uint32_t c = column < 2 ? uint32_t(column) : 2 + uint32_t(column & 1);
        uint32_t value;
        if (!plane.Next(codes, plane.Predict(row, c), value))
            return column;
        plane.Keep(row, c, value);
        store(column, value);
    }
    return columns;
}

// Fast path of an image row while all three planes are alive: the planes are
// independent streams, so decoding them side by side lets their lookups
// overlap. Returns the column where a plane ended (columns when none did) and
// that plane; the planes before it have decoded that column.
uint32_t DecodeRowAllPlanes(M4Plane* planes, const M4Codes& codes, uint32_t row, uint32_t columns, int16_t* out,
                            int& failed)
{
    uint32_t column = 0;
    // The row starts have predictors of their own.
    for (; column < columns && column < 2; ++column)
        for (int p = 0; p < 3; ++p) {
            uint32_t value;
            if (!planes[p].Next(codes, planes[p].Predict(row, column), value)) {
                failed = p;
                return column;
            }
            planes[p].Keep(row, column, value);
            out[3 * size_t(column) + p] = int16_t(value);
        }

    // From column 2 on each value is predicted from two columns to the left.
    // Working on copies keeps the streams and predictors in registers.
    M4Plane a = planes[0], b = planes[1], c = planes[2];
    uint32_t a0 = a.last[0], a1 = a.last[1], b0 = b.last[0], b1 = b.last[1], c0 = c.last[0], c1 = c.last[1];
    const auto finish = [&](int plane) {
        a.last[0] = a0, a.last[1] = a1, b.last[0] = b0, b.last[1] = b1, c.last[0] = c0, c.last[1] = c1;
        planes[0] = a;
        planes[1] = b;
        planes[2] = c;
        failed = plane;
        return column;
    };
    // One column: false when plane `failing` ended there.
    const auto step = [&](uint32_t& la, uint32_t& lb, uint32_t& lc, int& failing) {
        int16_t* at = out + 3 * size_t(column);
        uint32_t v;
        if (!a.Decode(codes, la, v))
            return failing = 0, false;
        la = v;
        at[0] = int16_t(v);
        if (!b.Decode(codes, lb, v))
            return failing = 1, false;
        lb = v;
        at[1] = int16_t(v);
        if (!c.Decode(codes, lc, v))
            return failing = 2, false;
        lc = v;
        at[2] = int16_t(v);
        return true;
    };
    // Each value takes at most 24 bits, so 48 bits serve two columns.
    int failing = -1;
    while (column + 1 < columns) {
        a.bits.Refill(48);
        b.bits.Refill(48);
        c.bits.Refill(48);
        if (!step(a0, b0, c0, failing))
            return finish(failing);
        ++column;
        if (!step(a1, b1, c1, failing))
            return finish(failing);
        ++column;
    }
    if (column < columns) {
        a.bits.Refill(24);
        b.bits.Refill(24);
        c.bits.Refill(24);
        if (!step(a0, b0, c0, failing))
            return finish(failing);
        ++column;
    }
    return finish(-1);
}

std::array<uint16_t, kCodeCount> ReadCodeTable(FByteReader& in)
{
    std::array<uint16_t, kCodeCount> table{};
    for (uint16_t& entry : table)
        entry = in.U16LE();
    return table;
}

uint64_t PadTo16(uint64_t size) { return (size + 15) & ~uint64_t(15); }

// Zeroes component `component` of the image from (row, column) on.
void ZeroComponentFrom(FPixmap* pixmap, uint32_t columns, uint32_t rows, int component, uint32_t row,
                       uint32_t column)
{
    for (; row < rows; ++row, column = 0) {
        int16_t* out = reinterpret_cast<int16_t*>(pixmap->GetRow(int32_t(row)));
        for (uint32_t c = column; c < columns; ++c)
            out[3 * size_t(c) + component] = 0;
    }
}

} // namespace

bool ReadImageHuffmanM4(const PdxbImageHeader& h, const uint8_t* data, uint64_t size, FPixmap* pixmap,
                        double* progress, const std::atomic<char>* cancel)
{
    FMemorySectionBytes bytes(data, size);
    return ReadImageHuffmanM4(h, bytes, pixmap, progress, cancel);
}

bool ReadImageHuffmanM4(const PdxbImageHeader& h, FSectionBytes& data, FPixmap* pixmap, double* progress,
                        const std::atomic<char>* cancel)
{
    if (h.m_iPixelFormat != PDXB_PIXEL_HUFFMAN_M4)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "h.m_iPixelFormat == PDXB_PIXEL_HUFFMAN_M4", 0, 0);
    CheckPdxbTargetPixmap(h, pixmap);

    uint8_t headerBytes[kImageHeaderSize];
    const FByteSpan header = data.From(0, kImageHeaderSize, headerBytes);
    FByteReader in(header.data, std::min<size_t>(header.size, kImageHeaderSize), ThrowOverrun);
    uint32_t predictors[3];
    for (uint32_t& predictor : predictors)
        predictor = in.U16LE() & 0x3FF;
    in.Skip(2);
    const M4Codes codes(ReadCodeTable(in));
    in.Skip(2);
    uint64_t planeSizes[3];
    for (uint64_t& planeSize : planeSizes)
        planeSize = in.U32LE();

    // A plane's stream may run on into the next plane's bytes; only the end of
    // the data bounds it.
    const uint64_t start0 = kImageHeaderSize;
    const uint64_t start1 = start0 + PadTo16(planeSizes[0]);
    const uint64_t start2 = start1 + PadTo16(planeSizes[1]);
    M4Window windows[3] = {M4Window(data, start0, h.m_iColumns), M4Window(data, start1, h.m_iColumns),
                           M4Window(data, start2, h.m_iColumns)};
    M4Plane planes[3] = {M4Plane(windows[0].Span(), predictors[0]), M4Plane(windows[1].Span(), predictors[1]),
                         M4Plane(windows[2].Span(), predictors[2])};
    uint32_t endRow[3] = {0, 0, 0};
    uint32_t endColumn[3] = {0, 0, 0};

    const uint32_t columns = h.m_iColumns;
    const uint32_t rows = h.m_iRows;
    for (uint32_t row = 0; row < rows; ++row) {
        int16_t* out = reinterpret_cast<int16_t*>(pixmap->GetRow(int32_t(row)));
        for (int p = 0; p < 3; ++p)
            if (planes[p].alive)
                windows[p].Prepare(planes[p]);
        const auto endPlane = [&](int p, uint64_t column) {
            planes[p].alive = false;
            endRow[p] = row;
            endColumn[p] = uint32_t(column);
            DebugPrintf("ReadImageHuffmanM4: plane %d ends at row %u column %u\n", p, row, uint32_t(column));
        };
        const auto finishRow = [&](int p, uint64_t from) {
            const uint64_t reached = DecodePlaneRow(planes[p], codes, row, from, columns,
                                                    [&](uint64_t c, uint32_t v) { out[3 * c + p] = int16_t(v); });
            if (reached < columns)
                endPlane(p, reached);
        };

        if (planes[0].alive && planes[1].alive && planes[2].alive) {
            int failed = 0;
            const uint32_t reached = DecodeRowAllPlanes(planes, codes, row, columns, out, failed);
            if (reached < columns) {
                endPlane(failed, reached);
                for (int p = 0; p < 3; ++p)
                    if (p != failed)
                        finishRow(p, p < failed ? uint64_t(reached) + 1 : reached);
            }
        } else {
            for (int p = 0; p < 3; ++p)
                if (planes[p].alive)
                    finishRow(p, 0);
        }

        StoreProgress(progress, double(row + 1) / double(rows));
        if (CancelRequested(cancel)) {
            for (int p = 0; p < 3; ++p)
                ZeroComponentFrom(pixmap, columns, rows, p, planes[p].alive ? row + 1 : endRow[p],
                                  planes[p].alive ? 0 : endColumn[p]);
            return false;
        }
    }
    for (int p = 0; p < 3; ++p)
        if (!planes[p].alive)
            ZeroComponentFrom(pixmap, columns, rows, p, endRow[p], endColumn[p]);
    return true;
}

bool ReadCamfileHuffmanM4(const PdxbCamfileHeader& h, const uint8_t* data, uint64_t size, uint8_t* buffer,
                          uint32_t length, double* progress, const std::atomic<char>* cancel)
{
    if (h.m_iCamfileType != PDXB_CAMFILE_CAMB_HUFFMAN_M4)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "h.m_iCamfileType == PDXB_CAMFILE_CAMB_HUFFMAN_M4", 0, 0);

    FByteReader in(data, size_t(size), ThrowOverrun);
    const uint32_t predictor = in.U32LE() & 0x3FF;
    const uint64_t columns = in.U32LE();
    const uint64_t rows = in.U32LE();
    const M4Codes codes(ReadCodeTable(in));
    in.Seek(kCamfileHeaderSize);

    // Values that would land beyond the buffer are never decoded: they could
    // not be delivered, and a hostile grid size must not cost time for them.
    const uint64_t values = rows * columns;  // both below 2^32: no overflow
    const uint64_t decodedSize = values > UINT64_MAX / 12 ? UINT64_MAX : values * 12 / 8;
    const uint64_t limit = buffer ? std::min<uint64_t>(decodedSize, length) : 0;
    const uint64_t deliverable = (limit * 8 + 11) / 12;  // values with a byte inside the buffer
    if (limit > 0)
        std::memset(buffer, 0, size_t(limit));

    M4Plane plane(FByteSpan{data + kCamfileHeaderSize, size_t(size - kCamfileHeaderSize)}, predictor);
    bool complete = true;
    for (uint64_t row = 0; row < rows && complete; ++row) {
        const uint64_t first = row * columns;  // index of the row's first value
        if (first >= deliverable)
            break;
        const uint64_t wanted = std::min<uint64_t>(columns, deliverable - first);
        const auto store = [&](uint64_t column, uint32_t value) {
            const uint64_t bit = (first + column) * 12;
            const uint64_t at = bit / 8;
            if (bit % 8 == 0) {
                buffer[at] = uint8_t(value >> 4);
                if (at + 1 < limit)
                    buffer[at + 1] = uint8_t(buffer[at + 1] | (value & 15) << 4);
            } else {
                buffer[at] = uint8_t(buffer[at] | value >> 8);
                if (at + 1 < limit)
                    buffer[at + 1] = uint8_t(value);
            }
        };
        if (DecodePlaneRow(plane, codes, uint32_t(row), 0, wanted, store) < wanted) {
            DebugPrintf("ReadCamfileHuffmanM4: stream ends in row %llu\n", static_cast<unsigned long long>(row));
            complete = false;
        }
        StoreProgress(progress, double(row + 1) / double(rows));
        if (CancelRequested(cancel))
            return false;
    }
    if (h.m_iDataLength < limit)
        std::memset(buffer + h.m_iDataLength, 0, size_t(limit - h.m_iDataLength));
    return true;
}
