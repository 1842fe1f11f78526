#pragma once
// Rectangle helpers shared by every window that shows pictures.

#include "platform/win/WinTypes.h"

class CDC;

// The drawing callback of PaintThroughMemoryDC: the memory DC, addressed in
// the target's coordinates, the area grown by one pixel, and the caller's pointers.
using PaintMemoryDCCallback = void (*)(CDC* memoryDC, RECT area, void* user1, void* user2);

class CET_Calc {
public:
  virtual ~CET_Calc() = default;

  // The largest rectangle with the content's proportions, centred in frame.
  static RECT FitRectInRect(RECT frame, RECT content);
  // The centred part of the picture with the frame's proportions, in picture
  // coordinates; cutKind (may be null) gets 1 when rows were cut, 2 when
  // columns were cut, 0 otherwise.
  static RECT GetAspectCropRect(RECT frame, RECT picture, int* cutKind);
  static bool IsSameOrientation(RECT a, RECT b);
  static RECT ScaleRect(int left, int top, int right, int bottom, double scale);
  // Halves round away from zero.
  static int RoundToInt(double value);

  // Drawing (CET_CalcDrawing.cpp, with the window layer).
  // Draws a picture into target: the whole picture letter-boxed (fitWhole)
  // or cropped to fill; turned a quarter first when asked; in bands of rows
  // when asked. Nothing happens without header, bits or DC.
  static void DrawDibToDC(CDC* dc, BITMAPINFO* header, BYTE* bits, RECT target, bool fitWhole, bool turn,
                          bool inBands);
  // Draws a bottom-up picture in bands of 240 rows from its bottom, each band
  // with its own header height (for printers and large pictures). An empty
  // source means the whole picture; a source reaching outside the picture is
  // cut to it. The header is restored before returning.
  static void StretchDibInBands(CDC* dc, RECT target, BITMAPINFO* header, BYTE* bits, RECT source);
  // Double-buffered painting of an area: a memory DC over a 24-bit top-down
  // bitmap of the area grown by one pixel, seeded from background (from its
  // (0, 0)) or from what dc shows there, handed to callback, then copied to
  // dc in one block.
  static void PaintThroughMemoryDC(CDC* dc, RECT area, PaintMemoryDCCallback callback, void* user1, void* user2,
                                   CDC* background);
};
