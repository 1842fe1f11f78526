#include "engine/stages/Stage4.h"

#include "engine/colour/ColorSpaces.h"
#include "engine/colour/TransformColor.h"
#include "engine/core/EngineAssert.h"
#include "engine/core/FIPEngine2.h"

namespace {

constexpr uint32_t kTableSize = 65536;

} // namespace

ColorMatrix3x3 MakeSaturationMatrix(double saturation)
{
    const double offDiagonal = saturation / -6;
    const double diagonal = 1 - 2 * offDiagonal;
    return {{diagonal, offDiagonal, offDiagonal, offDiagonal, diagonal, offDiagonal, offDiagonal, offDiagonal,
             diagonal}};
}

int32_t Stage4WorkingSpace(bool rommWorkingSpace) { return rommWorkingSpace ? kColorSpaceProPhoto : kColorSpaceSRGB; }

void FIPEngine2::priProcessStage4(FIPERequestStage4* pReq)
{
    FIPE_REQUIRE(pReq, "pReq != NULL");
    FIPE_REQUIRE(pReq->m_pOutImage, "pReq->m_pOutImage != NULL");
    FIPE_REQUIRE(pReq->m_pStage3Image, "pReq->m_pStage3Image != NULL");
    FIPE_REQUIRE(pReq->m_pStage3ImageL, "pReq->m_pStage3ImageL != NULL");
    FIPE_REQUIRE(pReq->m_pStage3ImageRtnx, "pReq->m_pStage3ImageRtnx != NULL");
    FIPE_REQUIRE(pReq->m_pToneLUT, "pReq->m_pToneLUT != NULL");
    FIPE_REQUIRE(pReq->m_pRtnxLUT, "pReq->m_pRtnxLUT != NULL");
    FIPE_REQUIRE(pReq->m_pGammaLUT, "pReq->m_pGammaLUT != NULL");

    // Views of the request's tables; they stay the caller's.
    int16_t* tone = const_cast<int16_t*>(pReq->m_pToneLUT);
    const FLUT16RGB toneLUT(tone, tone + kTableSize, tone + 2 * kTableSize, kTableSize);
    const FLUT16 retinexLUT(const_cast<int16_t*>(pReq->m_pRtnxLUT), kTableSize);
    const FLUT16 gammaLUT(const_cast<int16_t*>(pReq->m_pGammaLUT), kTableSize);

    FPixelProc2::ProcessToOutput(pReq->m_pStage3Image, pReq->m_pStage3ImageL, pReq->m_pStage3ImageRtnx,
                                 pReq->m_dSharpness, toneLUT, retinexLUT, MakeSaturationMatrix(pReq->m_dSaturation),
                                 gammaLUT, Stage4WorkingSpace(pReq->m_bRommWorkingSpace), pReq->m_iColorSpace,
                                 pReq->m_pOutImage);
    pReq->Finish(kIPStatusDone);
}
