// The clipboard on the Qt back end, headless: what the program writes is
// one set in the desktop's types (a cut of three files comes back as the
// same file-list bytes with the move effect), Unicode text keeps its CR LF,
// the formats are told available only when they parse, and other programs'
// file lists read as file lists while malformed ones are left out.

#include "ClipboardBlocks.h"
#include "platform/testing/Headless.h"

#include <gtest/gtest.h>

#include <cstring>

namespace pt = platform::testing;

namespace {

const std::vector<std::u16string> kThree{u"/home/me/a.kvr", u"/home/me/b c.jpg", u"/home/me/ü.tif"};

std::vector<std::uint8_t> Read(UINT format) {
  std::vector<std::uint8_t> bytes;
  if (!OpenClipboard(nullptr)) return bytes;
  if (const HGLOBAL block = GetClipboardData(format)) {
    const auto* p = static_cast<const std::uint8_t*>(GlobalLock(block));
    bytes.assign(p, p + GlobalSize(block));
    GlobalUnlock(block);
  }
  CloseClipboard();
  return bytes;
}

std::string System(const std::string& type) {
  for (const auto& [name, data] : pt::SystemClipboard()) {
    if (name == type) return data;
  }
  return "(absent)";
}

class PlatformClipboard : public ::testing::Test {
protected:
  void SetUp() override { pt::Init(); }
};

} // namespace

TEST_F(PlatformClipboard, ACutOfThreeFilesReadsBackAsTheSameListWithTheMoveEffect) {
  const std::vector<std::uint8_t> list = FileList(kThree);
  const DWORD move = DROPEFFECT_MOVE;
  ASSERT_TRUE(OpenClipboard(nullptr));
  ASSERT_TRUE(EmptyClipboard());
  ASSERT_TRUE(SetClipboardData(CF_HDROP, Global(list.data(), list.size())));
  ASSERT_TRUE(SetClipboardData(RegisterClipboardFormatW(u"Preferred DropEffect"), Global(&move, 4)));
  ASSERT_TRUE(CloseClipboard());

  EXPECT_EQ(Read(CF_HDROP), list) << "identical bytes";
  const std::vector<std::uint8_t> effect = Read(RegisterClipboardFormatW(u"Preferred DropEffect"));
  ASSERT_EQ(effect.size(), 4u);
  EXPECT_EQ(effect[0], 2);
  EXPECT_EQ(ClipboardPaths(), kThree);
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_HDROP));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  // What other programs see: the files as URIs, and the file managers' cut.
  EXPECT_EQ(System("x-special/gnome-copied-files"),
            "cut\nfile:///home/me/a.kvr\nfile:///home/me/b%20c.jpg\nfile:///home/me/%C3%BC.tif\n");
  EXPECT_EQ(System("text/uri-list"),
            "file:///home/me/a.kvr\r\nfile:///home/me/b%20c.jpg\r\nfile:///home/me/%C3%BC.tif\r\n");
}

TEST_F(PlatformClipboard, UnicodeTextKeepsItsLineBreaksAndReplacesTheFileList) {
  const std::u16string text = u"Exposure\t+0.3\r\nWhite balance\tDaylight\r\n";
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, Global(text.c_str(), 2 * (text.size() + 1)));
  CloseClipboard();
  const std::vector<std::uint8_t> read = Read(CF_UNICODETEXT);
  ASSERT_EQ(read.size(), 2 * (text.size() + 1));
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(read.data())), text);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_HDROP)) << "the set replaced the clipboard whole";
  EXPECT_EQ(System("text/plain"), "Exposure\t+0.3\r\nWhite balance\tDaylight\r\n");
}

TEST_F(PlatformClipboard, OtherProgramsFileListsReadAsFileListsAndMalformedOnesAreLeftOut) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> mime;
    std::vector<std::u16string> paths;
    int effect; // -1: none offered
  };
  const Case cases[] = {
      {"a URI list", {{"text/uri-list", "file:///tmp/x.jpg\r\nfile:///tmp/y%20z.jpg\r\n"}}, {u"/tmp/x.jpg", u"/tmp/y z.jpg"}, -1},
      {"a file manager's cut", {{"x-special/gnome-copied-files", "cut\nfile:///tmp/x.jpg"}}, {u"/tmp/x.jpg"}, 2},
      {"other schemes only", {{"text/uri-list", "https://example.org/a.jpg\r\nsmb://server/share/b.jpg\r\n"}}, {}, -1},
      // (Qt itself mends a URI list set in this process; the mark's list is taken as it is.)
      {"bad escapes", {{"x-special/gnome-copied-files", "cut\nfile:///tmp/%GG.jpg\nfile:///tmp/%4"}}, {}, -1},
      {"a block that runs past its end", {{"application/x-lumitra-dropfiles", std::string("\x14\0\0\0", 4)}}, {}, -1},
      {"text only", {{"text/plain", "/tmp/x.jpg"}}, {}, -1},
  };
  for (const Case& c : cases) {
    pt::SetSystemClipboard(c.mime);
    EXPECT_EQ(IsClipboardFormatAvailable(CF_HDROP) != FALSE, !c.paths.empty()) << c.what;
    EXPECT_EQ(ClipboardPaths(), c.paths) << c.what;
    const std::vector<std::uint8_t> effect = Read(RegisterClipboardFormatW(u"Preferred DropEffect"));
    EXPECT_EQ(effect.empty() ? -1 : effect[0], c.effect) << c.what;
  }
}
