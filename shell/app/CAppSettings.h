#pragma once
// Everything the user interface remembers between runs, with the lock every
// reader and writer holds while copying values in or out (any thread), and
// the settings file "TLumitra.ini" it is read from once at start-up and
// written to once at shut-down.
//
// Numbers in the file are written and read in the "C" conventions whatever
// the user's locale, so a file written under one locale reads the same under
// another.

#include "foundation/FString.h"
#include "foundation/FSync.h"
#include "platform/win/WinGdi.h"
#include "shell/facade/CKVR_FilterData.h"
#include "toolkit/CET_FilterData.h"

#include <cstdint>
#include <string>

class CPrivateProfile;

// The largest colour density the files' gains ("%.6f") carry exactly: beyond
// it a gain is too small for its six decimals (the colour wheel stays below
// 170). Densities read from the settings and preset files are kept within 0
// and this, so that every value survives the next write and read.
inline constexpr int32_t kMaxStoredColorDensity = 400;
void ClampStoredDensities(CET_FilterData& record);

// How shooting information is printed under or over each picture. The font's
// lfHeight holds the size in tenths of a point, not a logical height.
struct InfoPrintSetting {
    int32_t m_nBasic = 0;   // 1: lines 0 (file name, date, time) and 1 (camera)
    int32_t m_nCapture = 0; // 1: line 2 (shutter, aperture, ISO, compensation, focal length)
    int32_t m_nPos = 0;     // 0, 7, 8, 9 below the picture; 4, 5, 6 over its bottom
    LOGFONTW m_Font{};
    COLORREF m_Coler = 0;
};

// The header or footer line of every printed page.
struct HeadFootPrintSetting {
    FString m_strHeadFoot;
    int32_t m_nPos = 4; // 1-3 top left, centre, right; 4-6 bottom left, centre, right
    LOGFONTW m_Font{};
    COLORREF m_Coler = 0;
};

class CAppSettings {
public:
    CAppSettings() = default;
    CAppSettings(const CAppSettings&) = delete;
    CAppSettings& operator=(const CAppSettings&) = delete;

    // The lock: a count-one lock taken with a wait (0xFFFFFFFF: for ever; 0:
    // one try). It knows its holder: the holder's second Lock fails at once
    // instead of waiting for itself, and only the holder can Unlock.
    BOOL Lock(DWORD milliseconds = 0xFFFFFFFF) { return m_Lock.Lock(milliseconds) ? TRUE : FALSE; }
    BOOL Unlock() { return m_Lock.Unlock() ? TRUE : FALSE; }

    // Takes the lock, sets the initial review mode to 1 and reads every key of
    // the file; a missing file or key gives its default. The default preset
    // name is the text table's text 105; the default print font is the
    // platform's GUI font (the quality and height are set here). False when
    // the file exists but cannot be read (the defaults are in place then, and
    // WriteFile will not replace that file).
    bool ReadFile(const FString& path, const FString& defaultPresetName, const LOGFONTW& defaultGuiFont);
    // Takes the lock and writes every key into the file, keeping what else the
    // file holds; atomically. False, the file unchanged, when it could not be
    // written, or when it could not be read at start-up.
    bool WriteFile(const FString& path);

    // Without the lock and without a file: the same reading and writing on a
    // profile already in memory.
    void ReadFrom(const CPrivateProfile& profile, const FString& defaultPresetName, const LOGFONTW& defaultGuiFont);
    void WriteTo(CPrivateProfile& profile) const;

    // Calls visitor for every key in file order (see CAppSettings.cpp), with
    // the section, the key, the default text and the member it stores.
    template <class Visitor>
    void VisitKeys(Visitor& visitor);

    // ---- The values (read and written under the lock)

    // Not stored: the display mode every new review window starts in; 1 once
    // the file was read.
    int32_t m_nInitialReviewMode = 0;

    // Preferences.
    int32_t m_nSplash = 0;
    int32_t m_nJPEGAlert = 0;
    int32_t m_nAnimationApp = 0; // 1: movies open with m_strSelAppName; 0: the system's default
    FString m_strSelAppName;
    int32_t m_nKVRColorSpace = 0; // 0 the raw file's own, 1 sRGB, 2 Apple RGB, 3 Adobe RGB, 4 ROMM RGB
    int32_t m_nSavePlace = 0;

    // Browser.
    RECT m_rcThumbWindow{};
    int32_t m_nOpenInfoPalette = 0;
    int32_t m_nThumbMaxSize = 0; // 1: the browser opens maximised
    int32_t m_nFolderWidth = 0;
    int32_t m_nThumbWidth = 0;
    FString m_strThumbDir;
    int32_t m_nThumbSize = 0;    // index of the thumbnail sizes 0..31
    int32_t m_nThumbWithInfo = 0;
    int32_t m_nFormatFilter = 0; // 0 none, 1 raw, 2 JPEG, 3 TIFF, 4 still pictures
    int32_t m_nStateFilter = 0;  // 0 none, 1 marked, 2 unmarked, 3 locked, 4 unlocked
    int32_t m_nSortMode = 0;
    int32_t m_nSortInvert = 0;

    // Review window.
    RECT m_rcReviewWindow{};
    int32_t m_nOpenAdjustPalette = 0;
    int32_t m_nReviewMaxSize = 0;
    int32_t m_nZoomIndex = 0;
    int32_t m_nLoupeMode = 0;
    int32_t m_nLoupeScale = 0;
    int32_t m_nLoupeArea = 0;
    int32_t m_nRulerMode = 0;
    int32_t m_nGrayPointMode = 0;
    int32_t m_nDispWarn = 0;
    uint8_t m_byShadow = 0;
    uint8_t m_byHighLight = 0;
    int32_t m_nHistType = 0;

    // Information palette.
    RECT m_rcInfoWindow{};

    // Adjustment palette.
    RECT m_rcAdjustWindow{};
    uint32_t m_dwPaletteState = 0;
    int32_t m_nHistCmbIdx = 0;

    // Default adjustments of new raw files: the mode 1..4 and the custom record.
    int32_t m_nKVRFilterMode = 0;
    CKVR_FilterData m_KVRFilterData;

    // Default adjustments of new JPEG and TIFF files.
    int32_t m_nJTFilterMode = 0;
    CET_FilterData m_JTFilterData;

    // Slide show.
    int32_t m_nSlideShowType = 0;
    int32_t m_nSlideShowDuration = 0;
    int32_t m_nSlideShowLoop = 0;

    // Save dialog.
    FString m_strSaveSettingName;
    int32_t m_nSaveSettingRB = 0;
    int32_t m_nSaveChkKVR = 0;
    int32_t m_nSaveOutputImagesize = 0;
    int32_t m_nSaveColorSpace = 0;
    int32_t m_nSaveFileFormat = 0;
    int32_t m_nSaveJPEG = 0;
    FString m_strSaveLastDirPath;

    // Print options.
    int32_t m_nPrintAutoRotate = 0;
    int32_t m_nPrintAutoCrop = 0;
    int32_t m_nPrintPictCopy = 0;
    int32_t m_nPrintPictCopyNumber = 0;
    int32_t m_nPrintInfo = 0;
    int32_t m_nPrintHeader = 0;
    FString m_strPrintSize;
    int32_t m_nPrintKVRSetting = 0;
    FString m_strPrintKVRSettingName;

    // Information printing and header and footer printing.
    InfoPrintSetting m_InfoPrint;
    HeadFootPrintSetting m_HeadFootPrint;

private:
    FMutex m_Lock;
    bool m_bFileUnreadable = false;
};

// Holds the settings lock for a scope.
class CAppSettingsLock {
public:
    explicit CAppSettingsLock(CAppSettings& settings) : m_Settings(settings), m_bLocked(settings.Lock() != FALSE) {}
    CAppSettingsLock(const CAppSettingsLock&) = delete;
    CAppSettingsLock& operator=(const CAppSettingsLock&) = delete;
    ~CAppSettingsLock()
    {
        if (m_bLocked)
            m_Settings.Unlock();
    }

private:
    CAppSettings& m_Settings;
    bool m_bLocked;
};

// ---- The keys, in file order

// The visitor's calls, by what a key stores and so how its text is read and
// written:
//   v(section, key, default, int32_t&)      "%d": the digits the text begins with, 0 for none
//   v(section, key, default, FString&)      the text as it stands
//   v.Byte(section, key, default, uint8_t&) "%d", kept in 8 bits (the low byte)
//   v.Hex(section, key, default, uint32_t&) "0x%lX"; read in base 16 with or without "0x"
//   v.FilterMode(..., int32_t&)             "%d"; a value outside 1..4 reads as 1
//   v.Gains(section, prefix, default, record) three reals "%.6f" (keys prefix + R, G, B)
//                                           standing for the record's three densities
//   v.PresetName(section, key, FString&)    the text; its default is text 105
//   v.Colour(section, key, default, COLORREF&) "%d"
//   v.Font(section, key, LOGFONTW&)         a structure with checksum; the GUI font when
//                                           missing or damaged
template <class Visitor>
void CAppSettings::VisitKeys(Visitor& v)
{
    const auto rect = [&v](const char* section, RECT& r) {
        v(section, "WindowLeft", "0", r.left);
        v(section, "WindowTop", "0", r.top);
        v(section, "WindowRight", "0", r.right);
        v(section, "WindowBottom", "0", r.bottom);
    };
    rect("Thumb", m_rcThumbWindow);
    v("Thumb", "OpenInfoPalette", "0", m_nOpenInfoPalette);
    v("Thumb", "MaxSize", "0", m_nThumbMaxSize);
    v("Thumb", "FolderWidth", "0", m_nFolderWidth);
    v("Thumb", "ThumbWidth", "0", m_nThumbWidth);
    v("Thumb", "ThumbDir", "", m_strThumbDir);
    v("Thumb", "ThumbSize", "5", m_nThumbSize);
    v("Thumb", "ThumbWithInfo", "0", m_nThumbWithInfo);
    v("Thumb", "FormatFilter", "0", m_nFormatFilter);
    v("Thumb", "StateFilter", "0", m_nStateFilter);
    v("Thumb", "SortMode", "0", m_nSortMode);
    v("Thumb", "SortInvert", "0", m_nSortInvert);

    rect("Review", m_rcReviewWindow);
    v("Review", "OpenAdjustPalette", "0", m_nOpenAdjustPalette);
    v("Review", "MaxSize", "0", m_nReviewMaxSize);
    v("Review", "ZoomIndex", "-1", m_nZoomIndex);
    v("Review", "LoupeMode", "0", m_nLoupeMode);
    v("Review", "LoupeScale", "0", m_nLoupeScale);
    v("Review", "LoupeArea", "0", m_nLoupeArea);
    v("Review", "RulerMode", "0", m_nRulerMode);
    v("Review", "GrayPointMode", "0", m_nGrayPointMode);
    v("Review", "DispWarn", "0", m_nDispWarn);
    v.Byte("Review", "Shadow", "0", m_byShadow);
    v.Byte("Review", "HighLight", "255", m_byHighLight);
    v("Review", "HistType", "0", m_nHistType);

    rect("Info", m_rcInfoWindow);

    rect("Adjust", m_rcAdjustWindow);
    v.Hex("Adjust", "PaletteState", "0x33", m_dwPaletteState);
    v("Adjust", "HistCmbIdx", "0", m_nHistCmbIdx);

    const auto adjustments = [&v](const char* prefix, CET_FilterData& record) {
        const std::string p(prefix);
        v("Filter", (p + "Auto").c_str(), "0", record.m_nAuto);
        v("Filter", (p + "Brightness").c_str(), "0", record.m_nExposure);
        v("Filter", (p + "Contrast").c_str(), "0", record.m_nContrast);
        v("Filter", (p + "Shadow").c_str(), "0", record.m_nShadow);
        v("Filter", (p + "Hilight").c_str(), "0", record.m_nHighlight);
        v("Filter", (p + "Saturation").c_str(), "0", record.m_nSaturation);
        v("Filter", (p + "Sharpness").c_str(), "0", record.m_nSharpness);
    };
    v.FilterMode("Filter", "KVR_FilterMode", "1", m_nKVRFilterMode);
    adjustments("KVR_", m_KVRFilterData);
    v("Filter", "KVR_FillLight", "0", m_KVRFilterData.m_nFillLight);
    v.Gains("Filter", "KVR_Color", "1.0", m_KVRFilterData);
    v.PresetName("Filter", "KVR_Name", m_KVRFilterData.m_strName);
    v.FilterMode("Filter", "JT_FilterMode", "1", m_nJTFilterMode);
    adjustments("JT_", m_JTFilterData);
    v.Gains("Filter", "JT_Color", "1.0", m_JTFilterData);

    v("SlideShow", "Type", "1", m_nSlideShowType);
    v("SlideShow", "Duration", "5", m_nSlideShowDuration);
    v("SlideShow", "Loop", "0", m_nSlideShowLoop);

    v("SaveDlg", "SettingName", "", m_strSaveSettingName);
    v("SaveDlg", "SettingRB", "0", m_nSaveSettingRB);
    v("SaveDlg", "ChkKVR", "0", m_nSaveChkKVR);
    v("SaveDlg", "OutputImagesize", "0", m_nSaveOutputImagesize);
    v("SaveDlg", "ColorSpace", "0", m_nSaveColorSpace);
    v("SaveDlg", "FileFormat", "0", m_nSaveFileFormat);
    v("SaveDlg", "JPEG", "10", m_nSaveJPEG);
    v("SaveDlg", "LastDirPath", "", m_strSaveLastDirPath);

    v("PrintSetting", "AutoRotate", "0", m_nPrintAutoRotate);
    v("PrintSetting", "AutoCrop", "0", m_nPrintAutoCrop);
    v("PrintSetting", "PictCopy", "0", m_nPrintPictCopy);
    v("PrintSetting", "PictCopyNumber", "0", m_nPrintPictCopyNumber);
    v("PrintSetting", "Info", "0", m_nPrintInfo);
    v("PrintSetting", "Header", "0", m_nPrintHeader);
    v("PrintSetting", "PrintSize", "", m_strPrintSize);
    v("PrintSetting", "KVRSetting", "0", m_nPrintKVRSetting);
    v("PrintSetting", "KVRSettingName", "", m_strPrintKVRSettingName);

    v("InfoPrintSetting", "Basic", "0", m_InfoPrint.m_nBasic);
    v("InfoPrintSetting", "Capture", "0", m_InfoPrint.m_nCapture);
    v("InfoPrintSetting", "Pos", "0", m_InfoPrint.m_nPos);
    v.Colour("InfoPrintSetting", "Coler", "0", m_InfoPrint.m_Coler);
    v.Font("InfoPrintSetting", "Font", m_InfoPrint.m_Font);

    v("HeadFootPrintSetting", "HeadFoot", "", m_HeadFootPrint.m_strHeadFoot);
    v("HeadFootPrintSetting", "Pos", "6", m_HeadFootPrint.m_nPos);
    v.Colour("HeadFootPrintSetting", "Coler", "0", m_HeadFootPrint.m_Coler);
    v.Font("HeadFootPrintSetting", "Font", m_HeadFootPrint.m_Font);

    v("Preference", "Splash", "1", m_nSplash);
    v("Preference", "JPEGAlert", "1", m_nJPEGAlert);
    v("Preference", "AnimationApp", "0", m_nAnimationApp);
    v("Preference", "SelAppName", "", m_strSelAppName);
    v("Preference", "KVRColorSpace", "0", m_nKVRColorSpace);
    v("Preference", "SavePlace", "0", m_nSavePlace);
}
