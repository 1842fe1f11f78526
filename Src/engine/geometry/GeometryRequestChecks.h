#pragma once
// The checks the rotate and crop-size-rotate handlers make before their work:
// both need an input and an output display image.
#include "engine/core/EngineAssert.h"

template <class GeometryRequest>
void AssertGeometryRequest(const GeometryRequest* pReq)
{
    FIPE_REQUIRE(pReq, "pReq != NULL");
    FIPE_REQUIRE(pReq->m_pInImage, "pReq->m_pInImage != NULL");
    FIPE_REQUIRE(pReq->m_pOutImage, "pReq->m_pOutImage != NULL");
}
