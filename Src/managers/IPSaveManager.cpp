#include "managers/IPSaveManager.h"

#include "engine/colour/ColorSpaces.h"
#include "engine/colour/TransformColor.h"
#include "fileio/codecs/FJPEGLineWriter.h"
#include "fileio/codecs/FTemporaryOutputFile.h"
#include "fileio/codecs/FTiffLineWriter.h"
#include "foundation/FAssert.h"
#include "foundation/FColorAdjust.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "managers/FIPMImage.h"
#include "managers/TimeSlicedLoop.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

constexpr double kSliceSeconds = 0.02;
constexpr int32_t kFileTypeTIFF = 1;
constexpr int32_t kFileTypeJPEG = 2;
constexpr int32_t kThumbnailSquare = 160;
constexpr double kThumbnailPixels = 21800;

// The profile's bytes; empty when it cannot be had.
std::vector<uint8_t> ProfileBytes(int32_t colorSpace)
{
    std::vector<uint8_t> bytes;
    cmsHPROFILE profile = OpenColorSpaceProfile(colorSpace);
    if (!profile)
        return bytes;
    cmsUInt32Number size = 0;
    if (cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
        bytes.resize(size);
        if (!cmsSaveProfileToMem(profile, bytes.data(), &size))
            bytes.clear();
    }
    cmsCloseProfile(profile);
    return bytes;
}

bool IsSevenBitWithoutQuestionMark(const FString& text)
{
    for (char16_t unit : text.View())
        if (unit >= 0x80 || unit == u'?')
            return false;
    return true;
}

const char* RequestProblem(const IPManagerData& request)
{
    const FIntRect& crop = request.m_Crop;
    const FIntSize& size = request.m_OutputSize;
    if (request.m_iFileType != kFileTypeTIFF && request.m_iFileType != kFileTypeJPEG)
        return "IPSaveManager: unknown file type.";
    if (request.m_eOutputFormat != kRGB24 && request.m_eOutputFormat != kRGB48)
        return "IPSaveManager: unknown output format.";
    if (request.m_iFileType == kFileTypeJPEG && request.m_eOutputFormat != kRGB24)
        return "IPSaveManager: a JPEG file holds 24-bit pixels only.";
    if (request.m_sOutputPath.GetLength() == 0)
        return "IPSaveManager: no output file.";
    if (size.width <= 0 || size.height <= 0)
        return "IPSaveManager: the output size is empty.";
    if (crop.left < 0 || crop.top < 0 || crop.right <= crop.left || crop.bottom <= crop.top ||
        crop.right > size.width || crop.bottom > size.height)
        return "IPSaveManager: the cropping rectangle is empty or outside the output size.";
    return nullptr;
}

} // namespace

FIntSize SaveThumbnailSize(int32_t columns, int32_t rows)
{
    if (columns <= 0 || rows <= 0)
        return FIntSize();
    const double ratio = double(std::min(columns, rows)) / std::max(columns, rows);
    if (ratio * kThumbnailSquare * kThumbnailSquare <= kThumbnailPixels)
        return FIntSize(kThumbnailSquare, kThumbnailSquare);
    const double aspect = double(columns) / rows;
    const int32_t width = int32_t(std::sqrt(aspect * kThumbnailPixels));
    const int32_t height = int32_t(width / aspect + 0.5);
    return FIntSize(width, height);
}

FString SaveSettingModeText(int32_t settingMode, const FString& settingName)
{
    switch (settingMode) {
    case kIPSettingModeAutomatic:
        return FString("Auto Setting Mode");
    case kIPSettingModeCustom:
        if (settingName.GetLength() > 0 && IsSevenBitWithoutQuestionMark(settingName)) {
            FString text("Custom: ");
            text += settingName;
            return text;
        }
        return FString("Custom Setting Mode");
    case kIPSettingModeRawFile:
        return FString("KVR Setting Mode");
    default:
        return FString("Unknown Setting Mode");
    }
}

FIPManager* CreateSaveManager(FIPManager* worker)
{
    if (!worker)
        return nullptr;
    return new (std::nothrow) IPSaveManager(worker);
}

IPSaveManager::IPSaveManager(FIPManager* worker) : m_pWorker(worker) {}

IPSaveManager::~IPSaveManager()
{
    if (m_pRequest && m_pRequest->m_Result.IsPending())
        m_pRequest->m_Result.Finish(kIPStatusCancelled);
    m_pRequest = nullptr;
    priSaveCleanup();
}

void IPSaveManager::Request(IPManagerData* request)
{
    if (!request)
        return;
    IPRequestResult& result = request->m_Result;
    if (m_pRequest) {
        result.Fail(kIPErrorBusy, "IPSaveManager is busy.");
        return;
    }
    if (request->m_eKind != kIPRequestSave) {
        result.Fail(kIPErrorUnsupportedRequest, "IPSaveManager can only handle save requests.");
        return;
    }
    if (request->m_eOutputFormat == kDisplay) {
        result.Fail(kIPErrorBadParameter, "IPSaveManager: Cannot save with an output format of kDisplay");
        return;
    }
    if (const char* problem = RequestProblem(*request)) {
        result.Fail(kIPErrorBadParameter, problem);
        return;
    }
    m_pRequest = request;
    m_iState = kStateBegin;
    result.Begin(kIPStatusPending);
    Idle();
}

void IPSaveManager::Idle()
{
    if (!m_pRequest)
        return;
    // A caller's cancellation reaches the strip being developed at once.
    const IPRequestResult& held = m_pRequest->m_Result;
    if ((held.m_eStatus == kIPStatusCancelled || held.m_bCancel) && m_SubRequest.m_Result.IsPending())
        m_SubRequest.m_Result.m_bCancel = true;
    priProcessIdle();
}

void IPSaveManager::priProcessIdle()
{
    try {
        RunTimeSlice(kSliceSeconds, m_iState, [this] { return m_pRequest != nullptr; }, [this] {
            priRunState(m_iState);
            if (m_pRequest && !m_pRequest->m_Result.IsPending())
                priEndRequest();
        });
    } catch (...) {
        priFail(kIPErrorException, "IPSaveManager::priProcessIdle: caught exception!");
        priEndRequest();
    }
}

void IPSaveManager::priRunState(int state)
{
    switch (state) {
    case kStateBegin:
        return priSaveBegin();
    case kStateRequestProperties:
        return priSaveRequestProperties();
    case kStateWaitProperties:
        return priSaveWaitProperties();
    case kStateCreateThumbnail:
        return priSaveCreateThumbnail();
    case kStateWriteProperties:
        return priSaveWriteProperties();
    case kStateRequestStrip:
        return priSaveRequestStrip();
    case kStateWriteStrip:
        return priSaveWriteStrip();
    case kStateFinish:
        return priSaveFinish();
    case kStateIdle:
        DebugPrintf("IPSaveManager: Someone left the a request open and the state machine in the Idle state.");
        return priFail(kIPErrorException, "IPSaveManager: request left open in the idle state.");
    default:
        DebugPrintf("IPSaveManager: IPSaveManager in an invalid state.");
        return priFail(kIPErrorException, "IPSaveManager: IPSaveManager in an invalid state.");
    }
}

void IPSaveManager::priFail(int32_t error, const char* text)
{
    if (m_pRequest)
        m_pRequest->m_Result.Fail(error, text);
}

void IPSaveManager::priEndRequest()
{
    m_pRequest = nullptr;
    m_iState = kStateIdle;
    priSaveCleanup();
}

void IPSaveManager::priCopyHeldRequest()
{
    m_SubRequest.Reset();
    m_SubRequest.CopyRequestFrom(*m_pRequest);
    const bool cancel = m_pRequest->m_Result.m_bCancel;
    m_SubRequest.m_Result.Clear();
    m_SubRequest.m_Result.m_dProgress = -1.0;
    m_SubRequest.m_Result.m_bCancel = cancel;
}

bool IPSaveManager::priSubRequestFree(const char* busyText)
{
    if (!m_SubRequest.m_Result.IsPending())
        return true;
    priFail(kIPErrorException, busyText);
    return false;
}

bool IPSaveManager::priSubRequestDone()
{
    const IPRequestResult& sub = m_SubRequest.m_Result;
    if (sub.m_eStatus == kIPStatusDone)
        return true;
    IPRequestResult& result = m_pRequest->m_Result;
    const double progress = result.m_dProgress;
    result = sub;
    result.m_dProgress = progress;
    // A sub-request that ended in no final state still ends the save.
    if (result.m_eStatus != kIPStatusCancelled && result.m_eStatus != kIPStatusError)
        result.Fail(kIPErrorException, "IPSaveManager: a develop request ended without a result.");
    return false;
}

// ---------------------------------------------------------------------------
// States

void IPSaveManager::priSaveBegin()
{
    IPManagerData& request = *m_pRequest;
    const FIntRect& crop = request.m_Crop;
    m_iTotalRows = crop.bottom - crop.top;
    m_iRowsWritten = 0;
    m_pOutputFile = std::make_unique<FTemporaryOutputFile>(request.m_sOutputPath);
    if (request.m_iFileType == kFileTypeJPEG)
        m_pWriter = std::make_unique<FJPEGLineWriter>(m_pOutputFile->GetURL(), request.m_iQuality,
                                                      request.m_bAccurateDCT);
    else
        m_pWriter = std::make_unique<FTiffLineWriter>(m_pOutputFile->GetURL(), false);
    m_pWriter->SetDimensions(crop.right - crop.left, m_iTotalRows, PixelTypeOfOutputFormat(request.m_eOutputFormat));
    request.m_Result.m_dProgress = 0.0;
    m_iState = kStateRequestProperties;
}

void IPSaveManager::priSaveRequestProperties()
{
    if (!priSubRequestFree("IPSaveManager::priSaveRequestProperties: IP Manager is busy!"))
        return;
    m_SubRequest.Reset();
    m_SubRequest.m_eKind = kIPRequestProperties;
    m_SubRequest.SetURL(m_pRequest->m_sURL);
    m_pWorker->Request(&m_SubRequest);
    m_iState = kStateWaitProperties;
}

void IPSaveManager::priSaveWaitProperties()
{
    if (m_SubRequest.m_Result.IsPending())
        return;
    if (!priSubRequestDone())
        return;
    DeletePropTree(m_pProps);
    m_pProps = m_SubRequest.m_pImageProps->Clone();
    m_iColumns = m_pProps->GetInt(FString("COLS"), 0);
    m_iRows = m_pProps->GetInt(FString("ROWS"), 0);
    if (m_iColumns <= 0 || m_iRows <= 0) {
        priFail(kIPErrorBadParameter, "IPSaveManager::priSaveWaitProperties: the picture has no size.");
        return;
    }
    m_iState = kStateCreateThumbnail;
}

void IPSaveManager::priSaveCreateThumbnail()
{
    if (!priSubRequestFree("IPSaveManager::priSaveCreateThumbnail: IP Manager is busy!"))
        return;
    const FIntSize size = SaveThumbnailSize(m_iColumns, m_iRows);
    priCopyHeldRequest();
    m_SubRequest.m_iColorSpace = kColorSpaceSRGB;
    m_SubRequest.m_eOutputFormat = kRGB24;
    m_SubRequest.m_eKind = kIPRequestDevelop;
    m_SubRequest.m_OutputSize = size;
    m_SubRequest.m_Crop.Set(0, 0, size.width, size.height);
    m_pWorker->Request(&m_SubRequest);
    m_iState = kStateWriteProperties;
}

void IPSaveManager::priSaveWriteProperties()
{
    IPManagerData& request = *m_pRequest;
    request.m_Result.m_dProgress = 0.5 * std::max(0.0, m_SubRequest.m_Result.m_dProgress);
    if (m_SubRequest.m_Result.IsPending())
        return;
    if (!priSubRequestDone())
        return;
    FIPMImage* thumbnail = m_SubRequest.m_pResultImage;
    if (!thumbnail || !thumbnail->GetPixmap()) {
        priFail(kIPErrorException, "IPSaveManager::priSaveWriteProperties: the thumbnail has no picture.");
        return;
    }
    m_pWriter->WriteThumbnail(thumbnail->GetPixmap());
    m_SubRequest.Reset(); // releases the thumbnail

    FPropTree& props = *m_pProps;
    char version[64];
    FormatVersionString(request.m_Version, version, sizeof version);
    FString software = request.m_sSoftwareName;
    software += version;
    props.SetValue(FString("rpSoftware"), software);
    props.SetValue(FString("rpMNSoftware"), software);
    props.SetInt(FString("rpColorSpace"), request.m_iColorSpace);
    const std::pair<const char*, double> adjustments[] = {
        {"rpExposureCompensation", request.m_dExposure}, {"rpContrast", request.m_dContrast},
        {"rpShadow", request.m_dShadow},                 {"rpHighlight", request.m_dHighlight},
        {"rpSaturation", request.m_dSaturation},         {"rpSharpness", request.m_dSharpness},
        {"rpFillFlash", request.m_dFillLight},           {"rpChromaNoise", request.m_dChromaNoise},
        {"rpLumaNoise", request.m_dLumaNoise},
    };
    for (const auto& [key, value] : adjustments)
        props.SetDouble(FString(key), value);
    FString colorAdjust;
    FormatColorAdjust(request.m_ColorAdjust, colorAdjust);
    props.SetValue(FString("rpColorAdjust"), colorAdjust);
    props.SetValue(FString("rpSettingMode"), SaveSettingModeText(request.m_iSettingMode, request.m_sSettingName));
    props.SetInt(FString("rpQuality"), request.m_iQuality);
    m_pWriter->WriteTags(props);

    priWriteProfile();
    if (!request.m_Result.IsPending())
        return;
    DeletePropTree(m_pProps);
    m_iState = kStateRequestStrip;
}

void IPSaveManager::priWriteProfile()
{
    const IPManagerData& request = *m_pRequest;
    if (request.m_iFileType == kFileTypeJPEG && request.m_iColorSpace == kColorSpaceSRGB)
        return;
    const std::vector<uint8_t> profile =
        IsOutputColorSpace(request.m_iColorSpace) ? ProfileBytes(request.m_iColorSpace) : std::vector<uint8_t>();
    if (!profile.empty()) {
        m_pWriter->WriteProfile(uint32_t(profile.size()), profile.data());
        return;
    }
    if (!request.m_bAllowNoProfile)
        priFail(kIPErrorProfileMissing, "IPSaveManager::priSaveWriteProperties: Color profile missing.");
}

void IPSaveManager::priSaveRequestStrip()
{
    if (!priSubRequestFree("IPSaveManager::priSaveRequestStrip: IP Manager is busy!"))
        return;
    const IPManagerData& request = *m_pRequest;
    priCopyHeldRequest();
    m_SubRequest.m_eKind = kIPRequestDevelop;
    m_iStripRows = std::min(m_iTotalRows - m_iRowsWritten, kSaveStripRows);
    const int32_t top = request.m_Crop.top + m_iRowsWritten;
    const int32_t end = top + m_iStripRows;
    m_iTopMargin = top < kSaveStripMargin ? 0 : kSaveStripMargin;
    // The rows left below the strip, counted as the crop's height counts them:
    // a difference below 0 (a crop not at the top) wraps round to "plenty".
    m_iBottomMargin = uint32_t(m_iTotalRows - end) < uint32_t(kSaveStripMargin) ? 0 : kSaveStripMargin;
    m_SubRequest.m_Crop.top = top - m_iTopMargin;
    m_SubRequest.m_Crop.bottom = end + m_iBottomMargin;
    m_pWorker->Request(&m_SubRequest);
    m_iState = kStateWriteStrip;
}

void IPSaveManager::priSaveWriteStrip()
{
    if (m_SubRequest.m_Result.IsPending())
        return;
    if (!priSubRequestDone())
        return;
    IPManagerData& request = *m_pRequest;
    const FPixmap* strip = m_SubRequest.m_pResultImage ? m_SubRequest.m_pResultImage->GetPixmap() : nullptr;
    const int32_t pixelType = PixelTypeOfOutputFormat(request.m_eOutputFormat);
    // The develop fits the output size to the picture's shape: a size that
    // does not fit it gives strips that cannot fill the file.
    if (!strip || strip->GetPixelType() != pixelType || strip->m_iColumns != request.m_Crop.right - request.m_Crop.left ||
        strip->m_iRows < m_iTopMargin + m_iStripRows) {
        priFail(kIPErrorBadParameter,
                "IPSaveManager::priSaveWriteStrip: the developed strip does not match the cropping rectangle.");
        return;
    }
    for (int32_t y = m_iTopMargin; y < m_iTopMargin + m_iStripRows; ++y)
        m_pWriter->WriteLine(strip->GetRow(y), pixelType);
    m_iRowsWritten += m_iStripRows;
    m_SubRequest.Reset(); // releases the strip
    request.m_Result.m_dProgress = 0.5 + 0.48 * m_iRowsWritten / m_iTotalRows;
    m_iState = m_iRowsWritten < m_iTotalRows ? kStateRequestStrip : kStateFinish;
}

void IPSaveManager::priSaveFinish()
{
    m_pWriter.reset(); // finishes and closes the file
    m_pOutputFile->Commit();
    m_pOutputFile.reset();
    m_pRequest->m_Result.m_dProgress = 1.0;
    m_pRequest->m_Result.Finish(kIPStatusDone);
    m_iState = kStateIdle;
}

void IPSaveManager::priSaveCleanup()
{
    // The worker holds the sub-request until it has ended.
    if (m_SubRequest.m_Result.IsPending()) {
        m_SubRequest.m_Result.m_bCancel = true;
        while (m_SubRequest.m_Result.IsPending())
            m_pWorker->Idle();
    }
    m_SubRequest.Reset();
    DeletePropTree(m_pProps);
    // An unfinished file is removed by its writer and by the temporary file.
    m_pWriter.reset();
    m_pOutputFile.reset();
}
