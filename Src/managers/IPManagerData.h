#pragma once
// The record through which every caller talks to an image manager: the caller
// fills it, hands it to FIPManager::Request and calls Idle of the same manager
// until the status has left kIPStatusPending; the manager writes status,
// progress, error and the results back into it. The record must neither move
// nor die while a manager holds it. Managers run in their caller's thread, so
// the record is never shared with another thread.
//
// When a caller may let a record go (destroy, reset or reuse it): once a
// manager has ended the request. A manager ends a request by writing its final
// status (done, cancelled or error) and never touches the record after that,
// so a caller that waits for the status to leave kIPStatusPending may let the
// record go as soon as it has. To stop a request, set m_Result.m_bCancel and
// go on calling Idle: the request ends cancelled (a queued one without
// running). A caller may instead write kIPStatusCancelled into the status
// itself, which stops a running engine stage at once; but that ends nothing
// by itself: the record stays held until the manager has seen it (the pool
// drops such a queued record in its next Idle, a worker its current record in
// its next slice, and the pool gives its busy workers one slice per Idle, in
// turn). Such a caller keeps the record, and goes on calling Idle, until then.
#include "engine/core/FIPERequest.h" // IPRequestStatus and IPErrorCode, shared with the engine
#include "foundation/FString.h"
#include "foundation/FValueTypes.h"

#include <cstddef>
#include <cstdint>

class FPropTree;
class FIPMImage;
class FIPManager;

class FIntPoint {
public:
    FIntPoint() = default;
    FIntPoint(int px, int py) : x(px), y(py) {}

    int x = 0;
    int y = 0;
};

struct FVersionNumber {
    int major = 1;
    int minor = 0;
    int build = 0;
    int revision = 0;
};

// " %d.%d.%d.%04d" into buffer (cut to bufferSize, always terminated) when a
// buffer is given; returns the length of the whole text plus its terminator.
int FormatVersionString(const FVersionNumber& version, char* buffer = nullptr, size_t bufferSize = 0);

// What a request asks for; only these values are handled.
enum IPRequestKind : int32_t {
    kIPRequestNone = 0,
    kIPRequestProperties = 1,
    kIPRequestPreview = 2,
    kIPRequestDevelop = 3,
    kIPRequestSave = 6,
    kIPRequestAutoAdjust = 7,
    kIPRequestModifyProperties = 9,
    kIPRequestNeutralAtPoint = 10,
    kIPRequestIlluminants = 11,
    kIPRequestColorModes = 12,
};

enum IPOutputFormat : int32_t {
    kOutputFormatNone = 0,
    kDisplay = 1, // 32-bit B, G, R, A display pixmap
    kRGB24 = 2,
    kRGB48 = 3,
};
// The pixel type of an output format: 13, 7, 15, and 0 for any other value.
int32_t PixelTypeOfOutputFormat(int32_t format);
// The colour spaces a development may deliver: sRGB, Adobe RGB, Apple RGB,
// ColorMatch RGB and ProPhoto (ROMM) RGB. Each has a profile that a saved file carries.
bool IsOutputColorSpace(int32_t colorSpace);

// Progress, status, error and the cancel flag of a request.
class IPRequestResult {
public:
    void Clear();
    bool IsPending() const { return m_eStatus == kIPStatusPending; }
    bool IsFailed() const { return m_eStatus == kIPStatusError; }
    // Status kIPStatusError with the code and the text (UTF-8).
    void Fail(int32_t error, const char* text);
    void Fail(int32_t error, const FString& text);
    // Status kIPStatusError with the code; the text stays as it is.
    void Fail(int32_t error);
    void Finish(int32_t status) { m_eStatus = status; }
    // A record taken on: no error yet, and the status given (new while it
    // waits its turn, pending once it runs).
    void Begin(int32_t status)
    {
        m_eError = kIPErrorNone;
        m_eStatus = status;
    }
    // The outcome of a request this one waited on (an engine or a retriever
    // request): its progress, status, code, text and cancel flag.
    template <class Ended>
    void TakeOutcome(const Ended& ended)
    {
        m_dProgress = ended.GetProgress();
        m_eStatus = ended.GetStatus();
        m_eError = ended.GetError();
        m_sErrorText = ended.m_sErrorText;
        m_bCancel = ended.IsCancelled();
    }

    double m_dProgress = 0.0; // 0 to 1; -1 unknown
    int32_t m_eStatus = kIPStatusNew;
    int32_t m_eError = kIPErrorNone;
    FString m_sErrorText;
    bool m_bCancel = false; // set by the caller to ask for cancellation
};

// Setting-mode codes of a save.
enum : int32_t {
    kIPSettingModeRawFile = 974586,
    kIPSettingModeAutomatic = 962000,
    kIPSettingModeCustom = 969421,
};

class IPManagerData {
public:
    IPManagerData();
    // Deletes both trees and releases the result image.
    ~IPManagerData();
    // Copying would share the trees and the result image; CopyRequestFrom is the
    // one copy the managers make.
    IPManagerData(const IPManagerData&) = delete;
    IPManagerData& operator=(const IPManagerData&) = delete;

    // Ready for another request: the fields as a new record has them, except the
    // version, the software name, the setting mode and name and the pick point.
    // Each tree that exists is replaced by a new empty one of the same name; the
    // result image's reference is released. Never on a pending record.
    void Reset();
    void SetURL(const FString& url) { m_sURL = url; }

    // Every field of other except the two trees, the result image and the
    // handling manager, which stay this record's own: a sub-request made from a
    // caller's record never shares or releases what the caller holds.
    void CopyRequestFrom(const IPManagerData& other);

    FString m_sURL;
    int32_t m_eKind = kIPRequestNone;
    FVersionNumber m_Version;
    FString m_sSoftwareName;
    int32_t m_iSettingMode = 0; // a setting-mode code; 0 none
    FString m_sSettingName;
    IPRequestResult m_Result;
    FIntSize m_OutputSize; // the whole developed picture
    FIntRect m_Crop;       // the part to deliver, in output-size coordinates
    int32_t m_eOutputFormat = kOutputFormatNone;
    FPropTree* m_pImageProps = nullptr; // "ImageProps", owned
    double m_dExposure = 0.0;
    double m_dShadow = 0.0;
    double m_dContrast = 0.0;
    double m_dHighlight = 0.0;
    double m_dSaturation = 0.0;
    double m_dSharpness = 0.0;
    double m_dFillLight = 0.0;
    double m_dChromaNoise = 0.5;
    double m_dLumaNoise = 0.5;
    FDoubleTriple m_ColorAdjust;                   // gains R, G, B
    int32_t m_iColorSpace = 2;                     // 2, 3, 4, 8 or 11
    FDoubleTriple m_CustomNeutral{-1.0, -1.0, -1.0}; // -1, -1, -1: none
    FString m_sWBDesc;                             // empty: the file's own
    bool m_bDumpIntermediates = false;
    FString m_sOutputPath;
    int32_t m_iFileType = 0; // 1 TIFF, 2 JPEG
    int32_t m_iQuality = 10; // JPEG quality index 0 to 12
    bool m_bAccurateDCT = false;
    bool m_bAllowNoProfile = true;
    FIntPoint m_PickPoint;
    FString m_sCamfileURL; // empty: the file's own camera data
    FIPMImage* m_pResultImage = nullptr; // one reference owned
    FIPManager* m_pHandlingManager = nullptr;
    FPropTree* m_pExtraProps = nullptr; // "IPManagerData", owned
    int32_t m_iPipeFlags = 0;

private:
    void priResetRequestFields();
};
