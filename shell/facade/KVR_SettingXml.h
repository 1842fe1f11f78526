#pragma once
// One settings preset as the five lines the preset file stores for it:
//
//   <Setting Name="name">
//   \t<Tone Blackness="s" Contrast="c" Exposure="e" Highlight="h" Saturation="t" Sharpness="p" FillLight="f"/>
//   \t<Color ColorAdjustR="r" ColorAdjustG="g" ColorAdjustB="b"/>
//   \t<WhiteBalance WhiteBalance="i"/>
//   </Setting>
//
// The adjustments are written as value / 100 with two decimals, the colour
// compensation as three gains with six, the white-balance index as an
// integer. The reader is a substring scanner, not an XML parser: it relies on
// these element and attribute names and on one element per line (attributes
// may come in any order). Decimals are read back to the nearest hundredth,
// so every value survives a write and a read. The automatic flag, the colour
// mode and the noise fields are not stored.

#include "foundation/FString.h"

#include <vector>

class CKVR_FilterData;

// Empties lines and appends the five lines of the record; 1. Line breaks in
// the name are left out, so the name stays on its line.
int KVR_WriteSettingXml(std::vector<FString>* lines, const CKVR_FilterData* settings);
// 1 when all five lines parsed. A missing element, attribute or closing quote
// gives 0 at once, with the fields read before it already stored; a value
// that is no number reads as 0.
int KVR_ReadSettingXml(CKVR_FilterData* settings, const std::vector<FString>* lines);
