// The print preparation's progress dialog: "n / count" of the picture being
// read beside what is done, and no way to cancel.

#include "output/print/CPrintProgressDlg.h"

#include "output/COutputDialogs.h"
#include "platform/testing/Headless.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "support/BuildTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace {

namespace pt = platform::testing;

class Recording : public CPrintProgressDlg {
public:
  std::atomic<bool> ended{false};
  std::vector<std::u16string> counts; // label 1166 after each count message
  const CStaticBase& What() const { return m_What; }
  const CBasicButton& CancelButton() const { return m_Cancel; }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    const LRESULT result = CPrintProgressDlg::WindowProc(message, wParam, lParam);
    if (message == WM_APP_PRINT_PROGRESS) counts.push_back(m_Count.GetText());
    if (message == WM_APP_THREAD_PROGRESS && lParam != 0) ended = true;
    return result;
  }
};

TEST(PrintProgressDlg, CountsThePicturesReadAndCannotBeCancelled) {
  pt::Init();
  CLumitraApp app;
  const std::filesystem::path data =
      std::filesystem::path(testsupport::BuildTreeProgramPath().GetAscii()).parent_path() / "resources";
  ASSERT_TRUE(app.LoadStringTable(PathFromNative((data / "String.txt").string())));
  ASSERT_TRUE(app.LoadFontTable(PathFromNative((data / "Font.txt").string())));

  Recording dialog;
  bool cancelShown = true;
  std::u16string what;
  pt::OnNextModal([&](HWND) {
    cancelShown = dialog.CancelButton().IsWindowVisible() != FALSE;
    what = dialog.What().GetText();
    dialog.PostMessage(WM_COMMAND, IDCANCEL, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!dialog.ended && std::chrono::steady_clock::now() < deadline) {
      pt::Pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const INT_PTR result = RunUnderProgressDialog(dialog, [&](IThreadProgress& progress) {
    for (int n = 1; n <= 3; ++n) PostMessageW(dialog.GetSafeHwnd(), WM_APP_PRINT_PROGRESS, n, 3);
    progress.PostProgress(100, TRUE);
    return 0u;
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_FALSE(cancelShown);
  EXPECT_EQ(what, u"Reading pictures");
  EXPECT_EQ(dialog.counts, (std::vector<std::u16string>{u"1 / 3", u"2 / 3", u"3 / 3"}));
  EXPECT_FALSE(dialog.IsCancelled()) << "Escape and Close ask nothing of a print preparation";
}

} // namespace
