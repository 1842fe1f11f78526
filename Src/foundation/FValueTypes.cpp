#include "foundation/FValueTypes.h"

#include <climits>
#include <cmath>
#include <utility>

int TruncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return INT_MAX;
    if (value <= -2147483648.0)
        return INT_MIN;
    return static_cast<int>(value);
}

// ---- FDoubleRect

void FDoubleRect::Offset(double dx, double dy)
{
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
}

FDoubleRect& FDoubleRect::operator*=(double s)
{
    Set(left * s, top * s, right * s, bottom * s);
    return *this;
}

FDoubleRect& FDoubleRect::operator/=(double s)
{
    Set(left / s, top / s, right / s, bottom / s);
    return *this;
}

void FDoubleRect::IntersectWith(const FDoubleRect& other)
{
    left = std::fmax(left, other.left);
    top = std::fmax(top, other.top);
    right = std::fmin(right, other.right);
    bottom = std::fmin(bottom, other.bottom);
}

bool FDoubleRect::Contains(double x, double y) const
{
    return left <= x && x <= right && top <= y && y <= bottom;
}

FIntRect FDoubleRect::ToCRect() const
{
    return FIntRect(TruncateToInt(left), TruncateToInt(top), TruncateToInt(right), TruncateToInt(bottom));
}

// ---- triples

FDoubleTriple::FDoubleTriple(const FIntTriple& t) : r(t.r), g(t.g), b(t.b) {}

FIntTriple::FIntTriple(const FDoubleTriple& t)
    : r(TruncateToInt(t.r)), g(TruncateToInt(t.g)), b(TruncateToInt(t.b))
{
}

// Products and sums wrap like the 32-bit machine arithmetic they stand for,
// instead of overflowing into undefined behaviour.
namespace {
int WrapMul(int a, int b) { return static_cast<int>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b)); }
int WrapAdd(int a, int b) { return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }
int WrapSub(int a, int b) { return static_cast<int>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); }
} // namespace

FIntTriple& FIntTriple::operator*=(const FIntTriple& t)
{
    r = WrapMul(r, t.r);
    g = WrapMul(g, t.g);
    b = WrapMul(b, t.b);
    return *this;
}

FIntTriple& FIntTriple::operator>>=(int n)
{
    const int shift = n & 31;
    r >>= shift;
    g >>= shift;
    b >>= shift;
    return *this;
}

FIntTriple FIntTriple::operator+(const FIntTriple& t) const
{
    return {WrapAdd(r, t.r), WrapAdd(g, t.g), WrapAdd(b, t.b)};
}

FIntTriple FIntTriple::operator+(int v) const
{
    return {WrapAdd(r, v), WrapAdd(g, v), WrapAdd(b, v)};
}

FIntTriple FIntTriple::operator-(int v) const
{
    return {WrapSub(r, v), WrapSub(g, v), WrapSub(b, v)};
}

void FIntTriple::ScaleRounded(double factor)
{
    r = TruncateToInt(r * factor + 0.5);
    g = TruncateToInt(g * factor + 0.5);
    b = TruncateToInt(b * factor + 0.5);
}

// ---- FLUT16

FLUT16::FLUT16(int16_t* table, uint32_t size, bool ownsTable)
    : m_pTable(table), m_iMask(size == 0 ? 0 : size - 1), m_iSize(size), m_bOwnsTable(ownsTable),
      m_pOwnedTable(ownsTable ? table : nullptr)
{
}

FLUT16::FLUT16(uint32_t size) : FLUT16(size == 0 ? nullptr : new int16_t[size](), size, true) {}

FLUT16::FLUT16(FLUT16&& other) noexcept
    : m_pTable(std::exchange(other.m_pTable, nullptr)), m_iMask(std::exchange(other.m_iMask, 0)),
      m_iSize(std::exchange(other.m_iSize, 0)), m_bOwnsTable(std::exchange(other.m_bOwnsTable, false)),
      m_pOwnedTable(std::move(other.m_pOwnedTable))
{
}

FLUT16& FLUT16::operator=(FLUT16&& other) noexcept
{
    if (this != &other) {
        m_pOwnedTable = std::move(other.m_pOwnedTable);
        m_pTable = std::exchange(other.m_pTable, nullptr);
        m_iMask = std::exchange(other.m_iMask, 0);
        m_iSize = std::exchange(other.m_iSize, 0);
        m_bOwnsTable = std::exchange(other.m_bOwnsTable, false);
    }
    return *this;
}

FLUT16::~FLUT16() = default;

// ---- FLUT16RGB

FLUT16RGB::FLUT16RGB(int16_t* red, int16_t* green, int16_t* blue, uint32_t size, bool ownsTables)
    : m_pRed(red), m_pGreen(green), m_pBlue(blue), m_iMask(size == 0 ? 0 : size - 1), m_iSize(size),
      m_bOwnsTables(ownsTables)
{
}

FLUT16RGB::FLUT16RGB(uint32_t size)
{
    m_iSize = size;
    m_iMask = size == 0 ? 0 : size - 1;
    m_bOwnsTables = true;
    if (size != 0) {
        try {
            m_pRed = new int16_t[size]();
            m_pGreen = new int16_t[size]();
            m_pBlue = new int16_t[size]();
        } catch (...) {
            Free();
            throw;
        }
    }
}

FLUT16RGB::FLUT16RGB(FLUT16RGB&& other) noexcept
{
    TakeFrom(other);
}

FLUT16RGB& FLUT16RGB::operator=(FLUT16RGB&& other) noexcept
{
    if (this != &other) {
        Free();
        TakeFrom(other);
    }
    return *this;
}

FLUT16RGB::~FLUT16RGB()
{
    Free();
}

void FLUT16RGB::Free()
{
    if (m_bOwnsTables) {
        delete[] m_pRed;
        delete[] m_pGreen;
        delete[] m_pBlue;
    }
    m_pRed = m_pGreen = m_pBlue = nullptr;
}

void FLUT16RGB::TakeFrom(FLUT16RGB& other)
{
    m_pRed = std::exchange(other.m_pRed, nullptr);
    m_pGreen = std::exchange(other.m_pGreen, nullptr);
    m_pBlue = std::exchange(other.m_pBlue, nullptr);
    m_iMask = std::exchange(other.m_iMask, 0);
    m_iSize = std::exchange(other.m_iSize, 0);
    m_bOwnsTables = std::exchange(other.m_bOwnsTables, false);
}
