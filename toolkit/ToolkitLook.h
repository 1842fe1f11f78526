#pragma once
// The toolkit's common look: the dark grey every control, dialog, form view
// and splitter bar paints on, the caption colour of disabled captions, the
// default caption layout and the redraw that shows a change at once.

#include "platform/win/WinGdi.h"

constexpr COLORREF kToolkitBackground = RGB(89, 89, 89);
constexpr COLORREF kDisabledCaptionColour = RGB(127, 127, 127);
// DT_CENTER | DT_VCENTER | DT_SINGLELINE.
constexpr UINT kDefaultCaptionFormat = 37;
// RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW.
constexpr UINT kRedrawNow = 261;
