#pragma once
// The bars of the toolkit's lists and edits: CScrollBarBase windows beside
// the control (children of its parent, id 0xFFFF, no text), aimed at it, 14
// pixels wide or high, outside the control's window rectangle R:
//   vertical (0)    R.right, R.top, R.right + 14, R.bottom
//   horizontal (1)  R.left, R.bottom, R.right, R.bottom + 14
//   corner box (2)  R.right, R.bottom, R.right + 14, R.bottom + 14

#include "toolkit/CScrollBarBase.h"

constexpr int kSiblingBarSize = 14;

// The bar's rectangle in the parent's client coordinates.
CRect SiblingBarRect(const CWnd& control, int type);
// False when the control has no parent.
bool CreateSiblingBar(CScrollBarBase& bar, CWnd& control, int type, bool visible);
void PlaceSiblingBar(CScrollBarBase& bar, const CWnd& control, int type);
