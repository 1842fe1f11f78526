#pragma once
// The browser tests' window set: a grey parent standing in for the browser
// view, the grid (any subclass) inside it at size 5, a temporary folder, and
// a wait that serves the loader until its run ends.

#include "shell/browser/CTLM_ThumbnailWnd.h"

#include "engine/colour/TransformColor.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "platform/testing/Headless.h"
#include "support/BuildTree.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

template <typename Parent, typename Grid>
class BrowserGridFixture : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    static const bool registered = (InitStorageClasses(), true);
    (void)registered;
    SetColorProfileProgramPath(testsupport::BuildTreeProgramPath());
  }

  // The grid's client size.
  void CreateWindows(int width, int height) {
    platform::testing::Init();
    ASSERT_TRUE(parent.CreateEx(0, u"Parent", u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, width + 40, height + 40),
                                nullptr, 0));
    grid.SetScrollDirection(SB_VERT);
    ASSERT_TRUE(grid.Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, CRect(0, 0, width, height), &parent,
                            kThumbnailGridId));
    grid.Initialize();
    grid.SetThumbSize(5);
    platform::testing::Pump();
  }
  void TearDown() override {
    grid.StopLoader();
    grid.DestroyWindow();
    parent.DestroyWindow();
    platform::testing::Pump();
  }

  std::filesystem::path Path(const std::string& name) const { return dir.Path() / name; }
  FString Native(const std::string& name) const { return PathFromNative(Path(name).string()); }
  FString Folder() const { return PathFromNative(dir.Str()); }

  void WaitForLoader() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(240);
    while (grid.IsLoaderRunning() && std::chrono::steady_clock::now() < deadline) {
      platform::testing::Pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(grid.IsLoaderRunning()) << "the loader did not end";
  }

  testsupport::TempDir dir;
  Parent parent;
  Grid grid;
};

// The grid's item of the file name, or null.
inline CTLM_ThumbnailData* ItemNamed(const CTLM_ThumbnailWnd& grid, const std::string& name) {
  for (int i = 0; i < grid.GetItemCount(); ++i) {
    if (grid.GetItem(i)->m_FileName == FString(name.c_str())) return grid.GetItem(i);
  }
  return nullptr;
}
