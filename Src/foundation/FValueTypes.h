#pragma once
// Small value classes shared by geometry, colour and lookup-table code. They are
// copied by value and own nothing, except the lookup tables when told to.

#include <cstdint>
#include <memory>

// Real-to-int conversion truncating toward zero, saturating at the int range
// (NaN gives 0), so that no out-of-range value is ever converted.
int TruncateToInt(double value);

class FDoublePoint {
public:
    // Integer arguments convert through the double forms (one form each, so mixed
    // int and double arguments are never ambiguous).
    FDoublePoint() = default;
    FDoublePoint(double px, double py) : x(px), y(py) {}

    void Set(double px, double py) { x = px; y = py; }
    void Offset(double dx, double dy) { x += dx; y += dy; }
    FDoublePoint& operator+=(const FDoublePoint& p) { x += p.x; y += p.y; return *this; }
    FDoublePoint& operator*=(double s) { x *= s; y *= s; return *this; }
    FDoublePoint& operator/=(double s) { x /= s; y /= s; return *this; }
    FDoublePoint operator-(const FDoublePoint& p) const { return {x - p.x, y - p.y}; }
    FDoublePoint operator*(double s) const { return {x * s, y * s}; }
    FDoublePoint operator/(double s) const { return {x / s, y / s}; }

    double x = 0.0;
    double y = 0.0;
};

class FIntSize {
public:
    FIntSize() = default;
    FIntSize(int w, int h) : width(w), height(h) {}
    void Set(int w, int h) { width = w; height = h; }

    int width = 0;
    int height = 0;
};

// Right and bottom are exclusive: width = right - left.
class FIntRect {
public:
    FIntRect() = default;
    FIntRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
    void Set(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
    void SetEmpty() { Set(0, 0, 0, 0); }
    // 64-bit: rectangles from camera data may span more than the int range.
    int64_t Width() const { return int64_t{right} - left; }
    int64_t Height() const { return int64_t{bottom} - top; }
    // No width or no height (also when the sides are the wrong way round).
    bool IsEmpty() const { return right <= left || bottom <= top; }
    // True when both are non-empty and share at least one pixel.
    bool Intersects(const FIntRect& other) const
    {
        return !IsEmpty() && !other.IsEmpty() && left < other.right && other.left < right && top < other.bottom &&
               other.top < bottom;
    }

    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class FDoubleRect {
public:
    FDoubleRect() = default;
    FDoubleRect(double l, double t, double r, double b) : left(l), top(t), right(r), bottom(b) {}

    void Set(double l, double t, double r, double b) { left = l; top = t; right = r; bottom = b; }
    void SetEmpty() { Set(0.0, 0.0, 0.0, 0.0); }
    double Width() const { return right - left; }
    double Height() const { return bottom - top; }
    void Offset(double dx, double dy);
    FDoubleRect& operator*=(double s);
    FDoubleRect& operator/=(double s);
    // No normalisation: rectangles that do not overlap leave a negative size.
    void IntersectWith(const FDoubleRect& other);
    // All four edges belong to the rectangle.
    bool Contains(double x, double y) const;
    bool Contains(const FDoublePoint& p) const { return Contains(p.x, p.y); }
    // True only when width and height are both exactly 0.
    bool IsZeroSize() const { return Width() == 0.0 && Height() == 0.0; }
    // The four coordinates truncated toward zero (not rounded).
    FIntRect ToCRect() const;

    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
};

class FIntTriple;

// Component-wise arithmetic; division by zero follows floating-point rules.
class FDoubleTriple {
public:
    FDoubleTriple() = default;
    FDoubleTriple(double c0, double c1, double c2) : r(c0), g(c1), b(c2) {}
    explicit FDoubleTriple(double v) : r(v), g(v), b(v) {}
    explicit FDoubleTriple(const FIntTriple& t);

    // Component 0, 1 or 2; other indices clamp to the nearest component.
    double& operator[](int i) { return i <= 0 ? r : (i == 1 ? g : b); }
    double operator[](int i) const { return i <= 0 ? r : (i == 1 ? g : b); }

    FDoubleTriple& operator+=(const FDoubleTriple& t) { r += t.r; g += t.g; b += t.b; return *this; }
    FDoubleTriple& operator*=(const FDoubleTriple& t) { r *= t.r; g *= t.g; b *= t.b; return *this; }
    FDoubleTriple& operator/=(double s) { r /= s; g /= s; b /= s; return *this; }
    FDoubleTriple operator-(const FDoubleTriple& t) const { return {r - t.r, g - t.g, b - t.b}; }
    FDoubleTriple operator*(const FDoubleTriple& t) const { return {r * t.r, g * t.g, b * t.b}; }
    FDoubleTriple operator*(double s) const { return {r * s, g * s, b * s}; }
    FDoubleTriple operator/(double s) const { return {r / s, g / s, b / s}; }
    FDoubleTriple operator/(const FDoubleTriple& t) const { return {r / t.r, g / t.g, b / t.b}; }
    FDoubleTriple operator+(double s) const { return {r + s, g + s, b + s}; }

    // First, second and third component: R, G, B (or x, y, z).
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
};

class FIntTriple {
public:
    FIntTriple(int c0, int c1, int c2) : r(c0), g(c1), b(c2) {}
    explicit FIntTriple(int v) : r(v), g(v), b(v) {}
    // Each component truncated toward zero (saturating, see TruncateToInt).
    explicit FIntTriple(const FDoubleTriple& t);

    int& operator[](int i) { return i <= 0 ? r : (i == 1 ? g : b); }
    int operator[](int i) const { return i <= 0 ? r : (i == 1 ? g : b); }

    FIntTriple& operator*=(const FIntTriple& t);
    // Arithmetic shift right of each component by n & 31.
    FIntTriple& operator>>=(int n);
    FIntTriple operator+(const FIntTriple& t) const;
    // Integer division truncating toward zero; a zero divisor is the caller's to avoid.
    FIntTriple operator/(const FIntTriple& t) const { return {r / t.r, g / t.g, b / t.b}; }
    FIntTriple operator/(int d) const { return {r / d, g / d, b / d}; }
    FIntTriple operator+(int v) const;
    FIntTriple operator-(int v) const;
    // Each component becomes (int)(component * factor + 0.5), truncated toward zero.
    void ScaleRounded(double factor);

    int r;
    int g;
    int b;
};

// A 16-bit lookup table read through an index mask (size - 1), so any index
// stays inside the table. Owns its table only when told to.
class FLUT16 {
public:
    FLUT16() = default;
    // A view of size entries; size 0 gives an empty table.
    FLUT16(int16_t* table, uint32_t size, bool ownsTable = false);
    // An owned table of size entries, all 0.
    explicit FLUT16(uint32_t size);
    FLUT16(const FLUT16&) = delete;
    FLUT16& operator=(const FLUT16&) = delete;
    FLUT16(FLUT16&& other) noexcept;
    FLUT16& operator=(FLUT16&& other) noexcept;
    ~FLUT16();

    int16_t operator[](int32_t index) const { return m_pTable[static_cast<uint32_t>(index) & m_iMask]; }
    int16_t& operator[](int32_t index) { return m_pTable[static_cast<uint32_t>(index) & m_iMask]; }

    int16_t* m_pTable = nullptr;
    uint32_t m_iMask = 0;
    uint32_t m_iSize = 0;
    bool m_bOwnsTable = false;

private:
    // Holds m_pTable when the table is owned; it frees it on destruction and on move assignment.
    std::unique_ptr<int16_t[]> m_pOwnedTable;
};

// Three tables of equal size sharing one mask.
class FLUT16RGB {
public:
    FLUT16RGB() = default;
    FLUT16RGB(int16_t* red, int16_t* green, int16_t* blue, uint32_t size, bool ownsTables = false);
    // Three owned tables of size entries, all 0.
    explicit FLUT16RGB(uint32_t size);
    FLUT16RGB(const FLUT16RGB&) = delete;
    FLUT16RGB& operator=(const FLUT16RGB&) = delete;
    FLUT16RGB(FLUT16RGB&& other) noexcept;
    FLUT16RGB& operator=(FLUT16RGB&& other) noexcept;
    ~FLUT16RGB();

    int16_t Red(int32_t index) const { return m_pRed[static_cast<uint32_t>(index) & m_iMask]; }
    int16_t Green(int32_t index) const { return m_pGreen[static_cast<uint32_t>(index) & m_iMask]; }
    int16_t Blue(int32_t index) const { return m_pBlue[static_cast<uint32_t>(index) & m_iMask]; }

    int16_t* m_pRed = nullptr;
    int16_t* m_pGreen = nullptr;
    int16_t* m_pBlue = nullptr;
    uint32_t m_iMask = 0;
    uint32_t m_iSize = 0;
    bool m_bOwnsTables = false;

private:
    void Free();
    void TakeFrom(FLUT16RGB& other);
};
