#pragma once
// A home folder in a temporary tree for the browser's tests: the environment
// points at it (home, desktop, data folder), the mount table holds only "/",
// the storage classes are registered and the window layer is started. The
// test makes the folders it needs below "home/".

#include "platform/testing/Headless.h"
#include "support/TestSupport.h"

#include "foundation/FIStorageClass.h"
#include "foundation/FMountTable.h"
#include "foundation/FPath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

class TempHome : public ::testing::Test {
protected:
  void SetUp() override {
    platform::testing::Init();
    InitStorageClasses();
    std::filesystem::create_directories(Path("home/Desktop"));
    std::filesystem::create_directories(Path("home/.local/share"));
    testsupport::WriteFileBytes(Path("mounts"), "/dev/sda1 / ext4 rw 0 0\n");
    SetMountTableFile(Str("mounts"));
  }
  void TearDown() override {
    platform::testing::Pump();
    SetMountTableFile("");
    ReleaseStorageClasses();
  }

  std::filesystem::path Path(const std::string& below) const { return root.Path() / below; }
  std::string Str(const std::string& below) const { return Path(below).string(); }
  FString W(const std::string& below) const { return PathFromNative(Str(below)); }

  testsupport::TempDir root;
  testsupport::ScopedEnv home{"HOME", Str("home")};
  testsupport::ScopedEnv data{"XDG_DATA_HOME", Str("home/.local/share")};
  testsupport::ScopedEnv desktop{"XDG_DESKTOP_DIR", Str("home/Desktop")};
};
