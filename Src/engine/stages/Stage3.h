#pragma once
// Stage 3: the developed working image and its Retinex image are cut to the
// sensor's picture area, scaled to the wanted size, turned and cropped to the
// wanted window in one pass; on the way the colour image moves to cube-root
// codes and gets its green detail, and the lightness detail image is made.
#include "engine/core/FIPERequest.h"
#include "foundation/FValueTypes.h"

#include <cstdint>

class FCamdata;

// The green detail term of the camera: weight and high limit (the low limit
// is passed along and not used). Without any of the three entries the
// defaults are weight 0.001 and high limit 200; the weight is 0 when the
// camera data skips the step (SkipStepFlags bit 1) or at ISO 3200 and above.
struct FGreenDetailSettings {
    double dWeight = 0.0;
    int32_t iHighLimit = 0;
    int32_t iLowLimit = 0;
};
FGreenDetailSettings ReadGreenDetailSettings(const FCamdata* camdata, double iso);

// The picture area in the coordinates of a stored image of columns x rows:
// the camera's active area moved by the stored image's position on the
// sensor, clipped to the image. Without an active area (or when nothing of it
// lies in the image) the whole image.
FIntRect Stage3PictureArea(const FCamdata* camdata, int32_t columns, int32_t rows);

// Everything stage 3 does to the pixels, for a request whose images are all
// present: the colour and lightness outputs, the lightness detail and the
// Retinex output. Bad geometry or pixel types throw FExceptionPixelProc2.
void DevelopStage3(const FIPERequestStage3& request);
