#pragma once
// Where the thumbnail view's controls stand for a client size, and the form
// template the view is made from. Controls keep fixed places along the top
// and bottom edges; the two text buttons stand against the right edge and
// the grid and the two boxes stretch with the width and height. No rectangle
// is ever inverted: a client too small for a control leaves it empty.

#include "platform/afx/AfxTypes.h"
#include "platform/win/WinDialogs.h"

#include <vector>

struct ThumbViewPlace {
  int id;     // a control of the form, or the grid (ThumbView::kGridId)
  CRect rect; // client coordinates
};

// textButtonWidth: the width the two text buttons have.
std::vector<ThumbViewPlace> ThumbViewLayout(int width, int height, int textButtonWidth);
// The form's template: its nineteen controls at their places for the
// template's own size.
DialogTemplate ThumbViewTemplate();
