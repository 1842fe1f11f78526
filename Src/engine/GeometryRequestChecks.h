#pragma once
// The checks the rotate and crop-size-rotate handlers make before their work:
// both need an input and an output display image.
#include "foundation/FAssert.h"

template <class GeometryRequest>
void AssertGeometryRequest(const GeometryRequest* pReq)
{
    if (pReq == nullptr)
        AssertionFailed("FIPEngine2", __LINE__, "pReq != NULL", 0, 0);
    if (pReq->m_pInImage == nullptr)
        AssertionFailed("FIPEngine2", __LINE__, "pReq->m_pInImage != NULL", 0, 0);
    if (pReq->m_pOutImage == nullptr)
        AssertionFailed("FIPEngine2", __LINE__, "pReq->m_pOutImage != NULL", 0, 0);
}
