#pragma once
// A development handle on one raw file: the one way the user interface reads
// a raw file's properties, develops it and writes settings back. The handle
// owns one request record, hands it to its manager (the process-wide pool
// unless one is given) for each step and polls that manager in the caller's
// thread until the step has ended; it keeps the file's properties, its size,
// the adjustments the caller set (each marked when set, so only those are
// written back) and, after a development, the result image whose rows the
// caller copies out.
//
// The handle has no lock: its caller holds the engine lock (KVR_EngineLock.h)
// from before ReadProperties until the result rows are copied out, and around
// WriteProperties. Failures are return values (0) with a text in GetLastError;
// no exception leaves the handle.

#include "foundation/FStopwatch.h"
#include "foundation/FString.h"
#include "foundation/FValueTypes.h"
#include "managers/IPManagerData.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class FIPManager;
class FPixmap;

enum KVRHandleState : int {
    kHandleNew = 0,            // properties not read yet
    kHandlePropertiesRead = 1, // ready to develop or to write properties
    kHandleProcessing = 2,     // a development runs (also set by Cancel)
    kHandleProcessed = 3,      // a result image is held
    kHandleFailed = 4,         // the last property read or development failed
};

// Progress of a development: the whole percentage and the caller's pointer.
// A callback given through KVR_ProgressTrampoline cancels by returning 0.
using KVRProgressCallback = int (*)(int percentage, void* user);

// A value with a mark telling whether the caller set it.
template <class T>
class KVROptional {
public:
    explicit KVROptional(T defaultValue) : m_Value(defaultValue), m_Default(std::move(defaultValue)) {}
    void Set(T value)
    {
        m_Value = std::move(value);
        m_bSet = true;
    }
    // The value when set, else the default.
    const T& Get() const { return m_bSet ? m_Value : m_Default; }
    bool IsSet() const { return m_bSet; }

private:
    bool m_bSet = false;
    T m_Value;
    T m_Default;
};

class CKVR_ImageHandle {
public:
    // The handle works through manager, or through the process-wide pool when
    // it is null. A private per-image worker given here is released (deleted)
    // with the handle; the pool and any other manager are left alone.
    explicit CKVR_ImageHandle(const FString& nativePath, FIPManager* manager = nullptr);
    CKVR_ImageHandle(const CKVR_ImageHandle&) = delete;
    CKVR_ImageHandle& operator=(const CKVR_ImageHandle&) = delete;
    ~CKVR_ImageHandle();

    // Steps that run on the manager. Each returns 1 on success, 0 on failure
    // with the reason in GetLastError; a step called in a state it does not
    // accept gives 0 and "Invalid state for call." and changes nothing.
    int ReadProperties();   // kHandleNew
    int ReloadProperties(); // kHandleNew, kHandlePropertiesRead, kHandleProcessed
    // The display preview at the size (adjustments not used).
    int Process(int width, int height); // kHandlePropertiesRead
    // The full development with the values set, an automatic adjustment first
    // when enabled. The callback (may be null) gets the progress; its result
    // is not looked at (cancel through Cancel or KVR_ProgressTrampoline).
    int ProcessWithProgress(KVRProgressCallback callback, void* user); // kHandlePropertiesRead
    // Writes the values that were set into the file, then reads the properties
    // again; 1 when the file was changed.
    int WriteProperties(); // kHandlePropertiesRead
    // Sets the values from the settings the file stores.
    int ApplyFileSettings(); // kHandlePropertiesRead

    // -1 without properties; 0 when the file's ISO is missing or below 400
    // (outputs untouched); else 1 with the file's strengths (default 0.5).
    int GetNoiseReduction(double* chroma, double* luma) const;
    // 1 and the value as 7-bit text (characters from 127 on become '?'), cut
    // to outSize - 1 bytes and terminated, when the properties hold the key.
    int GetProperty(const char* name, char* out, size_t outSize) const;
    // Sets every pair of the key (UTF-8 value), adding one when none exists.
    int SetProperty(const char* name, const char* value);

    int GetImageWidth() const;
    int GetImageHeight() const;
    // The result's size once processed, the crop's size before.
    int GetOutputWidth() const;
    int GetOutputHeight() const;
    // 7, 13 or 15 once processed; 0 before.
    int GetOutputPixelType() const;
    int GetOutputRowBytes();
    // Copies GetOutputRowBytes() bytes of the result's row; 0 for a row
    // outside the result.
    int GetOutputRow(int row, void* buffer);
    // The result pixmap once processed, else null; valid until the next step.
    const FPixmap* GetResultPixmap() const;

    // Ends a waiting development at its next step and leaves the handle
    // unable to develop again. Meant for the progress callback.
    void Cancel();

    void SetExposure(double value) { m_Exposure.Set(value); }
    void SetShadow(double value) { m_Shadow.Set(value); }
    void SetContrast(double value) { m_Contrast.Set(value); }
    void SetHighlight(double value) { m_Highlight.Set(value); }
    void SetSaturation(double value) { m_Saturation.Set(value); }
    void SetSharpness(double value) { m_Sharpness.Set(value); }
    void SetFillLight(double value) { m_FillLight.Set(value); }
    void SetChromaNoise(double value) { m_ChromaNoise.Set(value); }
    void SetLumaNoise(double value) { m_LumaNoise.Set(value); }
    void SetColorAdjust(double red, double green, double blue) { m_ColorAdjust.Set(FDoubleTriple(red, green, blue)); }
    void SetColorSpace(int code) { m_ColorSpace.Set(code); }
    // Descriptors (WB_DESC, CM_DESC values), UTF-8; null counts as "".
    void SetWhiteBalance(const char* descriptor) { m_WhiteBalance.Set(descriptor ? descriptor : ""); }
    void SetColorMode(const char* descriptor) { m_ColorMode.Set(descriptor ? descriptor : ""); }
    // Non-zero: 48-bit RGB; zero: 24-bit RGB.
    void SetOutputFormat(int flag) { m_eOutputFormat = flag ? kRGB48 : kRGB24; }
    // Each number is taken as a 16-bit unsigned value; the crop becomes
    // (x, y, x + width, y + height). The crop is in the output size's grid.
    void SetOutputSize(int width, int height);
    void SetCrop(int x, int y, int width, int height);
    void EnableAutoAdjust() { m_bAutoAdjust = 1; }

    // After an automatic development: 1 and the value used (the computed one);
    // otherwise 0 and the output untouched.
    int GetAutoExposure(double* value) const { return priGetAuto(m_Exposure, value); }
    int GetAutoShadow(double* value) const { return priGetAuto(m_Shadow, value); }
    int GetAutoContrast(double* value) const { return priGetAuto(m_Contrast, value); }
    int GetAutoHighlight(double* value) const { return priGetAuto(m_Highlight, value); }
    int GetAutoSaturation(double* value) const { return priGetAuto(m_Saturation, value); }
    int GetAutoFillLight(double* value) const { return priGetAuto(m_FillLight, value); }
    int GetAutoColorAdjust(double* red, double* green, double* blue) const;

    const std::string& GetLastError() const { return m_sLastError; }
    KVRHandleState GetState() const { return m_eState; }
    // Every property of the last read, key and value alternately (7-bit texts).
    const std::vector<std::string>& GetPropertyPairs() const { return m_aPropertyPairs; }

private:
    // Submits the request as kind and polls the manager until it has left
    // "pending"; after each poll the progress goes to the callback when one
    // is given. False when the request failed.
    bool priRun(int32_t kind, KVRProgressCallback callback = nullptr, void* user = nullptr, int offset = 0);
    void priReportProgress(KVRProgressCallback callback, void* user, int offset);
    int priInvalidState();
    int priFail(const char* prefix);
    int priReadProperties();
    void priFillDevelopRequest();
    bool priHasProperties() const { return m_Request.m_pImageProps != nullptr; }
    bool priCanReadProperties() const { return m_eState == kHandlePropertiesRead || m_eState == kHandleProcessed; }
    template <class T>
    int priGetAuto(const KVROptional<T>& optional, T* value) const
    {
        if (!m_bAutoAdjust || m_eState != kHandleProcessed || !value)
            return 0;
        *value = optional.Get();
        return 1;
    }

    KVRHandleState m_eState = kHandleNew;
    FString m_sURL;
    FIPManager* m_pManager;
    IPManagerData m_Request;
    FIntSize m_ImageSize;
    std::vector<std::string> m_aPropertyPairs;
    FIntSize m_OutputSize;
    FIntRect m_Crop;
    int m_bAutoAdjust = 0;
    KVROptional<double> m_Exposure{0.0};
    KVROptional<double> m_Shadow{0.0};
    KVROptional<double> m_Contrast{0.0};
    KVROptional<double> m_Highlight{0.0};
    KVROptional<double> m_Saturation{0.0};
    KVROptional<double> m_Sharpness{0.0};
    KVROptional<double> m_FillLight{0.0};
    KVROptional<FDoubleTriple> m_ColorAdjust{FDoubleTriple(1.0, 1.0, 1.0)};
    // Nothing sets it: developments always ask for no custom neutral.
    KVROptional<FDoubleTriple> m_CustomNeutral{FDoubleTriple(-1.0, -1.0, -1.0)};
    KVROptional<std::string> m_WhiteBalance{std::string()};
    KVROptional<std::string> m_ColorMode{std::string()};
    KVROptional<int> m_ColorSpace{2};
    KVROptional<double> m_ChromaNoise{0.5};
    KVROptional<double> m_LumaNoise{0.5};
    int32_t m_eOutputFormat = kRGB48;
    // Progress of the current pass.
    FStopwatch m_Stopwatch;
    int m_iLastPercentage = 0;
    std::string m_sLastError;
};
