#pragma once
// A home folder, a mounted disc and a network share in a temporary tree, with
// the environment and mount table pointing at them, for the tests of the
// shell's folder source:
//   home/ Desktop/ Documents/ Pictures/{img2/, img10/sub/, Img1/, locked/ (0555), .hidden/, file.jpg}
//   media/CARD/DCIM/        an iso9660 disc (a medium)
//   net/photos/2024/        the share //FileSrv/Photos (cifs)

#include "platform/shell/WinShell.h"
#include "support/TestSupport.h"

#include "foundation/FMountTable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

class ShellTree : public ::testing::Test {
protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    for (const char* folder : {"home/Desktop", "home/Documents", "home/Pictures/img2", "home/Pictures/img10/sub",
                               "home/Pictures/Img1", "home/Pictures/locked", "home/Pictures/.hidden",
                               "media/CARD/DCIM", "net/photos/2024"}) {
      fs::create_directories(Path(folder));
    }
    testsupport::WriteFileBytes(Path("home/Pictures/file.jpg"), "jpeg");
    fs::permissions(Path("home/Pictures/locked"), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                                    fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    testsupport::WriteFileBytes(Path("mounts"), "/dev/sda1 / ext4 rw 0 0\n"
                                                "/dev/sr0 " + Str("media/CARD") + " iso9660 ro 0 0\n"
                                                "//FileSrv/Photos " + Str("net/photos") + " cifs rw 0 0\n");
    SetMountTableFile(Str("mounts"));
  }
  void TearDown() override { SetMountTableFile(""); }

  std::filesystem::path Path(const std::string& below) const { return root.Path() / below; }
  std::string Str(const std::string& below) const { return Path(below).string(); }
  std::u16string Wide(const std::string& below) const {
    return testsupport::WideFromUtf8(below.empty() ? root.Str() : Str(below)).GetText();
  }

  // The path of a list, or "<none>".
  static std::string PathOf(PCIDLIST_ABSOLUTE list) {
    char16_t path[MAX_PATH];
    if (!SHGetPathFromIDListW(list, path)) return "<none>";
    return testsupport::Utf8FromWide(FString(path));
  }

  testsupport::TempDir root;
  testsupport::ScopedEnv home{"HOME", Str("home")};
  testsupport::ScopedEnv config{"XDG_CONFIG_HOME", Str("home/.config")};
  testsupport::ScopedEnv desktop{"XDG_DESKTOP_DIR", Str("home/Desktop")};
  testsupport::ScopedEnv documents{"XDG_DOCUMENTS_DIR", Str("home/Documents")};
  testsupport::ScopedEnv pictures{"XDG_PICTURES_DIR", Str("home/Pictures")};
};
