#include "shell/facade/KVR_DevelopAndSave.h"

#include "foundation/FColorAdjust.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FStopwatch.h"
#include "foundation/FValueTypes.h"
#include "managers/FIPManager.h"
#include "managers/IPManagerData.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CSaveJob.h"
#include "shell/facade/KVR_ApplicationState.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_EngineLock.h"
#include "shell/facade/KVR_FileSettings.h"
#include "shell/facade/KVR_Manager.h"

#include <algorithm>
#include <memory>

namespace {

constexpr double kProgressInterval = 0.1; // seconds between two reports
constexpr const char* kSoftwareName = "TALVO Lumitra";
// By the job's colour-space choice 0..4: sRGB, Apple RGB, Adobe RGB, ColorMatch RGB, ROMM RGB.
constexpr int32_t kColorSpaceCodes[] = {2, 4, 3, 8, 11};
// By the job's size mode 0..2.
constexpr double kSizeFactors[] = {1.0, 0.5, 2.0};

// By the job's file type 0..2: the request's file type, output format and quality field.
struct SaveFormat {
    int32_t fileType;
    int32_t outputFormat;
    int32_t qualityField; // 0: the job's JPEG quality step
};
constexpr SaveFormat kSaveFormats[] = {{2, kRGB24, 0}, {1, kRGB24, 24}, {1, kRGB48, 48}};

struct FilterDataDeleter {
    void operator()(CKVR_FilterData* settings) const { settings->Delete(); }
};
using SettingsPtr = std::unique_ptr<CKVR_FilterData, FilterDataDeleter>;

struct HandleCloser {
    void operator()(CKVR_ImageHandle* handle) const { KVR_CloseHandle(handle); }
};

struct WorkerReleaser {
    void operator()(FIPManager* worker) const { ReleaseIPManager(worker); }
};

FString UrlOf(const FString& nativePath)
{
    FString url;
    NativePathToURL(nativePath, url);
    return url;
}

// Runs a request on the worker to its end, reporting offset + its progress x
// scale to the callback; a 0 from the callback cancels the request.
class ProgressReporter {
public:
    ProgressReporter(KVRProgressCallback callback, void* user) : m_Callback(callback), m_pUser(user) {}

    void Run(FIPManager& worker, IPManagerData& request, int scale, int offset)
    {
        m_Stopwatch.Reset();
        m_Stopwatch.Start();
        int last = 0;
        worker.Request(&request);
        // The private worker serves nobody else: no pause between its slices.
        while (request.m_Result.IsPending()) {
            worker.Idle();
            const double progress = request.m_Result.m_dProgress;
            if (!request.m_Result.IsPending() || m_Stopwatch.GetElapsedSeconds() <= kProgressInterval ||
                !(progress > 0.0))
                continue;
            m_Stopwatch.Reset();
            m_Stopwatch.Start();
            const int percentage = TruncateToInt(std::min(progress, 1.0) * scale);
            if (percentage == last || !m_Callback)
                continue;
            last = percentage;
            if (m_Callback(percentage + offset, m_pUser) == 0)
                request.m_Result.m_bCancel = true;
        }
    }

private:
    KVRProgressCallback m_Callback;
    void* m_pUser;
    FStopwatch m_Stopwatch;
};

// The automatic pass's values into the record.
void StoreComputedValues(const IPManagerData& request, CKVR_FilterData& computed)
{
    computed.m_nExposure = TruncateToInt(request.m_dExposure * 100.0);
    computed.m_nShadow = TruncateToInt(request.m_dShadow * 100.0);
    computed.m_nContrast = TruncateToInt(request.m_dContrast * 100.0);
    computed.m_nHighlight = TruncateToInt(request.m_dHighlight * 100.0);
    computed.m_nSaturation = TruncateToInt(request.m_dSaturation * 100.0);
    computed.m_nSharpness = TruncateToInt(request.m_dSharpness * 100.0);
    computed.m_nFillLight = TruncateToInt(request.m_dFillLight * 100.0);
    const FDoubleTriple& gains = request.m_ColorAdjust;
    ColorGainToCMY(gains.r, gains.g, gains.b, computed.m_nCyan, computed.m_nMagenta, computed.m_nYellow);
}

// The settings the job develops with: its own record (a copy), or for "as
// shot" the file's stored settings; in both cases, unless the adjustment is
// automatic, with the file's noise strengths in quarter steps.
void CompleteSettings(CKVR_ImageHandle& handle, int settingMode, SettingsPtr& settings)
{
    if (!settings && settingMode == 1) {
        settings.reset(new CKVR_FilterData);
        KVR_GetFilterData(&handle, settings.get(), 0, 0, nullptr, nullptr);
    }
    double chroma = 0.0, luma = 0.0;
    if (settings && settingMode != 2 && KVR_GetNoiseReduction(&handle, &chroma, &luma) == 1) {
        settings->m_nChromaNoise = TruncateToInt(chroma * 4.0);
        settings->m_nLumaNoise = TruncateToInt(luma * 4.0);
    }
}

// A save that ended done wrote its file, also when a cancel came too late to
// stop it: it is reported as done.
int ResultOf(const IPRequestResult& result)
{
    switch (result.m_eStatus) {
    case kIPStatusDone:
        return kSaveDone;
    case kIPStatusCancelled:
        return kSaveCancelled;
    default:
        return kSaveFailed;
    }
}

} // namespace

bool KVR_IsSaveJobValid(const CSaveJob& job)
{
    const bool named = job.m_nSettingMode == 3 || job.m_nSettingMode == 4;
    return !job.m_aInputs.empty() && !job.m_aOutputs.empty() && job.m_nSettingMode >= 1 && job.m_nSettingMode <= 4 &&
           (!named || job.m_pSettings) && job.m_nSizeMode >= 0 && job.m_nSizeMode <= 2 && job.m_nColorSpace >= 0 &&
           job.m_nColorSpace <= 4 && job.m_nFileType >= 0 && job.m_nFileType <= 2;
}

void KVR_FillSaveRequest(IPManagerData& request, const CSaveJob& job, const CKVR_FilterData* settings,
                         int imageWidth, int imageHeight)
{
    request.SetURL(UrlOf(job.m_aInputs.front()));
    request.m_eKind = kIPRequestSave;
    request.m_sOutputPath = UrlOf(job.m_aOutputs.front());
    request.m_Version = KVR_GetApplicationState().GetVersion();
    request.m_sSoftwareName = FString(kSoftwareName);
    request.m_iColorSpace = kColorSpaceCodes[job.m_nColorSpace];
    const SaveFormat& format = kSaveFormats[job.m_nFileType];
    request.m_iFileType = format.fileType;
    request.m_eOutputFormat = format.outputFormat;
    request.m_iQuality = format.qualityField ? format.qualityField : job.m_nJpegQuality;
    switch (job.m_nSettingMode) {
    case 1:
        request.m_iSettingMode = kIPSettingModeRawFile;
        break;
    case 2:
        request.m_iSettingMode = kIPSettingModeAutomatic;
        break;
    default:
        request.m_iSettingMode = kIPSettingModeCustom;
        request.m_sSettingName = settings ? settings->m_strName : FString();
        break;
    }
    request.m_bAccurateDCT = true;
    const double factor = kSizeFactors[job.m_nSizeMode];
    const int width = TruncateToInt(imageWidth * factor), height = TruncateToInt(imageHeight * factor);
    request.m_OutputSize.Set(width, height);
    request.m_Crop.Set(0, 0, width, height);
    if (settings) {
        KVR_ApplyFilterDataToRequest(&request, settings);
        // A step not known leaves the request's own strength (0.5).
        if (settings->m_nChromaNoise >= 0)
            request.m_dChromaNoise = settings->m_nChromaNoise * 0.25;
        if (settings->m_nLumaNoise >= 0)
            request.m_dLumaNoise = settings->m_nLumaNoise * 0.25;
    }
    request.m_bDumpIntermediates = false;
}

int KVR_DevelopAndSave(const CSaveJob* job, KVRProgressCallback callback, void* user, CKVR_FilterData* computed)
{
    return KVR_DevelopAndSaveOn(nullptr, job, callback, user, computed);
}

int KVR_DevelopAndSaveOn(FIPManager* worker, const CSaveJob* job, KVRProgressCallback callback, void* user,
                         CKVR_FilterData* computed)
{
    if (!job || !KVR_IsSaveJobValid(*job))
        return kSaveFailed;
    SettingsPtr settings(job->m_pSettings ? static_cast<CKVR_FilterData*>(job->m_pSettings->Clone()) : nullptr);

    const KVREngineLockScope lock;
    if (!lock.IsLocked())
        return kSaveFailed;
    int width = 0, height = 0;
    {
        const std::unique_ptr<CKVR_ImageHandle, HandleCloser> handle(KVR_OpenHandle(job->m_aInputs.front().GetText()));
        if (!handle)
            return kSaveInputNotRaw;
        width = KVR_GetImageWidth(handle.get());
        height = KVR_GetImageHeight(handle.get());
        CompleteSettings(*handle, job->m_nSettingMode, settings);
    }

    const std::unique_ptr<FIPManager, WorkerReleaser> ownWorker(worker ? nullptr : CreateIPManager2());
    FIPManager* const manager = worker ? worker : ownWorker.get();
    if (!manager)
        return kSaveFailed;
    IPManagerData request;
    request.Reset();
    ProgressReporter reporter(callback, user);
    int scale = 100, offset = 0;
    if (!settings && job->m_nSettingMode == 2) {
        request.SetURL(UrlOf(job->m_aInputs.front()));
        request.m_eKind = kIPRequestAutoAdjust;
        reporter.Run(*manager, request, 50, 0);
        if (request.m_Result.m_bCancel)
            return kSaveCancelled;
        // A failed pass leaves nothing to save with: no file is written.
        if (request.m_Result.m_eStatus != kIPStatusDone)
            return kSaveFailed;
        if (computed)
            StoreComputedValues(request, *computed);
        scale = 50;
        offset = 50;
    }
    // The computed values stay in the request: the save develops with them.
    request.m_Result.Clear();
    KVR_FillSaveRequest(request, *job, settings.get(), width, height);
    reporter.Run(*manager, request, scale, offset);
    return ResultOf(request.m_Result);
}
