#pragma once
// Stateless operations on pictures: quarter, half and free turns and crops.
// Every pixel block returned is new and owned by the caller (made with
// NewDibBits, so a record can take it over); a null result means the input
// described no picture or asked for one that cannot be made.

#include "platform/win/WinTypes.h"

class CET_Dib;

class CET_PictCalc {
public:
  virtual ~CET_PictCalc() = default;

  // Width and height exchange. For a bottom-up picture this turns the image a
  // quarter counter-clockwise as seen on the screen.
  static BYTE* RotateDibBits90(const BYTE* bits, int width, int height, int bitsPerPixel);
  static BYTE* RotateDibBits180(const BYTE* bits, int width, int height, int bitsPerPixel);
  // Any angle; at 90, 180 and 270 degrees every pixel maps exactly and no
  // background is read. Pixels that fall outside the source take the bytes at
  // background (black when background is null). newHeader receives the 44
  // bytes of the turned picture's header.
  static BYTE* RotateDibBitsByAngle(double degrees, const BYTE* background, const BITMAPINFO* header,
                                    const BYTE* bits, BITMAPINFO* newHeader);
  // A new top-down record holding the area (clamped to the picture), or null.
  static CET_Dib* CropDib(const CET_Dib* picture, RECT area);
};
