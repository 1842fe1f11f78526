#pragma once
// Request records: the whole contract between an image manager and its engine.
// The caller allocates a record of the right class, fills its inputs (the
// resume block included), hands it to FIIPEngine2::Request, polls its status
// and progress, may raise its cancel flag, and once the status has left
// "pending" reads its outputs and deletes it. The engine never keeps a record
// after handling it and never allocates one.
//
// A running record is shared with the engine's processing thread without a
// lock:
//   - the handler writes every output, the error code and text and the resume
//     block first, and the status last (Finish or Fail, release); the caller
//     reads the status (acquire) and touches the rest only after it has left
//     kIPStatusPending;
//   - progress may be read at any time; the cancel flag is the one field the
//     caller writes while the record runs;
//   - after the final status the engine never touches the record again, so the
//     caller may delete it at once.
//
// Pixmap pointers are headers the record does not own (the caller's cache
// entries do); the caller keeps them alive until the status has left pending.
#include "foundation/FString.h"
#include "foundation/FValueTypes.h"

#include <atomic>
#include <cstdint>
#include <type_traits>

class FCamdata;
class FPixmap;
class FPropTree;

// The ids GetType returns, one per record class.
enum FIPERequestType : int32_t {
    kIPERequestStage1 = 0,
    kIPERequestStage2 = 1,
    kIPERequestStage3 = 2,
    kIPERequestStage4 = 3,
    kIPERequestGenerateToneLUT = 4,
    kIPERequestCropSizeRotate = 5,
    kIPERequestRotate = 6,
};

// The managers' own request records use the same numbers and copy them.
enum IPRequestStatus : int32_t {
    kIPStatusNew = 0,       // created, not yet handed to an engine
    kIPStatusPending = 1,   // accepted and running
    kIPStatusDone = 2,
    kIPStatusCancelled = 3,
    kIPStatusError = 4,
};

// The engine uses 1, 2, 4, 13 and 14; the image managers' records share the
// numbering and add the codes of file work.
enum IPErrorCode : int32_t {
    kIPErrorNone = 0,
    kIPErrorBusy = 1,
    kIPErrorBadParameter = 2,
    kIPErrorNotInFile = 3,         // the file lacks a required image or camera data
    kIPErrorUnsupportedRequest = 4,
    kIPErrorFileIO = 5,
    kIPErrorFileNotFound = 6,
    kIPErrorJPEG = 8,              // reader or codec failure reported by a loader
    kIPErrorModifyFailed = 9,      // writing properties into the file failed
    kIPErrorProfileMissing = 11,   // no colour profile for a save's colour space
    kIPErrorNoPreview = 12,        // no embedded preview picture in the file
    kIPErrorOutOfMemory = 13,
    kIPErrorException = 14,
};

// Where an interrupted stage continues: ten 32-bit words that the caller
// copies as 40 raw bytes between the record and the header of the stage
// output's cache entry (all zero in a fresh entry).
struct FIPEResumeState {
    // Stage tags, the four-character codes 'STG1' and 'STG2' as numbers.
    static constexpr uint32_t kTagStage1 = 0x53544731;
    static constexpr uint32_t kTagStage2 = 0x53544732;

    enum : int {
        kWordTag = 0,
        kWordStep = 1,     // the next step of the stage (stage 1: always 0)
        kWordPosition = 2, // words 2 to 4: positions inside the step (stage 1: the next row)
        kWordCount = 10,   // words 5 to 9 are not used by the engine and kept
    };

    // True when the block carries tag, so the stage continues from the saved
    // words. Otherwise the stage claims the block: the tag is stored, words 1
    // to lastWordUsed are cleared and false says to start from the beginning.
    bool ResumeOrRestart(uint32_t tag, int lastWordUsed);

    uint32_t m_aWords[kWordCount] = {};
};
static_assert(sizeof(FIPEResumeState) == 40, "the resume block is copied as 40 raw bytes");
static_assert(std::is_trivially_copyable_v<FIPEResumeState>, "the resume block is copied as 40 raw bytes");

class FIPERequest {
public:
    FIPERequest() = default;
    FIPERequest(const FIPERequest&) = delete;
    FIPERequest& operator=(const FIPERequest&) = delete;
    virtual ~FIPERequest() = default;

    // One of FIPERequestType.
    virtual int32_t GetType() const = 0;

    // The caller's side, at any time.
    int32_t GetStatus() const { return m_iStatus.load(std::memory_order_acquire); }
    // The fraction done, 0 to 1.
    double GetProgress() const { return m_dProgress.load(std::memory_order_acquire); }
    // Asks the engine to stop; stages that honour it end with kIPStatusCancelled.
    void Cancel() { m_bCancel.store(1, std::memory_order_release); }
    bool IsCancelled() const { return m_bCancel.load(std::memory_order_acquire) != 0; }
    int32_t GetError() const { return m_iErrorCode; }
    // For kernels that poll the flag between rows.
    const std::atomic<char>* GetCancelFlag() const { return &m_bCancel; }

    // The handler's side, on the processing thread.
    void SetProgress(double fraction) { m_dProgress.store(fraction, std::memory_order_release); }
    // Ends the record with kIPStatusDone or kIPStatusCancelled, no error.
    void Finish(int32_t status);
    // Ends the record with kIPStatusError, the code and the text (UTF-8).
    void Fail(int32_t errorCode, const char* text);
    void Fail(int32_t errorCode, const FString& text);

    // Meaningful once the status is kIPStatusError; read after the status.
    int32_t m_iErrorCode = kIPErrorNone;
    FString m_sErrorText;
    FIPEResumeState m_ResumeState;

private:
    friend class FIPEngine2;

    // Status 1, progress 0, no error: the state of an accepted record. The
    // flag, when given, is cleared just before the final status is published.
    void priAccept(std::atomic<bool>* handlerRunning);
    void priPublishStatus(int32_t status);

    std::atomic<double> m_dProgress{0.0};
    std::atomic<int32_t> m_iStatus{kIPStatusNew};
    std::atomic<char> m_bCancel{0};
    // The engine's "handler still running" flag while the engine handles the
    // record, so that the engine never needs to read a record whose owner may
    // already have deleted it.
    std::atomic<bool>* m_pHandlerRunning = nullptr;
};

// Stage 1, linearisation and dark subtraction.
class FIPERequestStage1 : public FIPERequest {
public:
    int32_t GetType() const override { return kIPERequestStage1; }

    const FPixmap* m_pRawImage = nullptr;  // in, PIXEL_48_RGB
    const FPixmap* m_pDarkImage = nullptr; // in, PIXEL_48_RGB, the raw image's size
    const FCamdata* m_pCambData = nullptr; // in
    FPixmap* m_pOutImage = nullptr;        // out, PIXEL_48S_RGB, the raw image's size
    FIntTriple m_aiSaturationLevel{0};     // out, R, G, B
    FIntTriple m_aiDarkLevel{0};           // out, R, G, B
};

// Stage 2, development into the working space.
class FIPERequestStage2 : public FIPERequest {
public:
    int32_t GetType() const override { return kIPERequestStage2; }

    FPixmap* m_pStage1Image = nullptr;       // in and out, PIXEL_48S_RGB, developed in place
    FPixmap* m_pStage2PreMatImage = nullptr; // out, PIXEL_48S_RGB: the image before the colour matrix
    const FPropTree* m_pCaptureProps = nullptr;
    int32_t m_iExposureTime = 0; // EXPTIME, microseconds
    double m_dAperture = 0.0;
    const FCamdata* m_pCambData = nullptr;
    // Work pixmap, PIXEL_48S_RGB, at least as wide as the image and at least
    // ((H + 3) / 4 x ((W + 3) / 4) + W - 1) / W + 2 rows.
    FPixmap* m_pTempData = nullptr;
    double m_dISO = 100.0;
    // Camera gains R, G, B; a second component of 0 or less means none.
    FDoubleTriple m_adNeutral;
    FPixmap* m_pRtnxImage = nullptr; // out, PIXEL_16S_MONO: the Retinex base image
    double m_dAutoExposure = 0.0;    // out: the automatic adjustment values
    double m_dAutoShadow = 0.0;
    double m_dAutoContrast = 0.0;
    double m_dAutoHighlight = 0.0;
    double m_dAutoSaturation = 0.0;
    double m_dFillLight = 0.0; // out, found by the Retinex step
    FDoubleTriple m_adAutoColorGain; // out
    FString m_sWhiteBalance;         // in; empty: the picture's WB_DESC
    // m_adNeutral is in working-space terms (the managers always pass false).
    bool m_bNeutralInWorkingSpace = false;
    bool m_bDump = false; // write a diagnostic dump of each step
    FString m_sDumpPath;
    FIntTriple m_aiSaturationLevel{0}; // in, from stage 1
    FIntTriple m_aiDarkLevel{0};       // in, from stage 1
    bool m_bRommWorkingSpace = false;  // out: the output is in colour space 11 (else 2)
    double m_dChromaNoise = 0.5;       // in, noise-reduction strengths
    double m_dLumaNoise = 0.5;
    // Filled by the managers; the engine does not read them.
    int32_t m_iColorSpace = 0;
    int32_t m_iPipeFlags = 0;
};

// Stage 3, crop, size, quarter turns and detail.
class FIPERequestStage3 : public FIPERequest {
public:
    int32_t GetType() const override { return kIPERequestStage3; }

    const FPixmap* m_pStage2Image = nullptr;     // in, PIXEL_48S_RGB
    const FPixmap* m_pStage2ImageRtnx = nullptr; // in, PIXEL_16S_MONO
    // The size to which the whole (rotated) picture is scaled.
    int32_t m_iOutWidth = 0;
    int32_t m_iOutHeight = 0;
    // The part of the scaled picture that is output; its size is the outputs'.
    FIntRect m_rcCrop;
    int32_t m_iRotation = 0; // degrees: 0, 90, 180 or 270
    double m_dISO = 100.0;
    // The picture's size as displayed: COLS x ROWS for rotations 0 and 180,
    // ROWS x COLS for 90 and 270.
    int32_t m_iImageWidth = 0;
    int32_t m_iImageHeight = 0;
    const FCamdata* m_pCambData = nullptr;
    FPixmap* m_pTempData = nullptr;     // in, PIXEL_48S_RGB work rows; must not be null
    FPixmap* m_pOutImage = nullptr;     // out, PIXEL_48S_RGB of the crop's size
    FPixmap* m_pOutImageL = nullptr;    // out, PIXEL_16S_MONO, the lightness detail
    FPixmap* m_pOutImageRtnx = nullptr; // out, PIXEL_16S_MONO
    // Filled by the managers; the engine does not read them.
    bool m_bRommWorkingSpace = false;
    int32_t m_iPipeFlags = 0;
};

// Stage 4, tone and output conversion.
class FIPERequestStage4 : public FIPERequest {
public:
    int32_t GetType() const override { return kIPERequestStage4; }

    const FPixmap* m_pStage3Image = nullptr;     // in, PIXEL_48S_RGB
    const FPixmap* m_pStage3ImageL = nullptr;    // in, PIXEL_16S_MONO
    const FPixmap* m_pStage3ImageRtnx = nullptr; // in, PIXEL_16S_MONO
    const int16_t* m_pToneLUT = nullptr;  // in, three consecutive tables of 65536 (R, G, B)
    const int16_t* m_pRtnxLUT = nullptr;  // in, 65536 entries
    const int16_t* m_pGammaLUT = nullptr; // in, 65536 entries
    int32_t m_iColorSpace = 0;            // in, the output colour-space id
    double m_dSharpness = 0.0;
    double m_dSaturation = 0.0;
    // out: PIXEL_32_BGRA for display, PIXEL_24_RGB or PIXEL_48_RGB for files.
    FPixmap* m_pOutImage = nullptr;
    bool m_bRommWorkingSpace = false; // in, as stage 2 produced it
    // Filled by the managers; the engine does not read them.
    const FCamdata* m_pCambData = nullptr;
    int32_t m_iPipeFlags = 0;
};

// The tone curve.
class FIPERequestGenerateToneLUT : public FIPERequest {
public:
    int32_t GetType() const override { return kIPERequestGenerateToneLUT; }

    double m_dExposure = 0.0;
    double m_dShadow = 0.0;
    double m_dContrast = 0.0;
    double m_dHighlight = 0.0;
    FDoubleTriple m_adColorGain;          // R, G, B
    double m_dContrastCompensation = 0.0; // added to the contrast
    double m_dISO = 100.0;
    bool m_bModelToneOffsets = false;
    int16_t* m_pToneLUT = nullptr; // out, three consecutive tables of 65536 (R, G, B)
    // Filled by the managers; the engine does not read them.
    const FPixmap* m_pStage3Image = nullptr;
    int32_t m_iPipeFlags = 0;
};

// Crop, size and quarter turns of a display pixmap.
class FIPERequestCropSizeRotate : public FIPERequest {
public:
    int32_t GetType() const override { return kIPERequestCropSizeRotate; }

    const FPixmap* m_pInImage = nullptr; // PIXEL_32_BGRA
    int32_t m_iOutWidth = 0;
    int32_t m_iOutHeight = 0;
    FIntRect m_rcCrop;
    int32_t m_iRotation = 0;         // degrees, a multiple of 90
    FPixmap* m_pOutImage = nullptr; // display pixmap of the crop's size
};

// Rotation of a display pixmap by any angle.
class FIPERequestRotate : public FIPERequest {
public:
    int32_t GetType() const override { return kIPERequestRotate; }

    const FPixmap* m_pInImage = nullptr;
    int32_t m_iAngle = 0;            // degrees
    FPixmap* m_pOutImage = nullptr; // allocated by the caller at the rotated bounds
};
