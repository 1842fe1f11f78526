#pragma once
// Colour work on whole pictures: conversion between two ICC profiles and the
// clipping-warning picture. Both return a new record the caller owns, or null.

#include "toolkit/CET_Dib.h"

#include "foundation/FString.h"

// The 24- or 32-bit picture converted from the source profile to the
// destination profile (files at native paths) with the perceptual intent and
// the most accurate transform; the fourth byte of 32-bit pixels is kept. Null
// for a null or other picture, or when a profile or the transform cannot be made.
CET_Dib* TransformDibColor(const CET_Dib* picture, const FString& sourceProfilePath,
                           const FString& destinationProfilePath);

// Clip-warning modes: which channels a pixel's test looks at.
enum : int {
  CLIPWARN_ALL = 0,   // all three above high (or all below low)
  CLIPWARN_ANY = 1,   // any one
  CLIPWARN_RED = 2,
  CLIPWARN_GREEN = 3,
  CLIPWARN_BLUE = 4,
};

// A copy of base (or of the picture when base is null) in which the pixels
// whose picture values lie above high take highColour, else those below low
// take lowColour. Any other mode gives an unchanged copy. Null for a null or
// not 24- or 32-bit picture, and for a base of another size or depth.
CET_Dib* MakeClipWarningDib(const CET_Dib* picture, const CET_Dib* base, int mode, BYTE high, BYTE low,
                            COLORREF highColour, COLORREF lowColour);
