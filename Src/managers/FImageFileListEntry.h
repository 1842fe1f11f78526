#pragma once
// One image file as the browser sees it: its URL, its lock (read-only) and
// mark flags, and its shooting information already turned into the texts a
// person reads (1/250 for a shutter speed, "30 mm (18-50)" for a focal length,
// "+0.3" for an exposure compensation). The properties come from one
// properties request through a manager, polled to its end in the caller's
// thread; the mark goes back into the file with one modify request. The
// caller holds the application's engine lock around both.
//
// A text the file does not carry is a single space " ".
#include "foundation/FString.h"
#include "foundation/FValueTypes.h"

#include <cstdint>

class FIPManager;
class FPropTree;

// The kind tests of an extension, with or without its dot, case ignored.
bool IsRawFileExtension(const FString& extension);
bool IsTiffFileExtension(const FString& extension);
bool IsJpegFileExtension(const FString& extension);

// The marker of an adjustment value the file does not store.
constexpr double kAdjustmentNotStored = -999.9;

// The display forms of single properties (the texts as the file stores them);
// each keeps the stored text when it cannot be turned into a number it can show.
FString FormatShutterSpeed(const FString& shutterDescription, const FString* shutterSeconds);
FString FormatExposureCompensation(const FString& exposure);
FString FormatFocalLength(const FString* focalLength, const FString* lensRange);
FString FormatCameraName(const FString& maker, const FString& model);
FString FormatSettingMode(const FString* settingMode);

class FImageFileListEntry {
public:
    FImageFileListEntry();
    FImageFileListEntry(const FImageFileListEntry&) = default;
    FImageFileListEntry& operator=(const FImageFileListEntry&) = default;
    virtual ~FImageFileListEntry() = default;

    // Stores the URL and reads its name, extension and kind; true when the
    // URL yields no file name (an empty URL).
    bool SetURL(const FString& url);
    // Reads the file's attributes and properties through the manager and
    // formats them; false without a manager or URL, or when the file cannot be
    // opened. A file whose properties cannot be read is formatted from an
    // empty list (every text " ", adjustments not stored) and gives true.
    bool GetProps(FIPManager* manager);
    // Writes the mark into the file. A file this entry knows as locked is
    // unlocked for the write and locked again afterwards. True when the
    // manager reports the modification done; the mark flag then follows.
    bool MarkImage(FIPManager* manager, bool mark);
    // Sets or clears the file's read-only attribute; false without a URL or
    // when the attribute cannot be changed.
    bool SetLocked(bool lock);

    const FString& GetURL() const { return m_sURL; }
    const FString& GetFileName() const { return m_sFileName; }
    const FString& GetExtension() const { return m_sExtension; }
    bool IsCameraScheme() const { return m_bCameraScheme; }
    bool HasProperties() const { return m_bPropertiesRead; }
    int32_t GetCaptureTime() const { return m_iCaptureTime; }
    const FString& GetExifTime() const { return m_sExifTime; }
    const FString& GetExifDate() const { return m_sExifDate; }
    const FString& GetQuality() const { return m_sQuality; }
    const FString& GetSoftware() const { return m_sSoftware; }
    const FString& GetTime() const { return m_sTime; }
    const FString& GetDate() const { return m_sDate; }
    const FString& GetAperture() const { return m_sAperture; }
    const FString& GetShutter() const { return m_sShutter; }
    const FString& GetIso() const { return m_sIso; }
    const FString& GetResolution() const { return m_sResolution; }
    int32_t GetColorSpace() const { return m_iColorSpace; }
    int32_t GetRotation() const { return m_iRotation; }
    const FString& GetExposureComp() const { return m_sExposureComp; }
    const FString& GetProgramMode() const { return m_sProgramMode; }
    const FString& GetMeteringMode() const { return m_sMeteringMode; }
    const FString& GetAFMode() const { return m_sAFMode; }
    const FString& GetFocalLength() const { return m_sFocalLength; }
    const FString& GetWBDesc() const { return m_sWBDesc; }
    const FString& GetCMDesc() const { return m_sCMDesc; }
    const FString& GetWBDescOrig() const { return m_sWBDescOrig; }
    const FString& GetFirmware() const { return m_sFirmware; }
    const FString& GetDriveMode() const { return m_sDriveMode; }
    const FString& GetFlash() const { return m_sFlash; }
    const FString& GetSerialNumber() const { return m_sSerialNumber; }
    double GetExposure() const { return m_dExposure; }
    double GetShadow() const { return m_dShadow; }
    double GetContrast() const { return m_dContrast; }
    double GetHighlight() const { return m_dHighlight; }
    double GetSaturation() const { return m_dSaturation; }
    double GetSharpness() const { return m_dSharpness; }
    double GetFillLight() const { return m_dFillLight; }
    const FDoubleTriple& GetColorAdjust() const { return m_ColorAdjust; }
    const FString& GetSettingMode() const { return m_sSettingMode; }
    double GetChromaNoise() const { return m_dChromaNoise; }
    double GetLumaNoise() const { return m_dLumaNoise; }
    const FString& GetCameraModel() const { return m_sCameraName; }
    const FString& GetUniqueId() const { return m_sUniqueID; }
    bool IsMarked() const { return m_bMarked; }
    // Changes the entry in memory only.
    void SetMarkedFlag(bool marked) { m_bMarked = marked; }
    bool IsLocked() const { return m_bLocked; }
    bool GetSecondAttributeFlag() const { return m_bSecondAttribute; }
    bool IsProcessable() const { return m_bProcessable; }
    bool IsTiff() const { return m_bTiff; }
    bool IsJpeg() const { return m_bJpeg; }
    int32_t GetWidth() const { return m_iWidth; }
    int32_t GetHeight() const { return m_iHeight; }

    // Formats a property list over the display fields (the step GetProps ends with).
    void FormatProperties(const FPropTree& properties);

private:
    bool priParseURL();

    FString m_sURL;
    FString m_sFileName;
    FString m_sExtension;
    bool m_bCameraScheme = false;
    bool m_bPropertiesRead = false;
    int32_t m_iCaptureTime = 0;
    FString m_sExifTime, m_sExifDate;
    FString m_sQuality;
    FString m_sSoftware;
    FString m_sTime, m_sDate;
    FString m_sAperture;
    FString m_sShutter;
    FString m_sIso;
    FString m_sResolution;
    int32_t m_iColorSpace = -1;
    int32_t m_iRotation = 0;
    FString m_sExposureComp;
    FString m_sProgramMode;
    FString m_sMeteringMode;
    FString m_sAFMode;
    FString m_sFocalLength;
    FString m_sWBDesc;
    FString m_sCMDesc;
    FString m_sWBDescOrig;
    FString m_sFirmware;
    FString m_sDriveMode;
    FString m_sFlash;
    FString m_sSerialNumber;
    double m_dExposure = 0, m_dShadow = 0, m_dContrast = 0, m_dHighlight = 0, m_dSaturation = 0, m_dSharpness = 0,
           m_dFillLight = 0;
    FDoubleTriple m_ColorAdjust{1.0, 1.0, 1.0};
    FString m_sSettingMode;
    double m_dChromaNoise = 0.5, m_dLumaNoise = 0.5;
    FString m_sCameraName;
    FString m_sUniqueID;
    bool m_bMarked = false;
    bool m_bLocked = false;
    bool m_bSecondAttribute = false;
    bool m_bProcessable = false;
    bool m_bTiff = false, m_bJpeg = false;
    int32_t m_iWidth = 0, m_iHeight = 0;
};
