#include "engine/corrections/DarkShieldDrift.h"

#include "foundation/FException.h"

#include <algorithm>

namespace {

void CheckDriftInput(const FPixmapTemplate<FPixelClass48SRGB>* image, const FIntRect& rect)
{
    if (!image)
        throw FExceptionPixelProc2("CalculateDrift: input image is NULL");
    if (!image->m_pData)
        throw FExceptionPixelProc2("CalculateDrift: Input image has NULL buffer");
    // Columns are checked too: the rectangle comes from camera data.
    if (rect.top < 0 || rect.top >= image->m_iRows || rect.bottom > image->m_iRows || rect.left < 0 ||
        rect.right > image->m_iColumns)
        throw FExceptionPixelProc2("Calculate drift: DarkShield out of range");
}

// Calls visit(column, pixel) for every pixel of a rectangle inside the image.
template <class Visit>
void VisitRect(const FPixmapTemplate<FPixelClass48SRGB>& image, const FIntRect& rect, Visit&& visit)
{
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        const FPixelClass48SRGB* row = image.GetRow(y);
        for (int32_t x = rect.left; x < rect.right; ++x)
            visit(x, row[x]);
    }
}

} // namespace

FDriftRecord& CalculateDrift(FDriftRecord& out, const FPixmapTemplate<FPixelClass48SRGB>* image, const FIntRect& rect)
{
    out.fill(0.0);
    CheckDriftInput(image, rect);
    if (rect.left >= rect.right || rect.top >= rect.bottom)
        return out;

    const double n = static_cast<double>(rect.right - rect.left) * static_cast<double>(rect.bottom - rect.top);
    double sums[3] = {0, 0, 0};
    VisitRect(*image, rect, [&](int32_t, const FPixelClass48SRGB& p) {
        sums[0] += p.r;
        sums[1] += p.g;
        sums[2] += p.b;
    });
    const double means[3] = {sums[0] / n, sums[1] / n, sums[2] / n};

    const int32_t centre = (rect.left + rect.right) / 2;
    double trends[3] = {0, 0, 0};
    VisitRect(*image, rect, [&](int32_t column, const FPixelClass48SRGB& p) {
        const double x = column - centre;
        trends[0] += x * (p.r - means[0]);
        trends[1] += x * (p.g - means[1]);
        trends[2] += x * (p.b - means[2]);
    });
    // For values rising by s per column over w columns, 12 x the covariance
    // with the column is s (w^2 - 1): divided by W, the change across a whole
    // row when the rectangle spans it, proportionally less when it is narrower.
    const double width = image->m_iColumns;
    for (int k = 0; k < 3; ++k) {
        out[k] = trends[k] / width * (12.0 / n);
        out[3 + k] = means[k];
    }
    return out;
}

FDriftPair& CalculateDriftPair(FDriftPair& out, const FPixmapTemplate<FPixelClass48SRGB>* image, const FIntRect& top,
                               const FIntRect& bottom)
{
    FDriftRecord record;
    CalculateDrift(record, image, top);
    std::copy(record.begin(), record.end(), out.begin());
    CalculateDrift(record, image, bottom);
    std::copy(record.begin(), record.end(), out.begin() + 6);
    return out;
}
