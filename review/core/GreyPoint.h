#pragma once
// The grey-point pick: a click on an area of the shown picture that should be
// neutral becomes a colour compensation. Raw files ask the development facade
// for the gains at the point; other pictures average an 8 x 8 box of the shown
// picture.

#include "foundation/FString.h"
#include "foundation/FValueTypes.h"
#include "toolkit/CET_Dib.h"
#include "toolkit/CET_FilterData.h"

#include <memory>

class CFilterDataSlots;

struct GreyPointClick {
  FString path;             // the image's file
  bool raw = false;         // a raw file: the facade measures the point
  const CET_Dib* shown = nullptr;  // the shown picture (other files); null while none is shown
  FDoublePoint point;       // the click in picture coordinates
  FDoubleRect visible;      // the visible part of the picture, picture coordinates
};

// The gains that make the 8 x 8 box around the point neutral, the box cut to
// the visible rectangle. FALSE (gains untouched) without a picture, for an
// empty box, for black, and for a patch so strongly coloured that a gain falls
// to a twentieth of the largest or below.
BOOL GreyPointGainsFromBox(const CET_Dib* picture, const FDoublePoint& point, const FDoubleRect& visible,
                           FDoubleTriple& gains);

// The custom settings a click makes: a clone of the current slot's record
// (or a new reset record of the image's kind when that slot is empty) with the
// compensation that neutralises the point and the given name. Null when the
// click lies outside the visible rectangle or the pick is not valid; then
// nothing is to change. The caller makes the result the custom slot.
std::unique_ptr<CET_FilterData> PickGreyPointSettings(const GreyPointClick& click, CFilterDataSlots& slots,
                                                      int currentSlot, const FString& name);
