#pragma once
// Moving a cropped picture inside its cell: the crop rectangle (picture
// pixels, rows counted from the bitmap's first row, i.e. from the bottom of
// a bottom-up picture) after a drag of (dx, dy) printer device units. The
// picture moves only along the axis on which it overflows its cell and never
// shows more than its own pixels.

#include "platform/win/WinTypes.h"

// A crop of width x height moved back inside the picture where it reaches
// out of it (its left or top edge first).
RECT KeepCropInPicture(RECT crop, int width, int height, RECT picture);

// The crop after the drag; an empty crop counts as the centred one. The crop
// is returned unchanged for a drag below a hundredth of a unit, a picture or
// cell without area.
RECT PanCrop(RECT cell, RECT crop, int pictureWidth, int pictureHeight, bool autoRotate, double dx, double dy);
