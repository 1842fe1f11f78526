#pragma once
// Small fixtures of the dialog and control tests: a top-level window that
// records the commands, notifications and colour requests it gets, a
// test-only push button (the owner-drawn buttons are the toolkit's), and
// template builders in dialog units.

#include "platform/afx/AfxDialog.h"
#include "platform/testing/Headless.h"
#include "support/RectPrinting.h"

#include <gtest/gtest.h>

#include <vector>

struct Command {
  int id;
  int code;
  bool operator==(const Command&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Command& c) { return os << "{" << c.id << ", " << c.code << "}"; }

// A grey top-level window that keeps the commands its children send.
class Owner : public CWnd {
public:
  std::vector<Command> commands;
  std::vector<UINT> notifications; // WM_NOTIFY codes
  BOOL Make(const RECT& rect = {100, 100, 700, 500}) {
    return CreateEx(0, u"Owner", u"", WS_POPUP | WS_VISIBLE, rect, nullptr, 0);
  }

protected:
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    commands.push_back({LOWORD(wParam), HIWORD(wParam)});
    return CWnd::OnCommand(wParam, lParam);
  }
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    notifications.push_back(reinterpret_cast<NMHDR*>(lParam)->code);
    return CWnd::OnNotify(wParam, lParam, result);
  }
  afx_msg void OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(client);
    dc.FillSolidRect(client, RGB(89, 89, 89));
  }
  DECLARE_MESSAGE_MAP()
};

// A push button for the tests: a click (press and release inside) sends
// BN_CLICKED; it owner-draws itself through its parent (ODS_SELECTED while
// pressed); `isDefault` makes it the dialog's default button.
class TestButton : public CWnd {
public:
  bool isDefault = false;
  std::vector<UINT> drawnStates;

protected:
  afx_msg void OnPaint() {
    CPaintDC dc(this);
    DRAWITEMSTRUCT dis;
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = static_cast<UINT>(GetDlgCtrlID());
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = (m_pressed ? ODS_SELECTED : 0) | (IsWindowEnabled() ? 0 : ODS_DISABLED);
    dis.hwndItem = m_hWnd;
    dis.hDC = dc.m_hDC;
    GetClientRect(&dis.rcItem);
    drawnStates.push_back(dis.itemState);
    GetParent()->SendMessage(WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
  }
  afx_msg void OnLButtonDown(UINT, CPoint) {
    m_pressed = true;
    SetCapture();
    RedrawWindow();
  }
  afx_msg void OnLButtonUp(UINT, CPoint point) {
    const bool was = m_pressed;
    m_pressed = false;
    ReleaseCapture();
    RedrawWindow();
    CRect client;
    GetClientRect(client);
    if (was && client.PtInRect(point)) {
      GetParent()->SendMessage(WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), BN_CLICKED), reinterpret_cast<LPARAM>(m_hWnd));
    }
  }
  afx_msg UINT OnGetDlgCode() { return DLGC_BUTTON | (isDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON); }
  DECLARE_MESSAGE_MAP()

private:
  bool m_pressed = false;
};

// Each test program is one translation unit, so the maps are defined here.
BEGIN_MESSAGE_MAP(Owner, CWnd)
  ON_WM_PAINT()
END_MESSAGE_MAP()
BEGIN_MESSAGE_MAP(TestButton, CWnd)
  ON_WM_PAINT()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
  ON_WM_GETDLGCODE()
END_MESSAGE_MAP()

inline DialogItemTemplate Item(int id, const char16_t* className, DWORD style, RECT rect, const char16_t* text = u"") {
  DialogItemTemplate item;
  item.id = id;
  item.className = className;
  item.style = style | WS_VISIBLE;
  item.rect = rect;
  item.text = text;
  return item;
}

inline DialogTemplate Dialog(UINT id, SIZE size, std::vector<DialogItemTemplate> items) {
  DialogTemplate t;
  t.id = id;
  t.size = size;
  t.caption = u"Test";
  t.items = std::move(items);
  return t;
}
