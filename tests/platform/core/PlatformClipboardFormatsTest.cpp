// File lists and text between the program's clipboard formats and the
// desktop's, other programs' data taken as hostile, and the clipboard kept
// in memory when no window system is there.

#include "platform/core/StandaloneHost.h"
#include "platform/core/UiServices.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace platform::core;

namespace {

const std::vector<std::u16string> kThree{u"/home/a b/x.kvr", u"/tmp/ü%ß.jpg", u"/data/c"};

std::vector<std::uint8_t> Block(std::initializer_list<std::uint32_t> header, std::u16string names) {
  std::vector<std::uint8_t> b(header.size() * 4 + names.size() * 2);
  std::size_t at = 0;
  for (std::uint32_t v : header) {
    std::memcpy(b.data() + at, &v, 4);
    at += 4;
  }
  std::memcpy(b.data() + at, names.data(), names.size() * 2);
  return b;
}

const std::string* Find(const MimeBag& mime, const std::string& type) {
  for (const auto& [name, data] : mime) {
    if (name == type) return &data;
  }
  return nullptr;
}

std::uint32_t Effect(const DataBag& data) {
  std::uint32_t effect = 0;
  const auto it = data.find(DropEffectFormat());
  if (it != data.end() && it->second.size() == 4) std::memcpy(&effect, it->second.data(), 4);
  return effect;
}

std::vector<std::u16string> Paths(const DataBag& data) {
  std::vector<std::u16string> paths;
  const auto it = data.find(CF_HDROP);
  if (it != data.end()) EXPECT_TRUE(ParseDropFiles(it->second.data(), it->second.size(), paths));
  return paths;
}

} // namespace

TEST(PlatformClipboardFormats, AFileListBlockHasTheTwentyByteHeaderAndWideNames) {
  const std::vector<std::uint8_t> block = BuildDropFiles({u"/a", u"/bc"});
  const std::vector<std::uint8_t> expected = Block({20, 0, 0, 0, 1}, std::u16string(u"/a\0/bc\0\0", 8));
  EXPECT_EQ(block, expected) << "20 + 2 x (total characters + one per path + 1) bytes";
  std::vector<std::u16string> paths;
  ASSERT_TRUE(ParseDropFiles(block.data(), block.size(), paths));
  EXPECT_EQ(paths, (std::vector<std::u16string>{u"/a", u"/bc"}));
}

TEST(PlatformClipboardFormats, MalformedBlocksGiveNoList) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  const Case cases[] = {
      {"shorter than its header", {20, 0, 0, 0}},
      {"names beyond the block", Block({400, 0, 0, 0, 1}, u"")},
      {"names inside the header", Block({8, 0, 0, 0, 1}, std::u16string(u"/a\0\0", 4))},
      {"no final zero", Block({20, 0, 0, 0, 1}, std::u16string(u"/a\0/b", 5))},
  };
  for (const Case& c : cases) {
    std::vector<std::u16string> paths{u"kept"};
    EXPECT_FALSE(ParseDropFiles(c.bytes.data(), c.bytes.size(), paths)) << c.what;
    EXPECT_EQ(paths, std::vector<std::u16string>{u"kept"}) << c.what << ": the caller's list is untouched";
  }
  std::vector<std::uint8_t> odd = Block({20, 0, 0, 0, 1}, std::u16string(u"/a\0\0", 4));
  odd.pop_back(); // the final zero unit cut in half
  std::vector<std::u16string> paths;
  EXPECT_FALSE(ParseDropFiles(odd.data(), odd.size(), paths));
}

TEST(PlatformClipboardFormats, NarrowListsAreTheFileSystemsBytes) {
  std::vector<std::uint8_t> block = Block({20, 0, 0, 0, 0}, u"");
  for (char c : std::string("/t/\xff.jpg\0\0", 10)) block.push_back(static_cast<std::uint8_t>(c));
  std::vector<std::u16string> paths;
  ASSERT_TRUE(ParseDropFiles(block.data(), block.size(), paths));
  EXPECT_EQ(paths, (std::vector<std::u16string>{u"/t/\xDCFF.jpg"})) << "an undecodable byte keeps its value";
}

TEST(PlatformClipboardFormats, UriListsKeepOnlyLocalFilesThatParse) {
  const std::string list = "# a comment\r\n"
                           "file:///home/a%20b/x.kvr\r\n"
                           "file://localhost/tmp/y.jpg\n"
                           "file:/z\n"
                           "http://example.org/a.jpg\r\n"
                           "file://otherhost/a.jpg\r\n"
                           "file:///bad%2\r\n"
                           "file:///bad%zz\r\n"
                           "file:///nul%00name\r\n"
                           "file:///q?x=1\r\n"
                           "file://\r\n"
                           "FILE:///CASE%C3%BC\r\n";
  EXPECT_EQ(ParseUriList(list),
            (std::vector<std::u16string>{u"/home/a b/x.kvr", u"/tmp/y.jpg", u"/z", u"/CASEü"}));
}

TEST(PlatformClipboardFormats, PathsBecomeEscapedFileUris) {
  EXPECT_EQ(BuildUriList({u"/home/a b/x%.kvr", u"/tmp/ü"}, "\r\n"),
            "file:///home/a%20b/x%25.kvr\r\nfile:///tmp/%C3%BC\r\n");
  EXPECT_EQ(ParseUriList(BuildUriList({u"/t/\xDCFF\xDC80"}, "\n")), (std::vector<std::u16string>{u"/t/\xDCFF\xDC80"}))
      << "names that are not UTF-8 survive the trip";
}

TEST(PlatformClipboardFormats, ACutOfThreeFilesGoesOutForFileManagersAndComesBackTheSame) {
  DataBag cut;
  cut[CF_HDROP] = BuildDropFiles(kThree);
  cut[DropEffectFormat()] = {2, 0, 0, 0};
  const MimeBag mime = ToMime(cut);
  ASSERT_TRUE(Find(mime, "text/uri-list"));
  EXPECT_EQ(*Find(mime, "text/uri-list"), BuildUriList(kThree, "\r\n"));
  ASSERT_TRUE(Find(mime, "x-special/gnome-copied-files"));
  EXPECT_EQ(*Find(mime, "x-special/gnome-copied-files"), "cut\n" + BuildUriList(kThree, "\n"));
  const DataBag back = FromMime(mime);
  EXPECT_EQ(back.at(CF_HDROP), cut.at(CF_HDROP)) << "identical bytes";
  EXPECT_EQ(Effect(back), 2u);
}

TEST(PlatformClipboardFormats, ForeignFileListsAndTheirMarks) {
  const std::string uris = "file:///a\r\nfile:///b\r\n";
  struct Case {
    const char* what;
    MimeBag mime;
    std::vector<std::u16string> paths;
    std::uint32_t effect; // 0: none offered
  };
  const Case cases[] = {
      {"a plain URI list", {{"text/uri-list", uris}}, {u"/a", u"/b"}, 0},
      {"a file manager's copy", {{"x-special/gnome-copied-files", "copy\nfile:///a"}}, {u"/a"}, 1},
      {"a file manager's cut", {{"x-special/gnome-copied-files", "cut\nfile:///a\nfile:///b"}}, {u"/a", u"/b"}, 2},
      {"another cut mark", {{"text/uri-list", uris}, {"application/x-kde-cutselection", "1"}}, {u"/a", u"/b"}, 2},
      {"an unknown mark", {{"x-special/gnome-copied-files", "link\nfile:///a"}}, {}, 0},
      {"only web addresses", {{"text/uri-list", "http://x/y\r\n"}}, {}, 0},
      {"our block when valid", {{"application/x-lumitra-dropfiles", std::string(20, '\0')}, {"text/uri-list", uris}},
       {u"/a", u"/b"}, 0},
  };
  for (const Case& c : cases) {
    const DataBag data = FromMime(c.mime);
    EXPECT_EQ(Paths(data), c.paths) << c.what;
    EXPECT_EQ(data.count(CF_HDROP) != 0, !c.paths.empty()) << c.what << ": no list, no file-list format";
    EXPECT_EQ(Effect(data), c.effect) << c.what;
  }
}

TEST(PlatformClipboardFormats, TextIsUtf8OutsideAndUnicodeWithItsZeroInside) {
  const std::u16string text = u"line one\r\nzwei ü\r\n";
  std::vector<std::uint8_t> block((text.size() + 1) * 2, 0);
  std::memcpy(block.data(), text.data(), text.size() * 2);
  DataBag data;
  data[CF_UNICODETEXT] = block;
  const MimeBag mime = ToMime(data);
  ASSERT_TRUE(Find(mime, "text/plain;charset=utf-8"));
  EXPECT_EQ(*Find(mime, "text/plain;charset=utf-8"), "line one\r\nzwei \xC3\xBC\r\n") << "CR LF stays";
  EXPECT_EQ(FromMime(mime).at(CF_UNICODETEXT), block);
  EXPECT_EQ(FromMime({{"text/plain", "bad \xC3"}}).count(CF_UNICODETEXT), 0u) << "text that is not UTF-8 is left out";
}

TEST(PlatformClipboardFormats, TheClipboardWithoutAWindowSystemHoldsOneSet) {
  StandaloneHost host;
  EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr) << "not open";
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_FALSE(OpenClipboard(nullptr)) << "open once at a time";
  ASSERT_TRUE(EmptyClipboard());
  const HGLOBAL list = GlobalFromBytes(BuildDropFiles(kThree));
  EXPECT_EQ(SetClipboardData(CF_HDROP, list), list);
  EXPECT_EQ(GlobalSize(list), 0u) << "the clipboard took the block";
  const HGLOBAL other = GlobalFromBytes({1, 2, 3});
  EXPECT_EQ(SetClipboardData(RegisterClipboardFormatW(u"Something Else"), other), nullptr) << "only the three formats";
  GlobalFree(other);
  EXPECT_EQ(SetClipboardData(CF_HDROP, nullptr), nullptr) << "no delayed rendering";
  const HGLOBAL effect = GlobalAlloc(GHND, 4);
  *static_cast<DWORD*>(GlobalLock(effect)) = DROPEFFECT_MOVE;
  GlobalUnlock(effect);
  SetClipboardData(DropEffectFormat(), effect);
  ASSERT_TRUE(CloseClipboard());

  EXPECT_TRUE(IsClipboardFormatAvailable(CF_HDROP));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  ASSERT_TRUE(OpenClipboard(nullptr));
  const auto drop = reinterpret_cast<HDROP>(GetClipboardData(CF_HDROP));
  ASSERT_NE(drop, nullptr);
  EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 3u);
  for (UINT i = 0; i < 3; ++i) {
    std::u16string name(DragQueryFileW(drop, i, nullptr, 0) + 3, u'\0');
    name.resize(DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
    EXPECT_EQ(name, kThree[i]);
  }
  WCHAR small[4];
  EXPECT_EQ(DragQueryFileW(drop, 0, small, 4), 3u) << "cut to the buffer, with its zero";
  EXPECT_EQ(std::u16string(small), u"/ho");
  EXPECT_EQ(DragQueryFileW(drop, 3, small, 4), 0u);
  const auto effectBlock = GetClipboardData(DropEffectFormat());
  EXPECT_EQ(*static_cast<const DWORD*>(GlobalLock(effectBlock)), DROPEFFECT_MOVE);
  GlobalUnlock(effectBlock);
  CloseClipboard();

  EXPECT_EQ(DragQueryFileW(reinterpret_cast<HDROP>(GlobalFromBytes({20, 0})), 0xFFFFFFFF, nullptr, 0), 0u)
      << "a block that is no file list";
  EXPECT_EQ(RegisterClipboardFormatW(u"Preferred DropEffect"), RegisterWindowMessageW(u"preferred dropeffect"))
      << "one table with the registered messages";
}

TEST(PlatformClipboardFormats, GlobalBlocksFailOnceFreed) {
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 8);
  ASSERT_NE(block, nullptr);
  auto* bytes = static_cast<std::uint8_t*>(GlobalLock(block));
  EXPECT_EQ(std::count(bytes, bytes + 8, 0), 8);
  EXPECT_FALSE(GlobalUnlock(block)) << "the last unlock";
  EXPECT_EQ(GlobalFree(block), nullptr);
  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_EQ(GlobalFree(block), block) << "a freed handle is refused";
  EXPECT_EQ(GlobalAlloc(GHND, std::size_t{1} << 40), nullptr);
}
