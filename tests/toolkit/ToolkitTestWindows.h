#pragma once
// Small fixtures for the toolkit's control tests: a parent window that keeps
// every notification its controls send, and a text table with one font.

#include "platform/afx/AfxButton.h"
#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"
#include "platform/testing/Headless.h"
#include "support/RectPrinting.h"
#include "toolkit/ControlNotifyData.h"
#include "toolkit/TextTable.h"

#include <map>
#include <memory>
#include <vector>

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
// DejaVu Sans, 11 pixels, in light yellow unless told another colour.
class SmallTextTable : public ITextTable {
public:
  explicit SmallTextTable(COLORREF textColour = RGB(255, 240, 160)) : colour(textColour) {
    LOGFONTW lf{};
    lf.lfHeight = -11;
    lf.lfWeight = FW_BOLD;
    const char16_t face[] = u"Tahoma";
    std::copy(std::begin(face), std::end(face), lf.lfFaceName);
    font.CreateFontIndirect(&lf);
    SetTextTable(this);
  }
  ~SmallTextTable() override { SetTextTable(nullptr); }
  std::optional<TextTableEntry> Find(int id) const override {
    if (id != 101 && id != 102) return std::nullopt;
    return TextTableEntry{u"(unused)", const_cast<CFont*>(&font), colour};
  }
  CFont font;
  COLORREF colour;
};

// A script frame with the left button held at a control's client point.
inline platform::testing::InputFrame HeldAt(const CWnd& wnd, POINT client, bool down = true) {
  wnd.ClientToScreen(&client);
  platform::testing::InputFrame frame;
  frame.cursor = client;
  frame.left = down;
  return frame;
}

// A LOGFONTW of a face and height.
inline LOGFONTW MakeLogFont(LONG height, LONG weight = FW_NORMAL, const char16_t* face = u"Tahoma") {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i) lf.lfFaceName[i] = face[i];
  return lf;
}

// A text table of the entries a test puts in, with the fonts it owns.
class MapTextTable : public ITextTable {
public:
  MapTextTable() { SetTextTable(this); }
  ~MapTextTable() override { SetTextTable(nullptr); }
  CFont* AddFont(const LOGFONTW& lf) {
    fonts.push_back(std::make_unique<CFont>());
    fonts.back()->CreateFontIndirect(&lf);
    return fonts.back().get();
  }
  void Add(int id, std::u16string text, CFont* font, COLORREF colour) {
    entries[id] = TextTableEntry{std::move(text), font, colour};
  }
  std::optional<TextTableEntry> Find(int id) const override {
    auto it = entries.find(id);
    if (it == entries.end()) return std::nullopt;
    return it->second;
  }
  std::map<int, TextTableEntry> entries;
  std::vector<std::unique_ptr<CFont>> fonts;
};

// A window of a solid colour, for children to sit on.
class PlainParent : public CWnd {
public:
  COLORREF colour = RGB(89, 89, 89);
  BOOL CreateAt(const RECT& rect, COLORREF fill) {
    colour = fill;
    return CreateEx(0, u"Parent", u"", WS_POPUP | WS_VISIBLE, rect, nullptr, 0);
  }
  std::vector<std::pair<UINT, std::pair<WPARAM, LPARAM>>> messages; // the notifications received
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    messages.push_back({WM_COMMAND, {wParam, lParam}});
    return CWnd::OnCommand(wParam, lParam);
  }

protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_PAINT) {
      CPaintDC dc(this);
      CRect client;
      GetClientRect(client);
      dc.FillSolidRect(client, colour);
      return 0;
    }
    if (message >= WM_APP && message < WM_APP + 0x100) {
      messages.push_back({message, {wParam, lParam}});
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

// Draws a control's client area into a recording DC the way it paints
// (WM_PAINT's drawing on a DC of our own), through its owner-draw request
// for buttons.
inline void DrawItemOn(CButton& control, CDC& dc, UINT state) {
  DRAWITEMSTRUCT item;
  item.CtlType = ODT_BUTTON;
  item.CtlID = static_cast<UINT>(control.GetDlgCtrlID());
  item.itemAction = ODA_DRAWENTIRE;
  item.itemState = state;
  item.hwndItem = control.m_hWnd;
  item.hDC = dc.GetSafeHdc();
  control.GetClientRect(&item.rcItem);
  control.DrawItem(&item);
}
