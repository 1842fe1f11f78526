#include "shell/facade/CKVR_ImageHandle.h"

#include "foundation/FColorAdjust.h"
#include "foundation/FException.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "managers/FIPMImage.h"
#include "managers/FIPManagerPool.h"
#include "shell/facade/KVR_Text.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <thread>

namespace {

constexpr const char* kInvalidState = "Invalid state for call.";
constexpr double kProgressInterval = 0.1; // seconds between two progress reports

// The settings properties with the optional value each one feeds.
struct SettingKey {
    const char* key;
    KVROptional<double> CKVR_ImageHandle::*value;
};

const FPixmap* GetResultPixmapOf(const IPManagerData& request)
{
    return request.m_pResultImage ? request.m_pResultImage->GetPixmap() : nullptr;
}

void CopyBounded(const char* text, char* out, size_t outSize)
{
    if (!out || outSize == 0)
        return;
    const size_t length = std::min(std::strlen(text), outSize - 1);
    std::memcpy(out, text, length);
    out[length] = '\0';
}

// Runs a step of the handle; an exception (out of memory, a failing
// allocation inside a manager) becomes the step's failure.
template <class Step>
int Guarded(std::string& lastError, KVRHandleState& state, const char* prefix, Step&& step)
{
    try {
        return step();
    } catch (const FException& e) {
        lastError = std::string(prefix) + e.GetMessage();
    } catch (const std::bad_alloc&) {
        lastError = std::string(prefix) + "Out of memory.";
    } catch (const std::exception& e) {
        lastError = std::string(prefix) + e.what();
    } catch (...) {
        lastError = std::string(prefix) + "Unknown exception.";
    }
    state = kHandleFailed;
    return 0;
}

} // namespace

CKVR_ImageHandle::CKVR_ImageHandle(const FString& nativePath, FIPManager* manager)
    : m_pManager(manager ? manager : GetIPManagerPool())
{
    NativePathToURL(nativePath, m_sURL);
    m_Request.Reset();
    m_Request.SetURL(m_sURL);
}

CKVR_ImageHandle::~CKVR_ImageHandle()
{
    // A step ended by an exception may have left the record with a manager:
    // it is stopped and collected before the record goes.
    if (m_pManager && m_Request.m_Result.IsPending()) {
        m_Request.m_Result.m_bCancel = true;
        while (m_Request.m_Result.IsPending())
            m_pManager->Idle();
    }
    ReleaseIPManager(m_pManager);
}

// ---------------------------------------------------------------------------
// Steps on the manager

bool CKVR_ImageHandle::priRun(int32_t kind, KVRProgressCallback callback, void* user, int offset)
{
    m_Request.m_eKind = kind;
    m_pManager->Request(&m_Request);
    while (m_Request.m_Result.IsPending()) {
        m_pManager->Idle();
        priReportProgress(callback, user, offset);
        std::this_thread::yield();
    }
    return !m_Request.m_Result.IsFailed();
}

void CKVR_ImageHandle::priReportProgress(KVRProgressCallback callback, void* user, int offset)
{
    const double progress = m_Request.m_Result.m_dProgress;
    if (!callback || m_Stopwatch.GetElapsedSeconds() <= kProgressInterval || !(progress > 0.0))
        return;
    m_Stopwatch.Stop();
    m_Stopwatch.Reset();
    m_Stopwatch.Start();
    const int percentage = static_cast<int16_t>(TruncateToInt(std::min(progress, 1000.0) * 100.0));
    if (percentage != m_iLastPercentage) {
        callback(percentage + offset, user);
        m_iLastPercentage = percentage;
    }
}

int CKVR_ImageHandle::priInvalidState()
{
    m_sLastError = kInvalidState;
    return 0;
}

int CKVR_ImageHandle::priFail(const char* prefix)
{
    m_sLastError = prefix + KVR_NarrowText(m_Request.m_Result.m_sErrorText);
    m_eState = kHandleFailed;
    return 0;
}

int CKVR_ImageHandle::ReadProperties()
{
    if (m_eState != kHandleNew)
        return priInvalidState();
    return Guarded(m_sLastError, m_eState, "Unable to get image properties: ", [this] { return priReadProperties(); });
}

int CKVR_ImageHandle::ReloadProperties()
{
    if (m_eState != kHandleNew && !priCanReadProperties())
        return priInvalidState();
    return Guarded(m_sLastError, m_eState, "Unable to get image properties: ", [this] {
        if (m_eState != kHandleNew) {
            DeletePropTree(m_Request.m_pImageProps);
            m_aPropertyPairs.clear();
            m_Request.Reset();
            m_Request.SetURL(m_sURL);
        }
        return priReadProperties();
    });
}

int CKVR_ImageHandle::priReadProperties()
{
    DeletePropTree(m_Request.m_pImageProps);
    m_Request.m_pImageProps = new FPropTree(nullptr, "MrProps");
    if (!priRun(kIPRequestProperties))
        return priFail("Unable to get image properties: ");

    const FPropTree& props = *m_Request.m_pImageProps;
    const int columns = props.GetInt(FString("COLS"), 0);
    const int rows = props.GetInt(FString("ROWS"), 0);
    if (columns <= 0 || rows <= 0) {
        m_sLastError = "Image size properties are no good: (" + std::to_string(columns) + ", " +
                       std::to_string(rows) + ")";
        m_eState = kHandleFailed;
        return 0;
    }
    m_ImageSize.Set(columns, rows);
    m_OutputSize = m_ImageSize;
    m_Crop.Set(0, 0, columns, rows);
    m_aPropertyPairs.clear();
    for (const FPropPair* pair = props.GetFirstPair(); pair; pair = pair->GetNext()) {
        m_aPropertyPairs.emplace_back(pair->m_sKey.GetAscii());
        m_aPropertyPairs.emplace_back(pair->m_sValue.GetAscii());
    }
    m_eState = kHandlePropertiesRead;
    return 1;
}

int CKVR_ImageHandle::Process(int width, int height)
{
    if (m_eState != kHandlePropertiesRead)
        return priInvalidState();
    return Guarded(m_sLastError, m_eState, "Unable to process image: ", [&] {
        m_eState = kHandleProcessing;
        m_Request.m_OutputSize.Set(width, height);
        m_Request.m_Crop.Set(0, 0, width, height);
        m_Request.m_iColorSpace = 2;
        m_Request.m_eOutputFormat = kDisplay;
        m_eOutputFormat = kDisplay;
        m_Request.m_bDumpIntermediates = false;
        if (!priRun(kIPRequestPreview))
            return priFail("Unable to process image: ");
        const FPixmap* result = GetResultPixmapOf(m_Request);
        if (!result) {
            m_sLastError = "Unable to process image: no result picture.";
            m_eState = kHandleFailed;
            return 0;
        }
        m_eState = kHandleProcessed;
        m_OutputSize.Set(result->m_iColumns, result->m_iRows);
        m_Crop.Set(0, 0, result->m_iColumns, result->m_iRows);
        return 1;
    });
}

void CKVR_ImageHandle::priFillDevelopRequest()
{
    IPManagerData& request = m_Request;
    request.m_OutputSize = m_OutputSize;
    request.m_Crop = m_Crop;
    request.m_iColorSpace = m_ColorSpace.Get();
    request.m_eOutputFormat = m_eOutputFormat;
    request.m_dExposure = m_Exposure.Get();
    request.m_dShadow = m_Shadow.Get();
    request.m_dContrast = m_Contrast.Get();
    request.m_dHighlight = m_Highlight.Get();
    request.m_dSaturation = m_Saturation.Get();
    request.m_dSharpness = m_Sharpness.Get();
    request.m_dFillLight = m_FillLight.Get();
    request.m_ColorAdjust = m_ColorAdjust.Get();
    request.m_CustomNeutral = m_CustomNeutral.Get();
    request.m_sWBDesc = KVR_WideText(m_WhiteBalance.Get().c_str());
    request.m_bDumpIntermediates = false;
    // The colour mode and the noise strengths come from the file: a caller
    // changes them through WriteProperties.
    if (const FPropTree* props = request.m_pImageProps) {
        request.m_dChromaNoise = props->GetDouble(FString("rpChromaNoise"), 0.5);
        request.m_dLumaNoise = props->GetDouble(FString("rpLumaNoise"), 0.5);
    }
}

int CKVR_ImageHandle::ProcessWithProgress(KVRProgressCallback callback, void* user)
{
    if (m_eState != kHandlePropertiesRead)
        return priInvalidState();
    return Guarded(m_sLastError, m_eState, "Unable to process image: ", [&] {
        m_eState = kHandleProcessing;
        priFillDevelopRequest();
        m_Stopwatch.Reset();
        m_Stopwatch.Start();
        m_iLastPercentage = 0;

        bool ok = true;
        if (m_bAutoAdjust) {
            ok = priRun(kIPRequestAutoAdjust, callback, user, 0);
            if (ok && !m_Request.m_Result.m_bCancel) {
                // The computed values drive the development and are what the
                // automatic getters report; sharpness stays the caller's.
                m_Exposure.Set(m_Request.m_dExposure);
                m_Shadow.Set(m_Request.m_dShadow);
                m_Contrast.Set(m_Request.m_dContrast);
                m_Highlight.Set(m_Request.m_dHighlight);
                m_Saturation.Set(m_Request.m_dSaturation);
                m_FillLight.Set(m_Request.m_dFillLight);
                m_ColorAdjust.Set(m_Request.m_ColorAdjust);
            }
            if (m_Request.m_Result.m_bCancel) {
                m_sLastError = "AutoAdjust cancelled.";
                m_eState = kHandleFailed;
                return 0;
            }
        }
        const int offset = m_iLastPercentage;
        m_iLastPercentage = 0;
        if (ok) {
            m_Stopwatch.Reset();
            m_Stopwatch.Start();
            ok = priRun(kIPRequestDevelop, callback, user, offset);
        }
        if (!ok)
            return priFail("Unable to process image: ");
        if (m_Request.m_Result.m_bCancel) {
            m_sLastError = "Load cancelled.";
            m_eState = kHandleFailed;
            return 0;
        }
        if (!GetResultPixmapOf(m_Request)) {
            m_sLastError = "Unable to process image: no result picture.";
            m_eState = kHandleFailed;
            return 0;
        }
        m_eState = kHandleProcessed;
        return 1;
    });
}

int CKVR_ImageHandle::WriteProperties()
{
    int result = 0;
    if (m_eState != kHandlePropertiesRead || !priHasProperties()) {
        priInvalidState();
    } else {
        result = Guarded(m_sLastError, m_eState, "Unable to set image properties: ", [this] {
            FPropTree& props = *m_Request.m_pImageProps;
            const auto setDouble = [&props](const char* key, const KVROptional<double>& value) {
                if (value.IsSet())
                    props.SetDouble(FString(key), value.Get());
            };
            setDouble("rpExposureCompensation", m_Exposure);
            setDouble("rpContrast", m_Contrast);
            setDouble("rpShadow", m_Shadow);
            setDouble("rpHighlight", m_Highlight);
            setDouble("rpSaturation", m_Saturation);
            setDouble("rpSharpness", m_Sharpness);
            setDouble("rpFillFlash", m_FillLight);
            if (m_ColorAdjust.IsSet()) {
                FString text;
                FormatColorAdjust(m_ColorAdjust.Get(), text);
                props.SetValue(FString("rpColorAdjust"), text);
            }
            if (m_WhiteBalance.IsSet())
                props.SetValue(FString("WB_DESC"), KVR_WideText(m_WhiteBalance.Get().c_str()));
            if (m_ColorMode.IsSet())
                props.SetValue(FString("CM_DESC"), KVR_WideText(m_ColorMode.Get().c_str()));
            setDouble("rpChromaNoise", m_ChromaNoise);
            setDouble("rpLumaNoise", m_LumaNoise);
            if (priRun(kIPRequestModifyProperties))
                return 1;
            // The handle stays readable: a refused write is no broken handle.
            m_sLastError = "Unable to set image properties: " + KVR_NarrowText(m_Request.m_Result.m_sErrorText);
            return 0;
        });
    }
    ReloadProperties();
    return result;
}

int CKVR_ImageHandle::ApplyFileSettings()
{
    if (m_eState != kHandlePropertiesRead || !priHasProperties())
        return priInvalidState();
    return Guarded(m_sLastError, m_eState, "Unable to apply the file's settings: ", [this] {
        const FPropTree& props = *m_Request.m_pImageProps;
        static const SettingKey kSettings[] = {
            {"rpExposureCompensation", &CKVR_ImageHandle::m_Exposure},
            {"rpContrast", &CKVR_ImageHandle::m_Contrast},
            {"rpShadow", &CKVR_ImageHandle::m_Shadow},
            {"rpHighlight", &CKVR_ImageHandle::m_Highlight},
            {"rpSaturation", &CKVR_ImageHandle::m_Saturation},
            {"rpSharpness", &CKVR_ImageHandle::m_Sharpness},
            {"rpFillFlash", &CKVR_ImageHandle::m_FillLight},
            {"rpChromaNoise", &CKVR_ImageHandle::m_ChromaNoise},
            {"rpLumaNoise", &CKVR_ImageHandle::m_LumaNoise},
        };
        for (const SettingKey& setting : kSettings) {
            bool found = false;
            const double value = props.GetDouble(FString(setting.key), 0.0, &found);
            if (found)
                (this->*setting.value).Set(value);
        }
        if (const FString* text = props.GetValue(FString("rpColorAdjust"), nullptr)) {
            FDoubleTriple gains;
            ParseColorAdjust(gains, text->GetText());
            m_ColorAdjust.Set(gains);
        }
        if (const FString* text = props.GetValue(FString("WB_DESC"), nullptr))
            m_WhiteBalance.Set(KVR_NarrowText(*text));
        if (const FString* text = props.GetValue(FString("CM_DESC"), nullptr))
            m_ColorMode.Set(KVR_NarrowText(*text));
        return 1;
    });
}

// ---------------------------------------------------------------------------
// Accessors

int CKVR_ImageHandle::GetNoiseReduction(double* chroma, double* luma) const
{
    if (!priCanReadProperties() || !priHasProperties())
        return -1;
    const FPropTree& props = *m_Request.m_pImageProps;
    bool found = false;
    const int iso = props.GetInt(FString("ISO"), 0, &found);
    if (!found || iso < 400)
        return 0;
    if (chroma)
        *chroma = props.GetDouble(FString("rpChromaNoise"), 0.5);
    if (luma)
        *luma = props.GetDouble(FString("rpLumaNoise"), 0.5);
    return 1;
}

int CKVR_ImageHandle::GetProperty(const char* name, char* out, size_t outSize) const
{
    if (!name || !priCanReadProperties() || !priHasProperties())
        return 0;
    const FPropPair* pair = m_Request.m_pImageProps->FindPair(FString(name));
    if (!pair)
        return 0;
    CopyBounded(pair->m_sValue.GetAscii(), out, outSize);
    return 1;
}

int CKVR_ImageHandle::SetProperty(const char* name, const char* value)
{
    if (!name || !priCanReadProperties() || !priHasProperties())
        return 0;
    m_Request.m_pImageProps->SetValue(FString(name), KVR_WideText(value ? value : ""));
    return 1;
}

int CKVR_ImageHandle::GetImageWidth() const
{
    return priCanReadProperties() ? m_ImageSize.width : 0;
}

int CKVR_ImageHandle::GetImageHeight() const
{
    return priCanReadProperties() ? m_ImageSize.height : 0;
}

const FPixmap* CKVR_ImageHandle::GetResultPixmap() const
{
    return m_eState == kHandleProcessed ? GetResultPixmapOf(m_Request) : nullptr;
}

int CKVR_ImageHandle::GetOutputWidth() const
{
    const FPixmap* result = GetResultPixmap();
    return result ? result->m_iColumns : static_cast<int>(m_Crop.Width());
}

int CKVR_ImageHandle::GetOutputHeight() const
{
    const FPixmap* result = GetResultPixmap();
    return result ? result->m_iRows : static_cast<int>(m_Crop.Height());
}

int CKVR_ImageHandle::GetOutputPixelType() const
{
    const FPixmap* result = GetResultPixmap();
    return result ? result->GetPixelType() : 0;
}

int CKVR_ImageHandle::GetOutputRowBytes()
{
    const FPixmap* result = GetResultPixmap();
    return result ? result->m_iRowBytes : priInvalidState();
}

int CKVR_ImageHandle::GetOutputRow(int row, void* buffer)
{
    const FPixmap* result = GetResultPixmap();
    if (!result)
        return priInvalidState();
    if (!buffer || row < 0 || row >= result->m_iRows)
        return 0;
    std::memcpy(buffer, result->GetRow(row), static_cast<size_t>(result->m_iRowBytes));
    return 1;
}

int CKVR_ImageHandle::GetAutoColorAdjust(double* red, double* green, double* blue) const
{
    if (!m_bAutoAdjust || m_eState != kHandleProcessed || !red || !green || !blue)
        return 0;
    const FDoubleTriple& gains = m_ColorAdjust.Get();
    *red = gains.r;
    *green = gains.g;
    *blue = gains.b;
    return 1;
}

// ---------------------------------------------------------------------------
// Setters

void CKVR_ImageHandle::Cancel()
{
    m_eState = kHandleProcessing;
    m_Request.m_Result.m_bCancel = true;
}

void CKVR_ImageHandle::SetOutputSize(int width, int height)
{
    m_OutputSize.Set(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
}

void CKVR_ImageHandle::SetCrop(int x, int y, int width, int height)
{
    const int left = static_cast<uint16_t>(x), top = static_cast<uint16_t>(y);
    m_Crop.Set(left, top, left + static_cast<uint16_t>(width), top + static_cast<uint16_t>(height));
}
