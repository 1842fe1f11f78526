#include "fileio/loaders/LoaderRequestHandling.h"

#include "foundation/FIFile.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPropTree.h"

#include <memory>

FLoaderOutcome FLoaderOutcome::Error(int error, const char* text)
{
    return Error(error, WideFromSystemText(text));
}

void PublishOutcome(FDataRetrieverRequest& request, const FLoaderOutcome& outcome)
{
    request.SetError(outcome.m_iError);
    if (outcome.m_iStatus == LOADER_STATUS_ERROR)
        request.m_sErrorText = outcome.m_sText;
    request.SetStatus(outcome.m_iStatus);
}

FLoaderOutcome NullPropTreeOutcome(const char* loaderName)
{
    const FNarrowString text("%s: Property list pointer is NULL", loaderName);
    return FLoaderOutcome::Error(LOADER_ERROR_BAD_REQUEST, text.GetText());
}

FLoaderOutcome AppendFileSizeUniqueID(const char* loaderName, const FString& url, FPropTree* tree)
{
    if (!tree)
        return NullPropTreeOutcome(loaderName);
    FFilePtr file(OpenFileByURL(url, FIFile::OPEN_READ));
    if (!file) {
        const FNarrowString text("%s::priGetUniqueID: unable to open file", loaderName);
        return FLoaderOutcome::Error(LOADER_ERROR_BAD_REQUEST, text.GetText());
    }
    const uint64_t size = static_cast<uint64_t>(file->GetSize());
    file.reset();
    FString id;
    id.Format("%X-%X", static_cast<unsigned>(size & 0xFFFFFFFFu), static_cast<unsigned>(size >> 32));
    tree->AddPair(FString("UNIQUEID"), id);
    return FLoaderOutcome::Done();
}
