// The per-image worker's answers about a file: its unique id and properties,
// written changes, and the completions of the automatic adjustment, the
// neutral at a point and the camera's illuminant and colour-mode lists.
#include "managers/IPManager2.h"

#include "fileio/container/CambData.h"
#include "foundation/FCache.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "managers/FDataObject.h"
#include "managers/FDataRetriever.h"
#include "managers/FRotation16.h"
#include "managers/IPMCacheEntry.h"
#include "managers/IPManager2Private.h"
#include "managers/IPManagerData.h"

#include <algorithm>

using namespace ipmanager2;

namespace {

constexpr int kPatchHalf = 4;

void ReleasePropertiesCacheEntry(FICacheObject* entry)
{
    FPropTree*& tree = *static_cast<FPropTree**>(entry->GetData());
    delete tree;
    tree = nullptr;
}

FPropTree* TreeOf(FICacheObject* entry)
{
    return *static_cast<FPropTree**>(entry->GetData());
}

// Clears every value of the tree's pairs.
void EmptyValues(FPropTree& tree)
{
    for (FPropPair* pair = tree.GetFirstPair(); pair; pair = pair->GetNext())
        pair->m_sValue.Empty();
}

void RemovePairNamed(FPropTree& tree, const char* name)
{
    FPropPair* pair = tree.FindPair(FString(name));
    if (pair)
        tree.RemovePair(pair);
}

bool HasNeutral(const FCamdata& camdata, const char* name)
{
    const CambMatrix* matrix = camdata.FindMatrix(name, 3);
    return matrix && matrix->ElementCount() == 3;
}

} // namespace

void IPManager2::priReleaseUncollectedData()
{
    if (m_RetrieverRequest.m_iKind != kRetrieverData || m_RetrieverRequest.IsPending())
        return;
    if (FIDataObject* object = GetRetrievedObject(m_RetrieverRequest))
        object->Release();
    m_RetrieverRequest.m_SlotA = 0;
}

void IPManager2::priPrepareRetrieverRequest(const FString& url, int kind, intptr_t what, intptr_t index)
{
    priReleaseUncollectedData();
    SetRetrieverRequest(m_RetrieverRequest, url, kind, what, index);
}

void IPManager2::priRunRetrieverRequest()
{
    m_pRetriever->Request(&m_RetrieverRequest);
    while (m_RetrieverRequest.IsPending())
        m_pRetriever->Idle();
}

bool IPManager2::priGetUniqueID(IPManagerData& request, FString& id)
{
    id.Empty();
    if (m_RetrieverRequest.IsPending()) {
        // Left running by a request its caller ended: it is stopped and
        // collected, so the new request finds the retriever free.
        m_RetrieverRequest.Cancel();
        while (m_RetrieverRequest.IsPending())
            m_pRetriever->Idle();
    }
    FPropTree tree(nullptr, "UniqueIDProp");
    priPrepareRetrieverRequest(request.m_sURL, kRetrieverInfo, kRetrieverInfoUniqueID,
                        reinterpret_cast<intptr_t>(&tree));
    priRunRetrieverRequest();
    if (m_RetrieverRequest.GetStatus() != kIPStatusDone) {
        request.m_Result.TakeOutcome(m_RetrieverRequest);
        return false;
    }
    const FString fallback("NO-UNIQUEID");
    id = *tree.GetValue(FString("UNIQUEID"), &fallback);
    return true;
}

void IPManager2::priGetCaptureProps(IPManagerData& request)
{
    FString id;
    if (!priGetUniqueID(request, id))
        return;
    if (m_pCaptureProps)
        return;
    const FString label = PropertiesLabel(request.m_sURL, id);
    if ((m_Held.props = FindCacheEntry(label))) {
        m_pCaptureProps = TreeOf(m_Held.props);
        return;
    }

    // Read first and published whole, so a worker of another thread never
    // finds a tree that is still being filled.
    auto tree = std::make_unique<FPropTree>(nullptr, request.m_sURL.GetAscii());
    priPrepareRetrieverRequest(request.m_sURL, kRetrieverInfo, kRetrieverInfoProperties,
                        reinterpret_cast<intptr_t>(tree.get()));
    priRunRetrieverRequest();
    if (m_RetrieverRequest.GetStatus() != kIPStatusDone) {
        request.m_Result.TakeOutcome(m_RetrieverRequest);
        return;
    }

    std::lock_guard lock(CacheEntryCreationLock());
    FICache* cache = GetGlobalCache();
    if ((m_Held.props = cache->Allocate(label, 0))) {
        m_pCaptureProps = TreeOf(m_Held.props);
        return;
    }
    m_Held.props = cache->Allocate(label, sizeof(FPropTree*));
    if (!m_Held.props) {
        request.m_Result.Fail(kIPErrorOutOfMemory,
                              "IPManager2::priGetCaptureProps: Out of memory allocating capture props");
        return;
    }
    m_pCaptureProps = tree.release();
    *static_cast<FPropTree**>(m_Held.props->GetData()) = m_pCaptureProps;
    m_Held.props->SetPriority(kPriorityProperties);
    m_Held.props->SetReleaseCallback(ReleasePropertiesCacheEntry);
}

void IPManager2::priHandlePropertiesRequest(IPManagerData& request)
{
    if (!request.m_pImageProps) {
        request.m_Result.Fail(kIPErrorBadParameter,
                              "IPManager2::priHandlePropertiesRequest: Property list ptr is NULL.");
        return;
    }
    if (m_pCaptureProps)
        priCleanup();
    priGetCaptureProps(request);
    if (request.m_Result.IsFailed() || !m_pCaptureProps) {
        priCleanup();
        return;
    }
    request.m_pImageProps->CopyPairs(m_pCaptureProps);
    priCleanup();
    request.m_Result.Finish(kIPStatusDone);
}

void IPManager2::priHandleModifyRequest(IPManagerData& request)
{
    FString id;
    if (!priGetUniqueID(request, id))
        return;
    if (!request.m_pImageProps) {
        request.m_Result.Fail(kIPErrorBadParameter, "IPManager2::priHandleModifyRequest: Property list ptr is NULL.");
        return;
    }
    priPrepareRetrieverRequest(request.m_sURL, kRetrieverModify,
                        reinterpret_cast<intptr_t>(request.m_pImageProps), 0);
    priRunRetrieverRequest();
    request.m_Result.TakeOutcome(m_RetrieverRequest);
    // A file the loader could not write (a locked one, for instance) is a
    // failed modification, whatever the writer threw.
    if (request.m_Result.IsFailed() && request.m_Result.m_eError == kIPErrorException)
        request.m_Result.m_eError = kIPErrorModifyFailed;

    // The next request reads the properties from the file again.
    if (FICacheObject* cached = FindCacheEntry(PropertiesLabel(request.m_sURL, id))) {
        ForgetCacheEntry(cached);
        cached->Unlock();
    }
}

// ---------------------------------------------------------------------------
// Completions

void IPManager2::priCompleteAutoAdjust()
{
    IPManagerData& request = *m_pCurrentRequest;
    const FPixmapEntryHeader& header = *PixmapEntryHeader(m_Held.stage2);
    request.m_dExposure = header.m_dAutoExposure;
    request.m_dContrast = header.m_dAutoContrast;
    request.m_dHighlight = header.m_dAutoHighlight;
    request.m_dShadow = header.m_dAutoShadow;
    request.m_dSaturation = header.m_dAutoSaturation;
    request.m_dFillLight = header.m_dFillLight;
    request.m_ColorAdjust = FDoubleTriple(header.m_adAutoColorGain[0], header.m_adAutoColorGain[1],
                                          header.m_adAutoColorGain[2]);
    request.m_dChromaNoise = m_pCaptureProps->GetDouble(FString("rpChromaNoise"), 0.5);
    request.m_dLumaNoise = m_pCaptureProps->GetDouble(FString("rpLumaNoise"), 0.5);
    request.m_Result.Finish(kIPStatusDone);
    m_iState = kStateIdle;
}

void IPManager2::priCompleteNeutralAtPoint()
{
    IPManagerData& request = *m_pCurrentRequest;
    const int cols = m_pCaptureProps->GetInt(FString("COLS"), 0);
    const int rows = m_pCaptureProps->GetInt(FString("ROWS"), 0);
    const int rotation = m_pCaptureProps->GetInt(FString("ROTATION"), 0);

    const FIntPoint pick = request.m_PickPoint;
    FIntRect patch(std::max(pick.x - kPatchHalf, 0), std::max(pick.y - kPatchHalf, 0),
                   std::min(pick.x + kPatchHalf, cols), std::min(pick.y + kPatchHalf, rows));
    // Back to the file's orientation; the turn may start a unit before 0.
    FIntSize size(cols, rows);
    RotateRectBounds(patch, size, -rotation);
    patch.Set(std::max(patch.left, 0), std::max(patch.top, 0), std::min(patch.right, size.width),
              std::min(patch.bottom, size.height));

    const FPixmap& image = *PixmapEntryHeader(m_Held.stage2)->m_pPixmap;
    FIntRect keep = CamdataGetRect(m_pCambData.get(), "KeepImageArea");
    FIntRect active = CamdataGetRect(m_pCambData.get(), "ActiveImageArea");
    if (image.m_iColumns == keep.right - keep.left && image.m_iRows == keep.bottom - keep.top)
        active.Set(active.left - keep.left, active.top - keep.top, active.right - keep.left,
                   active.bottom - keep.top);
    if (size.width > 0 && size.height > 0) {
        const double fx = double(active.right - active.left) / size.width;
        const double fy = double(active.bottom - active.top) / size.height;
        patch.Set(active.left + TruncateToInt(fx * patch.left), active.top + TruncateToInt(fy * patch.top),
                  active.left + TruncateToInt(fx * patch.right), active.top + TruncateToInt(fy * patch.bottom));
    }
    // Camera data come from the file: the patch never reaches outside the image.
    patch.Set(std::max(patch.left, 0), std::max(patch.top, 0), std::min(patch.right, image.m_iColumns),
              std::min(patch.bottom, image.m_iRows));

    double sum[3] = {0.0, 0.0, 0.0};
    if (image.GetPixelType() == FPixmap::PIXEL_48S_RGB) {
        for (int y = patch.top; y < patch.bottom; ++y) {
            const auto* row = reinterpret_cast<const int16_t*>(image.GetRow(y));
            for (int x = patch.left; x < patch.right; ++x)
                for (int c = 0; c < 3; ++c)
                    sum[c] += row[3 * x + c];
        }
    }
    if (sum[0] <= 0.0 || sum[1] <= 0.0 || sum[2] <= 0.0) {
        // No neutral can be made of a channel without light: a gain of
        // infinity (or below zero) would reach the colour-adjust notation.
        priFailCurrent(kIPErrorBadParameter,
                       "IPManager2::priCompleteNeutralAtPoint: no light in a channel of the picked patch.");
        return;
    }
    const double luma = 0.55 * sum[1] + 0.3 * sum[0] + 0.15 * sum[2];
    request.m_ColorAdjust = FDoubleTriple(luma / sum[0], luma / sum[1], luma / sum[2]);
    request.m_Result.Finish(kIPStatusDone);
    m_iState = kStateIdle;
}

void IPManager2::priCompleteGetIlluminants()
{
    IPManagerData& request = *m_pCurrentRequest;
    if (!request.m_pImageProps) {
        priFailCurrent(kIPErrorBadParameter, "IPManager2::priCompleteGetIlluminants: Property list ptr is NULL.");
        return;
    }
    FPropTree& list = *request.m_pImageProps;
    m_pCambData->GetPropertyList("WhiteBalanceIlluminants", &list);
    if (!list.GetFirstPair())
        m_pCambData->GetPropertyList("WhiteBalanceColorCorrections", &list);
    EmptyValues(list);
    if (!HasNeutral(*m_pCambData, "AutoRGBNeutral"))
        RemovePairNamed(list, "Auto");
    if (!HasNeutral(*m_pCambData, "CustomRGBNeutral"))
        RemovePairNamed(list, "Custom");
    request.m_Result.Finish(kIPStatusDone);
    m_iState = kStateIdle;
}

void IPManager2::priCompleteGetColorModeList()
{
    IPManagerData& request = *m_pCurrentRequest;
    if (!request.m_pImageProps) {
        priFailCurrent(kIPErrorBadParameter, "IPManager2::priCompleteGetColorModeList: Property list ptr is NULL.");
        return;
    }
    m_pCambData->GetPropertyList("ColorModeCompensations", request.m_pImageProps);
    EmptyValues(*request.m_pImageProps);
    request.m_Result.Finish(kIPStatusDone);
    m_iState = kStateIdle;
}
