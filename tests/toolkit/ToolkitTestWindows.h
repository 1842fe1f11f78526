#pragma once
// Small fixtures for the toolkit's control tests: a parent window that keeps
// every notification its controls send, and a text table with one font.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"
#include "platform/testing/Headless.h"
#include "toolkit/ControlNotifyData.h"
#include "toolkit/TextTable.h"

#include <vector>

inline void PrintTo(const RECT& r, std::ostream* os) {
  *os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

struct Notification {
  UINT message;
  int id;
  ControlNotifyData data;
  bool operator==(const Notification& o) const {
    return message == o.message && id == o.id && data.position == o.data.position && data.part == o.data.part &&
           data.repeatCount == o.data.repeatCount;
  }
};

inline std::ostream& operator<<(std::ostream& os, const Notification& n) {
  return os << "{" << n.message - WM_APP << ": pos " << n.data.position << ", part " << n.data.part << ", count "
            << n.data.repeatCount << "}";
}

// A grey top-level window that records its children's notifications.
class NotifiedParent : public CWnd {
public:
  std::vector<Notification> notes;
  BOOL CreateAt(const RECT& rect) {
    return CreateEx(0, u"Parent", u"", WS_POPUP | WS_VISIBLE, rect, nullptr, 0);
  }

protected:
  afx_msg void OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(client);
    dc.FillSolidRect(client, RGB(89, 89, 89));
  }
  afx_msg LRESULT OnTrack(WPARAM id, LPARAM data) { return Keep(WM_APP_TRACKBAR_CHANGED, id, data); }
  afx_msg LRESULT OnSpin(WPARAM id, LPARAM data) { return Keep(WM_APP_SPIN_CHANGED, id, data); }
  LRESULT Keep(UINT message, WPARAM id, LPARAM data) {
    notes.push_back({message, static_cast<int>(id), *reinterpret_cast<const ControlNotifyData*>(data)});
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};

// Each test program is one translation unit, so the map is defined here.
BEGIN_MESSAGE_MAP(NotifiedParent, CWnd)
  ON_WM_PAINT()
  ON_MESSAGE(WM_APP_TRACKBAR_CHANGED, OnTrack)
  ON_MESSAGE(WM_APP_SPIN_CHANGED, OnSpin)
END_MESSAGE_MAP()

// Text id 101 (the track bar's value font) and 102 (a spin style): bold
// DejaVu Sans, 11 pixels, in light yellow.
class SmallTextTable : public ITextTable {
public:
  SmallTextTable() {
    LOGFONTW lf{};
    lf.lfHeight = -11;
    lf.lfWeight = FW_BOLD;
    const char16_t face[] = u"Tahoma";
    std::copy(std::begin(face), std::end(face), lf.lfFaceName);
    font.CreateFontIndirect(&lf);
    SetTextTable(this);
  }
  ~SmallTextTable() override { SetTextTable(nullptr); }
  BOOL GetString(int id, std::u16string& text, CFont*& f, COLORREF& colour) override {
    if (id != 101 && id != 102) return FALSE;
    text = u"(unused)";
    f = &font;
    colour = RGB(255, 240, 160);
    return TRUE;
  }
  CFont font;
};

// A script frame with the left button held at a control's client point.
inline platform::testing::InputFrame HeldAt(const CWnd& wnd, POINT client, bool down = true) {
  wnd.ClientToScreen(&client);
  platform::testing::InputFrame frame;
  frame.cursor = client;
  frame.left = down;
  return frame;
}
