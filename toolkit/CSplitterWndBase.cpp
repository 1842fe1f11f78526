#include "toolkit/CSplitterWndBase.h"

namespace {
constexpr COLORREF kGrey = RGB(89, 89, 89);
}

void CSplitterWndBase::OnDrawSplitter(CDC* dc, ESplitType type, const CRect& rect) {
  if (dc && type == splitBar) {
    CBrush grey(kGrey);
    dc->FillRect(rect, &grey);
    return;
  }
  if (dc && type == splitBorder) {
    // One closed outline: top-left, top-right, bottom-right, bottom-left, back.
    CPen pen(PS_SOLID, 4, kGrey);
    CPen* old = dc->SelectObject(&pen);
    dc->MoveTo(rect.left, rect.top);
    dc->LineTo(rect.right, rect.top);
    dc->LineTo(rect.right, rect.bottom);
    dc->LineTo(rect.left, rect.bottom);
    dc->LineTo(rect.left, rect.top);
    dc->SelectObject(old);
    return;
  }
  CSplitterWnd::OnDrawSplitter(dc, type, rect);
}

void CSplitterWndBase::StartTracking(int hitTest) { CSplitterWnd::StartTracking(hitTest); }
