#pragma once
// Painting a window's area off screen: the drawing goes into a 24-bit
// top-down bitmap one pixel larger than the area on every side, addressed in
// the target's coordinates, and the area is copied to the target in one step.
// The drawing must cover the whole area: the target is never read back.

#include "platform/afx/AfxDC.h"

#include <functional>

void PaintOffscreen(CDC* dc, const CRect& area, const std::function<void(CDC*)>& draw);
