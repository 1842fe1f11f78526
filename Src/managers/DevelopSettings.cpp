#include "managers/DevelopSettings.h"

#include "engine/core/CamdataValues.h"
#include "fileio/container/CambData.h"
#include "foundation/FPropTree.h"

#include <cstdio>

namespace {

bool IsQuarterTurn(int32_t rotation)
{
    const int32_t r = ((rotation % 360) + 360) % 360;
    return r == 90 || r == 270;
}

FString UpperProperty(const FPropTree& props, const char* key)
{
    const FString empty;
    FString text = *props.GetValue(FString(key), &empty);
    text.MakeUpper();
    return text;
}

bool Contains(const FString& text, const char* part)
{
    return text.Find(FString(part)) != nullptr;
}

} // namespace

bool FitOutputSize(const FIntSize& requested, int32_t columns, int32_t rows, int32_t rotation, FIntSize& fitted)
{
    fitted = requested;
    if (columns <= 0 || rows <= 0 || requested.width <= 0 || requested.height <= 0)
        return false;
    // The output size is that of the picture as displayed.
    const double aspect = IsQuarterTurn(rotation) ? double(columns) / rows : double(rows) / columns;
    const int32_t width = requested.width, height = requested.height;
    if (double(height) / width > aspect) {
        const int32_t newHeight = int32_t(width * aspect);
        if (newHeight < height - 1)
            fitted.height = newHeight;
    } else {
        const int32_t newWidth = int32_t(height / aspect);
        if (newWidth < width - 1)
            fitted.width = newWidth;
    }
    return fitted.width > 0 && fitted.height > 0;
}

bool ClampCropToOutput(const FIntRect& crop, const FIntSize& fitted, FIntRect& clamped)
{
    clamped = crop;
    if (!(crop.left < fitted.width && crop.top < fitted.height && crop.right >= 1 && crop.bottom >= 1))
        return false;
    if (clamped.right > fitted.width)
        clamped.right = fitted.width;
    if (clamped.bottom > fitted.height)
        clamped.bottom = fitted.height;
    // What the request check lets through can still leave nothing here.
    return clamped.left >= 0 && clamped.top >= 0 && clamped.left < clamped.right && clamped.top < clamped.bottom;
}

bool UsesModelToneOffsets(const FPropTree& captureProps)
{
    const FString model = UpperProperty(captureProps, "CAMMODEL");
    bool offsets = false;
    if (Contains(model, "KT6M")) {
        const FString empty;
        int major = 0, minor = 0, build = 0, revision = 0;
        std::sscanf(captureProps.GetValue(FString("FIRMVERS"), &empty)->GetAscii(), "%d.%d.%d.%d", &major, &minor,
                    &build, &revision);
        offsets = int64_t(major) * 65536 + minor >= 65538;
    } else {
        offsets = Contains(model, "HV25") || Contains(model, "KT5R");
    }
    if (Contains(UpperProperty(captureProps, "CM_DESC"), "NEUTRAL"))
        offsets = false;
    return offsets;
}

double ColorModeContrastCompensation(const FCamdata* camdata, const FPropTree& captureProps)
{
    if (!camdata)
        return 0.0;
    FPropTree list(nullptr, "ColorModeContrastCompensations");
    if (!camdata->GetPropertyList("ColorModeContrastCompensations", &list) || !list.GetFirstPair())
        return 0.0;
    const FString empty;
    const FString* entry = list.GetValue(*captureProps.GetValue(FString("CM_DESC"), &empty), nullptr);
    if (!entry || entry->GetLength() == 0)
        return 0.0;
    return CheckedCamdataValue(CamdataGetFloatDefault(camdata, entry->GetAscii(), 0.0f), kCamdataContrast, 0.0);
}
