#pragma once
// How the window tests print rectangles in failure messages.

#include "platform/afx/AfxTypes.h"

#include <ostream>

inline void PrintTo(const RECT& r, std::ostream* os) {
  *os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}
inline void PrintTo(const CRect& r, std::ostream* os) { PrintTo(static_cast<const RECT&>(r), os); }
