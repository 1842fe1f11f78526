#pragma once
// What the tests of the palettes' controls share: the application with the
// program's own text and font tables, as the controls find them at run time.

#include "platform/testing/Headless.h"
#include "shell/app/AppFolders.h"
#include "shell/app/CLumitraApp.h"
#include "support/BuildTree.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace pt = platform::testing;

class ControlsTest : public ::testing::Test {
protected:
  ControlsTest() {
    pt::Init();
    SetAppProgramPath(testsupport::BuildTreeProgramPath());
    EXPECT_TRUE(m_App.LoadStringTable(AppFilePath(kAppFolderTexts, u"String.txt")));
    EXPECT_TRUE(m_App.LoadFontTable(AppFilePath(kAppFolderFonts, u"Font.txt")));
  }
  ~ControlsTest() override {
    SetAppProgramPath(FString());
    EXPECT_EQ(pt::PendingModalScripts(), 0u);
  }

  std::u16string Text(int id) const {
    std::u16string text;
    m_App.GetString(id, text);
    return text;
  }

  CLumitraApp m_App;
};

// Writes a grab into the test output folder and says where.
inline void Render(HWND hwnd, const std::string& name) {
  pt::Pump();
  const std::string path = pt::SavePng(pt::GrabClient(hwnd), name);
  std::printf("rendered %s\n", path.c_str());
}
