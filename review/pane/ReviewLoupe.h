#pragma once
// The review pane's loupe: a square round the cursor showing the picture
// pixels round it at full resolution, each drawn magnification pixels wide,
// with a small frame at the centre pixel and its red, green and blue values.

#include "toolkit/CET_Dib.h"

#include "platform/afx/AfxDC.h"

// The loupe's side for a size code: 0 160, 1 240, 2 320, others 160.
int LoupeSide(int sizeCode);
// A magnification kept within 1..8; anything else gives 1.
int ValidLoupeMagnification(int magnification);

// Where the loupe shows what: source is the window of picture pixels
// (right and bottom exclusive) cut to the picture, destination the part of
// the square it fills after the same cut times the magnification.
struct LoupeLayout {
  CRect square;
  CRect source;
  CRect destination;
};
// For the cursor at client point centre over picture pixel pixel of a
// picture of pictureWidth x pictureHeight pixels.
LoupeLayout LayOutLoupe(CPoint centre, CPoint pixel, int pictureWidth, int pictureHeight, int side,
                        int magnification);

// The label box 78 x 20: 3 pixels inside the drawn part's left edge, or its
// right edge when the picture's drawn area (pictureArea, client) reaches
// beyond the square's right edge; likewise top or bottom.
CRect LoupeLabelRect(const LoupeLayout& layout, const CRect& pictureArea);

// Draws the loupe with its region (drawn stretched into the destination)
// and the centre pixel's colour.
void DrawLoupe(CDC* dc, const LoupeLayout& layout, const CRect& pictureArea, const CET_Dib& region,
               COLORREF colour, CFont* font);
