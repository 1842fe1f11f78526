#pragma once
// What the dialog tests share: the application with the program's own text
// and font tables, and looks at a running dialog's controls.

#include "platform/testing/Headless.h"
#include "shell/app/AppFolders.h"
#include "shell/app/CLumitraApp.h"
#include "support/BuildTree.h"
#include "support/RectPrinting.h"
#include "toolkit/CStringItemDrawer.h"

#include <gtest/gtest.h>

#include <string>

namespace pt = platform::testing;

// The application object with the program's text and font tables, as the
// dialogs find them at run time.
class DialogTest : public ::testing::Test {
protected:
  DialogTest() {
    pt::Init();
    SetAppProgramPath(testsupport::BuildTreeProgramPath());
    EXPECT_TRUE(m_App.LoadStringTable(AppFilePath(kAppFolderTexts, u"String.txt")));
    EXPECT_TRUE(m_App.LoadFontTable(AppFilePath(kAppFolderFonts, u"Font.txt")));
  }
  ~DialogTest() override {
    SetAppProgramPath(FString());
    EXPECT_EQ(pt::PendingModalScripts(), 0u);
  }

  // The text of an id of the program's table.
  std::u16string Text(int id) const {
    std::u16string text;
    m_App.GetString(id, text);
    return text;
  }

  CLumitraApp m_App;
};

// A control of a running dialog.
inline HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }
inline bool Shown(HWND dialog, int id) { return IsWindowVisible(Item(dialog, id)) != FALSE; }
// The caption a toolkit control draws (lines and buttons).
inline std::u16string Caption(HWND dialog, int id) {
  auto* caption = dynamic_cast<CStringItemDrawer*>(CWnd::FromHandle(Item(dialog, id)));
  return caption ? caption->GetText() : u"(no caption)";
}
inline UINT CaptionFormat(HWND dialog, int id) {
  auto* caption = dynamic_cast<CStringItemDrawer*>(CWnd::FromHandle(Item(dialog, id)));
  return caption ? caption->GetFormat() : 0;
}
// A control's rectangle in its dialog's client coordinates.
inline CRect PlaceOf(HWND dialog, int id) {
  RECT r;
  GetWindowRect(Item(dialog, id), &r);
  CRect rect(r);
  CWnd::FromHandle(dialog)->ScreenToClient(rect);
  return rect;
}
inline CSize ClientSize(HWND dialog) {
  RECT r;
  GetClientRect(dialog, &r);
  return CSize(r.right - r.left, r.bottom - r.top);
}
inline std::u16string WindowText(HWND hwnd) { return CWnd::FromHandle(hwnd)->GetWindowText(); }
// A click in the middle of a control.
inline void ClickItem(HWND dialog, int id) {
  const CRect r = PlaceOf(dialog, id);
  pt::Click(Item(dialog, id), {r.Width() / 2, r.Height() / 2});
}
// Replaces an edit's text as the person would: focus, select all, delete, type.
inline void TypeInto(HWND dialog, int editId, const std::u16string& text) {
  SetFocus(Item(dialog, editId));
  SendMessageW(Item(dialog, editId), EM_SETSEL, 0, -1);
  pt::SystemKey(VK_DELETE);
  pt::SystemType(text);
}
// Renders the dialog (after it has painted) into the test output folder.
inline void Render(HWND dialog, const std::string& name) {
  pt::Pump();
  const std::string path = pt::SavePng(pt::GrabClient(dialog), name);
  std::printf("rendered %s\n", path.c_str());
}
