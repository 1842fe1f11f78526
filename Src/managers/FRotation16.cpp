#include "managers/FRotation16.h"

#include <algorithm>
#include <cmath>

namespace {

// The value of pi the mapping has always used, so turned rectangles stay
// exactly what they were.
constexpr double kPi = 3.14159265399;

// 32-bit products with an arithmetic shift; computed in 64 bits so that no
// product overflows, then narrowed as the 32-bit arithmetic would wrap.
int32_t MulShift(int32_t a, int32_t b)
{
    return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 16);
}

} // namespace

FRotation16::FRotation16(double angleDegrees, int32_t width, int32_t height)
{
    const double r = angleDegrees / 180.0 * kPi;
    const int32_t c = static_cast<int32_t>(std::cos(r) * 65536.0);
    const int32_t s = static_cast<int32_t>(std::sin(r) * 65536.0);
    m0 = c;
    m1 = static_cast<int32_t>(std::sin(r) * -65536.0);
    m3 = s;
    m4 = c;
    ox = 0;
    if (c < 0)
        ox = MulShift(-c, width - 1);
    if (m1 < 0)
        ox += MulShift(-m1, height - 1);
    oy = 0;
    if (s < 0)
        oy = MulShift(-s, width - 1);
    if (c < 0)
        oy += MulShift(-c, height - 1);
}

FIntRect TransformRectBounds(const FIntRect& rect, const FRotation16& t)
{
    const int32_t x0 = t.ox + MulShift(rect.top, t.m1) + MulShift(rect.left, t.m0);
    const int32_t y0 = t.oy + MulShift(rect.top, t.m4) + MulShift(rect.left, t.m3);
    const int32_t x1 = t.ox + MulShift(rect.bottom, t.m1) + MulShift(rect.right, t.m0);
    const int32_t y1 = t.oy + MulShift(rect.bottom, t.m4) + MulShift(rect.right, t.m3);
    return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
}

void RotateRectBounds(FIntRect& rect, FIntSize& size, double angleDegrees)
{
    const FRotation16 rotation(angleDegrees, size.width, size.height);
    rect = TransformRectBounds(rect, rotation);
    const FIntRect whole = TransformRectBounds(FIntRect(0, 0, size.width, size.height), rotation);
    size.Set(whole.right - whole.left, whole.bottom - whole.top);
}
