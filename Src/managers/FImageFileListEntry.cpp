#include "managers/FImageFileListEntry.h"

#include "foundation/FArray.h"
#include "foundation/FAssert.h"
#include "foundation/FCLocale.h"
#include "foundation/FColorAdjust.h"
#include "foundation/FIFile.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPropTree.h"
#include "foundation/FTimeConversion.h"
#include "foundation/FUnicode.h"
#include "managers/FIPManager.h"
#include "managers/IPManagerData.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>

namespace {

const FString kMissing(" ");

// Largest magnitude a shown number may have: its whole part must fit an int.
constexpr double kLargestShownValue = 1e9;

bool MatchesOneOf(const FString& text, std::initializer_list<const char*> words)
{
    for (const char* word : words)
        if (WideCompareNoCase(text.GetText(), word) == 0)
            return true;
    return false;
}

std::string Narrow(const FString& text)
{
    return Utf16ToUtf8(text.View()).value_or(std::string());
}

// The leading single-precision number of the text (scanf "%f"), read in the
// "C" locale; false when the text does not start with one.
bool ReadFloat(const FString& text, float& value)
{
    const std::string narrow = Narrow(text);
    FScopedCLocale locale;
    return std::sscanf(narrow.c_str(), "%f", &value) == 1;
}

FString Formatted(const char* format, double value)
{
    FString text;
    text.Format(format, value);
    return text;
}

FString FormattedInt(const char* format, int value)
{
    FString text;
    text.Format(format, value);
    return text;
}

// Half away from zero.
int RoundToInt(double value) { return int(value < 0 ? value - 0.5 : value + 0.5); }

const FString& TextOf(const FPropTree& tree, const char* key, bool* found = nullptr)
{
    return *tree.GetValue(FString(key), &kMissing, found);
}

const FString* FoundText(const FPropTree& tree, const char* key)
{
    return tree.GetValue(FString(key), nullptr);
}

} // namespace

bool IsRawFileExtension(const FString& extension)
{
    return MatchesOneOf(extension, {".kvr", "kvr"});
}

bool IsTiffFileExtension(const FString& extension)
{
    return MatchesOneOf(extension, {".tif", ".tiff", "tif", "tiff"});
}

bool IsJpegFileExtension(const FString& extension)
{
    return MatchesOneOf(extension, {".jpg", ".jpeg", "jpg", "jpeg"});
}

FString FormatShutterSpeed(const FString& shutterDescription, const FString* shutterSeconds)
{
    if (shutterDescription.Find(FString("/")) != nullptr)
        return shutterDescription;
    float seconds = 0;
    if (!shutterSeconds || !ReadFloat(*shutterSeconds, seconds))
        return shutterDescription;
    const double v = seconds;
    // No exposure lasts zero or negative time, and none too short or too long
    // to be shown as a whole number of seconds or of fractions.
    if (!std::isfinite(v) || v <= 0 || v > kLargestShownValue || 1.0 / v > kLargestShownValue)
        return shutterDescription;
    if (std::fabs(v - 30.1234) < 0.0001)
        return FString("BULB");
    if (v >= 0.28 && v < 4)
        return Formatted("%.1f", v);
    if (v < 1)
        return FormattedInt("1/%d", RoundToInt(1.0 / v));
    return FormattedInt("%d", RoundToInt(v));
}

FString FormatExposureCompensation(const FString& exposure)
{
    float value = 0;
    if (!ReadFloat(exposure, value) || !std::isfinite(value) || std::fabs(value) > kLargestShownValue)
        return exposure;
    if (value == 0)
        return FString("0");
    // The nearest sixth of a stop.
    const int sixths = int((double(value) + 10) * 6 + 0.5);
    const float rounded = float(sixths / 6.0 - 10);
    return Formatted("%+0.1f", rounded);
}

FString FormatFocalLength(const FString* focalLength, const FString* lensRange)
{
    if (!focalLength)
        return kMissing;
    if (*focalLength == kMissing)
        return *focalLength;
    FString text = *focalLength;
    if (lensRange && *lensRange != *focalLength) {
        FString range = *lensRange;
        int shortest = 0, longest = 0;
        const std::string narrow = Narrow(*lensRange);
        if (std::sscanf(narrow.c_str(), "%d to %d", &shortest, &longest) == 2) {
            range.Empty();
            range.Format("%d-%d", shortest, longest);
        }
        text += " mm (";
        text += range;
        text += ")";
        return text;
    }
    text += " mm";
    return text;
}

FString FormatCameraName(const FString& maker, const FString& model)
{
    if (maker == kMissing && model == kMissing)
        return kMissing;
    const size_t makerLength = size_t(maker.GetLength());
    if (model.View().substr(0, makerLength) == maker.View())
        return model;
    if (maker != kMissing) {
        FString name = maker;
        name += " ";
        name += model;
        return name;
    }
    return model;
}

FString FormatSettingMode(const FString* settingMode)
{
    if (!settingMode)
        return kMissing;
    if (*settingMode == "Auto Setting Mode")
        return FString("Auto");
    if (*settingMode == "Default Setting Mode" || *settingMode == "KVR Setting Mode")
        return FString("Default");
    if (*settingMode == "Custom Setting Mode")
        return FString("Custom");
    return *settingMode;
}

FImageFileListEntry::FImageFileListEntry() = default;

bool FImageFileListEntry::SetURL(const FString& url)
{
    m_sURL = url;
    return priParseURL();
}

bool FImageFileListEntry::priParseURL()
{
    if (m_sURL.GetLength() == 0) {
        m_sFileName.Empty();
        return true;
    }
    m_bCameraScheme = m_sURL.View().size() >= 7 && FString(std::u16string_view(m_sURL.View().substr(0, 7)))
                                                           .CompareNoCase("camera:") == 0;
    FArray<FString> parts;
    SplitURL(m_sURL, parts);
    m_sFileName = parts.GetCount() > 0 ? parts[parts.GetCount() - 1] : FString();
    const std::u16string_view name = m_sFileName.View();
    const size_t dot = name.rfind(u'.');
    m_sExtension = dot == std::u16string_view::npos ? FString() : FString(name.substr(dot + 1));
    if (IsTiffFileExtension(m_sExtension))
        m_bTiff = true;
    else if (IsJpegFileExtension(m_sExtension))
        m_bJpeg = true;
    else if (IsRawFileExtension(m_sExtension))
        m_bProcessable = true;
    return m_sFileName.GetLength() == 0;
}

bool FImageFileListEntry::GetProps(FIPManager* manager)
{
    if (!manager || m_sURL.GetLength() == 0)
        return false;
    priParseURL();
    FFileInfo info;
    {
        const FFilePtr file(OpenFileByURL(m_sURL, FIFile::OPEN_READ));
        if (!file)
            return false;
        file->GetInfo(info);
    }
    m_bLocked = (info.m_iFlags & FILEINFO_READONLY) != 0;
    if (m_bTiff || m_bJpeg)
        m_bSecondAttribute = false;
    else if (m_bCameraScheme)
        m_bSecondAttribute = (info.m_iFlags & FILEINFO_HIDDEN) != 0;
    else
        m_bSecondAttribute = true;

    IPManagerData request;
    request.SetURL(m_sURL);
    request.m_eKind = kIPRequestProperties;
    manager->Request(&request);
    while (request.m_Result.IsPending())
        manager->Idle();
    if (request.m_Result.m_eStatus == kIPStatusError) {
        DebugPrintf("FImageFileListEntry::GetProps: IPManager returned %d (%s)\n", request.m_Result.m_eError,
                    Narrow(request.m_Result.m_sErrorText).c_str());
    }
    if (!request.m_pImageProps)
        return false;
    // Whatever a failed request left in the list is not the file's.
    if (request.m_Result.m_eStatus != kIPStatusDone)
        request.m_pImageProps->Clear();
    FormatProperties(*request.m_pImageProps);
    m_bPropertiesRead = true;
    return true;
}

void FImageFileListEntry::FormatProperties(const FPropTree& props)
{
    bool found = false;
    m_bMarked = props.GetBool(FString("MARKBITS"), false);
    m_bProcessable = props.GetBool(FString("PROCESSABLE"), false);
    m_iRotation = props.GetInt(FString("ROTATION"), 0);
    m_iWidth = props.GetInt(FString("COLS"), 0);
    m_iHeight = props.GetInt(FString("ROWS"), 0);

    const int time = props.GetInt(FString("TIME"), 0, &found);
    m_iCaptureTime = found ? time : 0;
    m_sTime = found ? UnixTimeToTimeString(uint32_t(time)) : kMissing;
    m_sDate = found ? UnixTimeToDateString(uint32_t(time)) : kMissing;

    m_sAperture = TextOf(props, "AP_DESC");
    m_sShutter = FormatShutterSpeed(TextOf(props, "SH_DESC"), FoundText(props, "SHUTTER"));
    m_sIso = TextOf(props, "ISO");
    m_sResolution = TextOf(props, "RESOLUTION");
    m_sCameraName = FormatCameraName(TextOf(props, "CAMMANUF"), TextOf(props, "CAMMODEL"));
    m_sUniqueID = TextOf(props, "rpUniqueID");
    m_sExposureComp = FormatExposureCompensation(TextOf(props, "EXPNET"));
    m_sProgramMode = TextOf(props, "PMODE");
    m_sMeteringMode = TextOf(props, "AEMODE");
    m_sAFMode = TextOf(props, "AFMODE");
    m_sFocalLength = FormatFocalLength(FoundText(props, "FLENGTH"), FoundText(props, "LENSFRANGE"));
    m_sWBDesc = TextOf(props, "WB_DESC");
    m_sWBDescOrig = TextOf(props, "WB_DESC_ORIG");
    m_sCMDesc = TextOf(props, "CM_DESC");
    m_sFirmware = TextOf(props, "FIRMVERS");
    m_sDriveMode = TextOf(props, "DRIVE");
    m_sFlash = TextOf(props, "FLASH");
    m_sSerialNumber = TextOf(props, "CAMSERIAL");
    if (m_sSerialNumber.GetLength() == 0)
        m_sSerialNumber = kMissing;

    const double unset = m_bProcessable ? 0.0 : kAdjustmentNotStored;
    m_dExposure = props.GetDouble(FString("rpExposureCompensation"), unset);
    m_dContrast = props.GetDouble(FString("rpContrast"), unset);
    m_dShadow = props.GetDouble(FString("rpShadow"), unset);
    m_dHighlight = props.GetDouble(FString("rpHighlight"), unset);
    m_dSharpness = props.GetDouble(FString("rpSharpness"), unset);
    m_dSaturation = props.GetDouble(FString("rpSaturation"), unset);
    m_dFillLight = props.GetDouble(FString("rpFillFlash"), unset);

    if (const FString* colorAdjust = FoundText(props, "rpColorAdjust"))
        ParseColorAdjust(m_ColorAdjust, colorAdjust->GetText());
    else
        m_ColorAdjust = FDoubleTriple(m_bProcessable ? 1.0 : kAdjustmentNotStored);

    const double unsetNoise = m_bProcessable ? 0.5 : kAdjustmentNotStored;
    m_dChromaNoise = props.GetDouble(FString("rpChromaNoise"), unsetNoise);
    m_dLumaNoise = props.GetDouble(FString("rpLumaNoise"), unsetNoise);

    m_sSettingMode = FormatSettingMode(FoundText(props, "rpSettingMode"));
    m_iColorSpace = props.GetInt(FString("rpColorSpace"), -1);
    m_sSoftware = TextOf(props, "rpSoftware");
    m_sQuality = TextOf(props, "rpQuality");

    const int exifTime = props.GetInt(FString("EXIF_DATETIME"), 0, &found);
    m_sExifTime = found ? UnixTimeToTimeString(uint32_t(exifTime)) : kMissing;
    m_sExifDate = found ? UnixTimeToDateString(uint32_t(exifTime)) : kMissing;
}

bool FImageFileListEntry::MarkImage(FIPManager* manager, bool mark)
{
    if (m_sURL.GetLength() == 0 || !manager)
        return false;
    // Only a lock this entry knows of is lifted for the write (and set again);
    // a file locked behind its back stays locked and the write fails.
    const bool wasLocked = m_bLocked;
    if (wasLocked)
        SetLocked(false);

    IPManagerData request;
    request.SetURL(m_sURL);
    request.m_eKind = kIPRequestModifyProperties;
    request.m_pImageProps->AddPair("MARKBITS", mark ? "1" : "0");
    manager->Request(&request);
    // A queued request must not outlive its record.
    while (request.m_Result.IsPending())
        manager->Idle();
    bool done = false;
    if (request.m_Result.m_eStatus == kIPStatusError) {
        DebugPrintf("FImageFileListEntry::MarkImage: IPManager returned %d (%s)\n", request.m_Result.m_eError,
                    Narrow(request.m_Result.m_sErrorText).c_str());
    } else if (request.m_Result.m_eStatus == kIPStatusDone) {
        done = true;
        m_bMarked = mark;
    }
    if (wasLocked)
        SetLocked(true);
    return done;
}

bool FImageFileListEntry::SetLocked(bool lock)
{
    if (m_sURL.GetLength() == 0)
        return false;
    FFileInfo info;
    info.m_iFlags = (lock ? FILEINFO_READONLY : 0) | (m_bSecondAttribute ? FILEINFO_HIDDEN : 0);
    if (!SetFileInfoByURL(m_sURL, info))
        return false;
    m_bLocked = lock;
    return true;
}
