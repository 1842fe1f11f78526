#pragma once
// What the three loaders share in handling one request: the outcome record,
// its publication into the request (status last), the mapping of exceptions
// to status and error codes, and the file-size identity of JPEG and TIFF files.

#include "fileio/loaders/FDataRetrieverRequest.h"
#include "foundation/FException.h"
#include "foundation/FString.h"
#include "foundation/FWideText.h"

#include <new>
#include <utility>

class FPropTree;

// The status, error code and error text a request ends with. Results other
// than these are written into the request directly while it runs.
struct FLoaderOutcome {
    int m_iStatus = LOADER_STATUS_DONE;
    int m_iError = LOADER_ERROR_NONE;
    FString m_sText; // written into the request only with a failure status

    static FLoaderOutcome Done() { return {}; }
    static FLoaderOutcome Cancelled() { return {LOADER_STATUS_CANCELLED, LOADER_ERROR_NONE, FString()}; }
    static FLoaderOutcome Error(int error, const FString& text) { return {LOADER_STATUS_ERROR, error, text}; }
    static FLoaderOutcome Error(int error, const char* text);
};

// Error code and text, then the status. Nothing touches the request after this.
void PublishOutcome(FDataRetrieverRequest& request, const FLoaderOutcome& outcome);

// "<loader>: Property list pointer is NULL".
FLoaderOutcome NullPropTreeOutcome(const char* loaderName);

// JPEG and TIFF files: "UNIQUEID" = "%X-%X" of the low and high halves of the
// file size.
FLoaderOutcome AppendFileSizeUniqueID(const char* loaderName, const FString& url, FPropTree* tree);

// Runs a request's work with the reader family's exceptions mapped to the
// request's codes. body(outcome) opens its own reader, so the reader is gone
// (its file closed) before the caller publishes the outcome.
template <class ReaderFamily, class Body>
FLoaderOutcome RunLoaderRequest(const char* loaderName, FDataRetrieverRequest& request, Body&& body)
{
    request.SetError(LOADER_ERROR_NONE);
    request.SetStatus(LOADER_STATUS_PENDING);
    FLoaderOutcome outcome;
    try {
        std::forward<Body>(body)(outcome);
    } catch (const FExceptionFileNotFound&) {
        outcome = FLoaderOutcome::Error(LOADER_ERROR_FILE_NOT_FOUND, request.m_sURL);
    } catch (const ReaderFamily& e) {
        outcome = FLoaderOutcome::Error(LOADER_ERROR_READER_EXCEPTION, ExceptionWideText(loaderName, e));
    } catch (const FException& e) {
        outcome = FLoaderOutcome::Error(LOADER_ERROR_EXCEPTION, ExceptionWideText(loaderName, e));
    } catch (const std::bad_alloc&) {
        outcome = FLoaderOutcome::Error(LOADER_ERROR_OUT_OF_MEMORY,
                                        WideFromSystemText((FNarrowString(loaderName) += ": out of memory").GetText()));
    } catch (...) {
        outcome = FLoaderOutcome::Error(LOADER_ERROR_EXCEPTION,
                                        WideFromSystemText((FNarrowString(loaderName) += ": unknown exception").GetText()));
    }
    return outcome;
}
