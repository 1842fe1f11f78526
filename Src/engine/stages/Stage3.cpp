#include "engine/stages/Stage3.h"

#include "engine/core/CamdataValues.h"
#include "engine/core/EngineAssert.h"
#include "engine/core/FIPEngine2.h"
#include "engine/core/GlobalLUTs.h"
#include "engine/geometry/CropSizeRotate.h"
#include "fileio/container/CambData.h"
#include "foundation/FPixmap.h"

#include <algorithm>

namespace {

constexpr double kDefaultGreenWeight = 0.001;
constexpr int32_t kDefaultGreenHighLimit = 200;
constexpr uint32_t kSkipGreenDetail = 2;
// From this speed on the green term would mostly sharpen noise.
constexpr double kNoGreenDetailISO = 3200.0;

} // namespace

FGreenDetailSettings ReadGreenDetailSettings(const FCamdata* camdata, double iso)
{
    FGreenDetailSettings s;
    s.dWeight = CheckedCamdataValue(CamdataGetFloat(camdata, "GreenWeight"), kCamdataCoefficient, 0.0);
    s.iHighLimit = CheckedCamdataValue<int32_t>(CamdataGetInt32(camdata, "GreenHighLimit"), kCamdataCoefficient, 0);
    s.iLowLimit = CheckedCamdataValue<int32_t>(CamdataGetInt32(camdata, "GreenLowLimit"), kCamdataCoefficient, 0);
    if (s.iHighLimit == 0 && s.iLowLimit == 0 && s.dWeight == 0.0) {
        s.dWeight = kDefaultGreenWeight;
        s.iHighLimit = kDefaultGreenHighLimit;
    }
    if ((CamdataGetUInt32(camdata, "SkipStepFlags") & kSkipGreenDetail) != 0 || iso >= kNoGreenDetailISO)
        s.dWeight = 0.0;
    return s;
}

FIntRect Stage3PictureArea(const FCamdata* camdata, int32_t columns, int32_t rows)
{
    const FIntRect keep = CamdataGetRect(camdata, "KeepImageArea");
    const FIntRect active = CamdataGetRect(camdata, "ActiveImageArea");
    // 64-bit: the rectangles are camera data, any 32-bit value may come.
    const auto moved = [](int32_t side, int32_t by, int32_t limit) {
        return static_cast<int32_t>(std::clamp<int64_t>(int64_t(side) - by, 0, limit));
    };
    const FIntRect area(moved(active.left, keep.left, columns), moved(active.top, keep.top, rows),
                        moved(active.right, keep.left, columns), moved(active.bottom, keep.top, rows));
    if (area.right <= area.left || area.bottom <= area.top)
        return FIntRect(0, 0, columns, rows);
    return area;
}

void DevelopStage3(const FIPERequestStage3& r)
{
    const FLUT16& cubeRoot = GetCubeRootLUT();
    const FIntRect area = Stage3PictureArea(r.m_pCambData, r.m_pStage2Image->m_iColumns, r.m_pStage2Image->m_iRows);
    const FGreenDetailSettings green = ReadGreenDetailSettings(r.m_pCambData, r.m_dISO);
    const uint32_t rotation = static_cast<uint32_t>(r.m_iRotation);
    const double scale = CropSizeRotateMore(r.m_pStage2Image, area, r.m_iImageWidth, r.m_iImageHeight, r.m_iOutWidth,
                                            r.m_iOutHeight, r.m_rcCrop, rotation, cubeRoot, r.m_pOutImage,
                                            r.m_pOutImageL, green.dWeight, green.iHighLimit, green.iLowLimit);
    MakeLumaDetail(r.m_pOutImageL, scale);
    CropSizeRotateMono(r.m_pStage2ImageRtnx, area, r.m_iImageWidth, r.m_iImageHeight, r.m_iOutWidth, r.m_iOutHeight,
                       r.m_rcCrop, rotation, r.m_pOutImageRtnx);
}

void FIPEngine2::priProcessStage3(FIPERequestStage3* pReq)
{
    FIPE_REQUIRE(pReq, "pReq != NULL");
    FIPE_REQUIRE(pReq->m_pCambData, "pReq->m_pCambData != NULL");
    FIPE_REQUIRE(pReq->m_pOutImage, "pReq->m_pOutImage != NULL");
    FIPE_REQUIRE(pReq->m_pOutImageL, "pReq->m_pOutImageL != NULL");
    FIPE_REQUIRE(pReq->m_pOutImageRtnx, "pReq->m_pOutImageRtnx != NULL");
    FIPE_REQUIRE(pReq->m_pStage2ImageRtnx, "pReq->m_pStage2ImageRtnx != NULL");
    FIPE_REQUIRE(pReq->m_pStage2Image, "pReq->m_pStage2Image != NULL");
    FIPE_REQUIRE(pReq->m_pTempData, "pReq->m_pTempData != NULL");
    DevelopStage3(*pReq);
    pReq->Finish(kIPStatusDone);
}
