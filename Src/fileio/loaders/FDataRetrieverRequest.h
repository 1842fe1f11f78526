#pragma once
// The request record that the data retriever hands to a loader.
//
// The retriever constructs, owns and destroys the record. While a queued
// request runs, the record is shared with the loader's load thread without a
// lock, so the rules are:
//   - the load thread writes every result field first and the status last
//     (release); the caller reads the status (acquire) and touches the other
//     result fields only after the status has left "pending";
//   - the cancel flag is the one field the caller may write at any time;
//   - progress may be read at any time (the decoders write it between rows);
//   - the record must stay alive until its status has left "pending", and
//     until the loader that runs it is destroyed if that happens first.
//
// Four general-purpose words carry different things per request kind (the
// retriever uses the same words with its own meanings); the accessors below
// name the loader's meanings.

#include "fileio/FProgress.h"
#include "foundation/FString.h"

#include <atomic>
#include <cstdint>

class FPixmap;
class FPropTree;

// The kinds a loader receives.
enum FLoaderRequestKind : int {
    LOADER_REQUEST_COUNT_IMAGES = 0,
    LOADER_REQUEST_LOAD_IMAGE = 1,
    LOADER_REQUEST_LOAD_CAMFILE = 2,      // the plain camfile (type 0)
    LOADER_REQUEST_LOAD_CAMB_FILE = 3,    // the camera-data camfile
    LOADER_REQUEST_GET_PROPERTIES = 4,
    LOADER_REQUEST_MODIFY_PROPERTIES = 5, // raw files only
    LOADER_REQUEST_GET_UNIQUE_ID = 6,
};

enum : int {
    LOADER_STATUS_PENDING = 1,
    LOADER_STATUS_DONE = 2,
    LOADER_STATUS_CANCELLED = 3,
    LOADER_STATUS_ERROR = 4,
};

enum : int {
    LOADER_ERROR_NONE = 0,
    LOADER_ERROR_BUSY = 1,
    LOADER_ERROR_BAD_REQUEST = 2,
    LOADER_ERROR_NOT_IN_FILE = 3,
    LOADER_ERROR_FILE_NOT_FOUND = 6,
    LOADER_ERROR_READER_EXCEPTION = 8,
    LOADER_ERROR_MODIFY_FAILED = 9,
    LOADER_ERROR_OUT_OF_MEMORY = 13,
    LOADER_ERROR_EXCEPTION = 14,
};

class FDataRetrieverRequest {
public:
    FDataRetrieverRequest() = default;
    FDataRetrieverRequest(const FDataRetrieverRequest&) = delete;
    FDataRetrieverRequest& operator=(const FDataRetrieverRequest&) = delete;

    int GetStatus() const { return m_iStatus.load(std::memory_order_acquire); }
    bool IsPending() const { return GetStatus() == LOADER_STATUS_PENDING; }
    // Publishes everything written before it to whoever reads the status.
    void SetStatus(int status) { m_iStatus.store(status, std::memory_order_release); }
    int GetError() const { return m_iError.load(std::memory_order_relaxed); }
    void SetError(int error) { m_iError.store(error, std::memory_order_relaxed); }
    double GetProgress() const { return LoadProgress(&m_dProgress); }
    void SetProgress(double progress) { StoreProgress(&m_dProgress, progress); }
    // Where a decoder running for this request writes its progress (through
    // StoreProgress), so the caller sees it while the request runs.
    double* GetProgressStorage() { return &m_dProgress; }
    bool IsCancelled() const { return m_bCancel.load(std::memory_order_relaxed) != 0; }
    void Cancel() { m_bCancel.store(1, std::memory_order_relaxed); }

    // The loader's view of the general-purpose words.
    //
    // Index word: image index in (kind 1), image count out (kind 0), camfile
    // size out (kinds 2, 3), the property tree (kinds 4, 5, 6).
    int64_t GetIndexWord() const { return static_cast<int64_t>(m_What); }
    void SetIndexWord(int64_t value) { m_What = static_cast<intptr_t>(value); }
    FPropTree* GetPropTree() const { return reinterpret_cast<FPropTree*>(m_What); }
    void SetPropTree(FPropTree* tree) { m_What = reinterpret_cast<intptr_t>(tree); }
    // First size word: columns out (kind 1, and kind 4 of JPEG and TIFF files);
    // camfile kind code out (kinds 2, 3: 1 plain, 2 camera data).
    int64_t GetFirstSizeWord() const { return static_cast<int64_t>(m_Index); }
    void SetFirstSizeWord(int64_t value) { m_Index = static_cast<intptr_t>(value); }
    // Second size word: rows out (kind 1, and kind 4 of JPEG and TIFF files);
    // the caller's camfile buffer in (kinds 2, 3; null asks for the size only).
    // Writing the word as a number leaves no camfile buffer capacity, so a
    // stale word is never taken for a buffer with room in it.
    int64_t GetSecondSizeWord() const { return static_cast<int64_t>(m_SlotA); }
    void SetSecondSizeWord(int64_t value)
    {
        m_SlotA = static_cast<intptr_t>(value);
        m_iCamfileBufferSize = 0;
    }
    uint8_t* GetCamfileBuffer() const { return reinterpret_cast<uint8_t*>(m_SlotA); }
    // Bytes the camfile buffer holds; the loader never writes beyond them,
    // even when the file has grown since the caller asked for its size.
    uint64_t GetCamfileBufferSize() const { return m_iCamfileBufferSize; }
    void SetCamfileBuffer(uint8_t* buffer, uint64_t size)
    {
        m_SlotA = reinterpret_cast<intptr_t>(buffer);
        m_iCamfileBufferSize = buffer ? size : 0;
    }
    // Image kind code out (kind 1): 1 raw, 2 dark, 3 dark-subtracted, 4
    // embedded preview, 0 not loadable.
    int GetImageKind() const { return m_iSlotB; }
    void SetImageKind(int kind) { m_iSlotB = kind; }
    // Pixel type out (kind 1).
    int GetPixelType() const { return m_iSlotC; }
    void SetPixelType(int type) { m_iSlotC = type; }
    // The pixmap to fill (kind 1); null asks for the description only.
    FPixmap* GetPixmap() const { return reinterpret_cast<FPixmap*>(m_SlotD); }
    void SetPixmap(FPixmap* pixmap) { m_SlotD = reinterpret_cast<intptr_t>(pixmap); }

    FString m_sURL;
    int m_iKind = 0;
    std::atomic<int> m_iStatus{0};
    std::atomic<int> m_iError{0};
    FString m_sErrorText;
    // Read by the decoders between rows.
    std::atomic<char> m_bCancel{0};
    intptr_t m_What = 0;
    intptr_t m_Index = 0;
    intptr_t m_SlotA = 0;
    int m_iSlotB = 0;
    int m_iSlotC = 0;
    intptr_t m_SlotD = 0;

private:
    // Written by the decoders while the request runs and read by the caller
    // at any time: touched only through StoreProgress and LoadProgress.
    alignas(kProgressAlignment) mutable double m_dProgress = 0.0;
    uint64_t m_iCamfileBufferSize = 0;
};
