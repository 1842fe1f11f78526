#pragma once
// Image colour management on device contexts. With ICM on, the pixels of
// pictures a DC draws (StretchDIBits) go from the DC's colour space (sRGB
// unless a colour space with a profile is selected) to its output profile
// (the monitor's unless SetICMProfileW gave another) through Little CMS;
// pens, brushes and text keep their colours. Qt-free. Included by WinGdi.h.

#include "platform/win/WinGdi.h"

#include <string>

using LPDWORD = DWORD*;

struct HCOLORSPACE__ : HGDIOBJ__ {};
using HCOLORSPACE = HCOLORSPACE__*;
constexpr DWORD OBJ_COLORSPACE = 14;

constexpr int ICM_OFF = 1;
constexpr int ICM_ON = 2;
constexpr int ICM_QUERY = 3;

constexpr DWORD LCS_SIGNATURE = 0x50534F43; // 'PSOC'
constexpr LONG LCS_CALIBRATED_RGB = 0;
constexpr LONG LCS_sRGB = 0x73524742;             // 'sRGB'
constexpr LONG LCS_WINDOWS_COLOR_SPACE = 0x57696E20; // 'Win '
constexpr LONG LCS_GM_BUSINESS = 1;
constexpr LONG LCS_GM_GRAPHICS = 2;
constexpr LONG LCS_GM_IMAGES = 4;
constexpr LONG LCS_GM_ABS_COLORIMETRIC = 8;
constexpr int MAX_PATH = 260;

struct CIEXYZ {
  LONG ciexyzX = 0;
  LONG ciexyzY = 0;
  LONG ciexyzZ = 0;
};
struct CIEXYZTRIPLE {
  CIEXYZ ciexyzRed;
  CIEXYZ ciexyzGreen;
  CIEXYZ ciexyzBlue;
};
// 588 bytes, as the original system lays it out.
struct LOGCOLORSPACEW {
  DWORD lcsSignature = 0;
  DWORD lcsVersion = 0;
  DWORD lcsSize = 0;
  LONG lcsCSType = 0;
  LONG lcsIntent = 0;
  CIEXYZTRIPLE lcsEndpoints;
  DWORD lcsGammaRed = 0;
  DWORD lcsGammaGreen = 0;
  DWORD lcsGammaBlue = 0;
  WCHAR lcsFilename[MAX_PATH] = {};
};
static_assert(sizeof(LOGCOLORSPACEW) == 588);
using LOGCOLORSPACE = LOGCOLORSPACEW;

// A colour space: calibrated RGB with a profile file (lcsFilename), or sRGB.
HCOLORSPACE CreateColorSpaceW(const LOGCOLORSPACEW* space);
BOOL DeleteColorSpace(HCOLORSPACE space);
// Selects a colour space into a DC; the previous one (null: sRGB, or failure).
HCOLORSPACE SetColorSpace(HDC dc, HCOLORSPACE space);
HCOLORSPACE GetColorSpace(HDC dc);
// ICM_ON, ICM_OFF; ICM_QUERY answers the mode. 0 on failure.
int SetICMMode(HDC dc, int mode);
// The DC's output profile: a path of at most *size characters (with the
// terminator); FALSE with *size set to the length needed when it is too small.
BOOL GetICMProfileW(HDC dc, LPDWORD size, LPWSTR path);
BOOL SetICMProfileW(HDC dc, LPWSTR path);
#define CreateColorSpace CreateColorSpaceW
#define GetICMProfile GetICMProfileW
#define SetICMProfile SetICMProfileW

namespace platform {
// The monitor's profile file, which screen DCs use as their output profile.
// Until set (the X11 back end sets the screen's published _ICC_PROFILE), the sRGB
// profile of the program's data folder (icc/sRGB.icc).
void SetMonitorProfile(const std::u16string& path);
std::u16string MonitorProfile();
} // namespace platform
