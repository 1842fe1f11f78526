#pragma once
// Rectangle helpers shared by every window that shows pictures.

#include "platform/win/WinTypes.h"

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
};
