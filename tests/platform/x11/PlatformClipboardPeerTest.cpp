// The clipboard between this program and another one on a real X display
// (run under xvfb-run): a cut of three files written here reads there as a
// file manager's cut of the same files, with the same file-list bytes; a
// file manager's cut written there reads here as the three paths with the
// move effect; another program's malformed list is left out here.

#include "../qt/ClipboardBlocks.h"
#include "platform/testing/Headless.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <unistd.h>
#include <map>
#include <sstream>

namespace pt = platform::testing;

namespace {

const std::vector<std::u16string> kThree{u"/home/me/a.kvr", u"/home/me/b c.jpg", u"/home/me/ü.tif"};

std::string Unhex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

// The peer's "<type> <hex>" lines.
std::map<std::string, std::string> Types(const std::string& output) {
  std::map<std::string, std::string> types;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t space = line.find(' ');
    if (space != std::string::npos) types[line.substr(0, space)] = Unhex(line.substr(space + 1));
  }
  return types;
}

int ReadEffect() {
  int effect = -1;
  if (!OpenClipboard(nullptr)) return effect;
  if (const HGLOBAL block = GetClipboardData(RegisterClipboardFormatW(u"Preferred DropEffect"))) {
    effect = *static_cast<const int*>(GlobalLock(block));
    GlobalUnlock(block);
  }
  CloseClipboard();
  return effect;
}

// The other program's clipboard reaches this one through the display's
// events: asks again, serving them, for up to five seconds.
bool Eventually(const std::function<bool()>& ready) {
  for (int i = 0; i < 500; ++i) {
    if (ready()) return true;
    pt::Pump();
    usleep(10000);
  }
  return ready();
}

class PlatformClipboardPeer : public ::testing::Test {
protected:
  void SetUp() override { pt::Init(); }
};

} // namespace

TEST_F(PlatformClipboardPeer, ACutOfThreeFilesReadsInAnotherProgramAsAFileManagersCut) {
  const std::vector<std::uint8_t> list = FileList(kThree);
  const DWORD move = DROPEFFECT_MOVE;
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(CF_HDROP, Global(list.data(), list.size()));
  SetClipboardData(RegisterClipboardFormatW(u"Preferred DropEffect"), Global(&move, 4));
  CloseClipboard();

  pt::ProgramRun peer({CLIPBOARD_PEER, "read"});
  ASSERT_EQ(peer.Finish(), 0) << peer.Output();
  const auto types = Types(peer.Output());
  ASSERT_TRUE(types.count("x-special/gnome-copied-files")) << peer.Output();
  EXPECT_EQ(types.at("x-special/gnome-copied-files"),
            "cut\nfile:///home/me/a.kvr\nfile:///home/me/b%20c.jpg\nfile:///home/me/%C3%BC.tif\n");
  EXPECT_EQ(types.at("text/uri-list"),
            "file:///home/me/a.kvr\r\nfile:///home/me/b%20c.jpg\r\nfile:///home/me/%C3%BC.tif\r\n");
  const std::string block = types.at("application/x-lumitra-dropfiles");
  EXPECT_EQ(std::vector<std::uint8_t>(block.begin(), block.end()), list) << "identical file-list bytes";
  EXPECT_EQ(types.at("application/x-lumitra-preferred-dropeffect"), std::string("\x02\0\0\0", 4));
}

TEST_F(PlatformClipboardPeer, AFileManagersCutInAnotherProgramReadsAsTheThreePathsWithTheMoveEffect) {
  pt::ProgramRun peer({CLIPBOARD_PEER, "cut", "/home/me/a.kvr", "/home/me/b c.jpg", "/home/me/ü.tif"});
  ASSERT_TRUE(peer.WaitFor("ready")) << peer.Output();
  EXPECT_TRUE(Eventually([] { return IsClipboardFormatAvailable(CF_HDROP) != FALSE; }));
  EXPECT_EQ(ClipboardPaths(), kThree);
  EXPECT_EQ(ReadEffect(), DROPEFFECT_MOVE);
  EXPECT_EQ(peer.Finish(), 0);
}

TEST_F(PlatformClipboardPeer, AnotherProgramsMalformedListIsLeftOut) {
  pt::ProgramRun peer({CLIPBOARD_PEER, "raw", "text/uri-list", "file:///a%G1.jpg\\nhttp://x/y.jpg\\nfile://host/z.jpg",
                       "text/plain", "words"});
  ASSERT_TRUE(peer.WaitFor("ready")) << peer.Output();
  EXPECT_TRUE(Eventually([] { return IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE; })) << "the text arrived";
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_HDROP)) << "but no file list";
  EXPECT_TRUE(ClipboardPaths().empty());
  EXPECT_EQ(peer.Finish(), 0);
}
