#pragma once
// The picture filter of ordinary JPEG and TIFF pictures: the user's
// adjustments (CET_FilterData) applied to a 24- or 32-bit picture with integer
// lookup tables. Exposure and contrast act as a tone curve, highlight, shadow
// and saturation in an integer HSV space, the colour compensation as a
// per-channel offset, and sharpening as a separate pass.
//
// The five HSV tables are built once (BuildFilterTables, or on first use) and
// only read afterwards, so filters may run in several threads at once.

#include "platform/win/WinTypes.h"

class CET_Dib;
class CET_FilterData;

// int (percentage, user): called as the work advances; 0 cancels it.
using FilterProgressCallback = int (*)(int percentage, void* user);

class CET_ImageFilter {
public:
  virtual ~CET_ImageFilter() = default;

  // Fills the five HSV tables; later calls do nothing.
  static void BuildFilterTables();

  // Hue 0..359 degrees, saturation and value 0..255.
  static void RGBToHSV(BYTE red, BYTE green, BYTE blue, int& hue, int& saturation, int& value);
  // Inputs outside their ranges are brought into them (hue modulo 360,
  // saturation and value clamped).
  static void HSVToRGB(BYTE* red, BYTE* green, BYTE* blue, int hue, int saturation, int value);

  // A new picture with the settings applied, which the caller owns; an
  // unchanged copy when the picture is not 24- or 32-bit or the settings
  // change nothing; null for a null picture or when the callback cancelled.
  static CET_Dib* FilterDib(const CET_Dib* picture, const CET_FilterData* settings,
                            FilterProgressCallback callback, void* user);
  // A new sharpened picture (the outermost rows and columns unchanged), or
  // null when cancelled. continued: the filter passes ran before, so progress
  // goes on from 50.
  static CET_Dib* SharpenDib(const CET_Dib* picture, int sharpness, FilterProgressCallback callback, void* user,
                             int continued);
};
