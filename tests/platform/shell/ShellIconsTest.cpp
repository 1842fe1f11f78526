// The system image lists and file information with the window layer's
// icons (headless: the layer's own pictures, whatever theme the machine
// has): the namespace's items and file types get their images, drawing
// shows them with the share overlay, and file information answers names.

#include "ShellTreeFixture.h"
#include "platform/afx/AfxDC.h"
#include "platform/testing/Headless.h"

namespace pt = platform::testing;

namespace {

class ShellIcons : public ShellTree {
protected:
  void SetUp() override {
    pt::Init();
    ShellTree::SetUp();
    std::filesystem::create_directories(Path("data/mime"));
    testsupport::WriteFileBytes(Path("data/mime/globs2"), "50:image/jpeg:*.jpg\n50:text/plain:*.txt\n");
  }
  testsupport::ScopedEnv dataHome{"XDG_DATA_HOME", Str("data")};
  testsupport::ScopedEnv dataDirs{"XDG_DATA_DIRS", Str("data")};

  int ImageOf(const std::string& below, UINT flags = 0, DWORD attributes = 0) {
    SHFILEINFOW info;
    const DWORD_PTR list = SHGetFileInfoW(Wide(below).c_str(), attributes, &info, sizeof info,
                                          SHGFI_SYSICONINDEX | SHGFI_SMALLICON | flags);
    return list ? info.iIcon : -1;
  }

  // A 16 x 16 picture of an image drawn on white.
  pt::PixelImage Draw(HIMAGELIST list, int image, UINT style) {
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 16;
    bi.bmiHeader.biHeight = -16;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = dc.SelectObject(bitmap);
    dc.FillSolidRect(0, 0, 16, 16, RGB(255, 255, 255));
    EXPECT_TRUE(ImageList_Draw(list, image, dc, 0, 0, style));
    pt::PixelImage out;
    out.width = out.height = 16;
    out.argb.assign(static_cast<const std::uint32_t*>(bits), static_cast<const std::uint32_t*>(bits) + 256);
    dc.SelectObject(old);
    DeleteObject(bitmap);
    return out;
  }
};

TEST_F(ShellIcons, TheNamespacesItemsAndFileTypesHaveTheirImages) {
  SHFILEINFOW info;
  const auto small = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(u"", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  ASSERT_NE(small, nullptr) << "the tree's first call: the list itself";
  int cx = 0, cy = 0;
  ASSERT_TRUE(ImageList_GetIconSize(small, &cx, &cy));
  EXPECT_EQ(cx, 16);
  const auto large = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(u"", 0, &info, sizeof info, SHGFI_SYSICONINDEX));
  ASSERT_TRUE(ImageList_GetIconSize(large, &cx, &cy));
  EXPECT_EQ(cy, 32);

  const int folder = ImageOf("home/Pictures");
  const int open = ImageOf("home/Pictures", SHGFI_OPENICON);
  const int home = ImageOf("home");
  const int disc = ImageOf("media/CARD");
  const int share = ImageOf("net/photos");
  const std::vector<int> distinct = {folder, open, home, disc, share};
  for (std::size_t i = 0; i < distinct.size(); ++i) {
    for (std::size_t j = i + 1; j < distinct.size(); ++j) EXPECT_NE(distinct[i], distinct[j]) << i << " " << j;
  }
  EXPECT_EQ(ImageOf("home/Pictures/img2"), folder);
  EXPECT_EQ(ImageOf("anything.jpg", SHGFI_USEFILEATTRIBUTES, FILE_ATTRIBUTE_NORMAL),
            ImageOf("other.JPG", SHGFI_USEFILEATTRIBUTES, FILE_ATTRIBUTE_NORMAL))
      << "one image per file type";
  EXPECT_NE(ImageOf("a.jpg", SHGFI_USEFILEATTRIBUTES), ImageOf("a.txt", SHGFI_USEFILEATTRIBUTES));
  EXPECT_EQ(ImageOf("new folder", SHGFI_USEFILEATTRIBUTES, FILE_ATTRIBUTE_DIRECTORY), folder);
  EXPECT_EQ(ImageOf("home/missing.jpg"), -1) << "a missing file without SHGFI_USEFILEATTRIBUTES";
  EXPECT_GE(ImageList_GetImageCount(small), 10);

  // Drawn: the folder's own colours over white, the overlay on top of them.
  const pt::PixelImage plain = Draw(small, folder, ILD_NORMAL);
  const pt::PixelImage shared = Draw(small, folder, ILD_NORMAL | INDEXTOOVERLAYMASK(1));
  pt::SavePng(plain, "shell-folder.png");
  EXPECT_NE(pt::PixelAt(plain, 8, 9), RGB(255, 255, 255));
  EXPECT_EQ(pt::PixelAt(plain, 0, 0), RGB(255, 255, 255)) << "the corner stays clear";
  EXPECT_NE(pt::PixelAt(shared, 3, 13), pt::PixelAt(plain, 3, 13)) << "the share overlay";
  EXPECT_FALSE(ImageList_Draw(small, 9999, nullptr, 0, 0, ILD_NORMAL));
}

TEST_F(ShellIcons, FileInformationAnswersNamesIconsAndAttributes) {
  ITEMIDLIST* list = nullptr;
  ASSERT_EQ(SHParseDisplayName(Wide("net/photos").c_str(), nullptr, &list, 0, nullptr), S_OK);
  SHFILEINFOW info;
  ASSERT_NE(SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list), 0, &info, sizeof info,
                           SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_ICON | SHGFI_ATTRIBUTES | SHGFI_SMALLICON),
            0u);
  ILFree(list);
  EXPECT_EQ(std::u16string(info.szDisplayName), u"Photos on filesrv");
  EXPECT_NE(info.hIcon, nullptr);
  EXPECT_TRUE(DestroyIcon(info.hIcon));
  EXPECT_TRUE(info.dwAttributes & SFGAO_FILESYSTEM);

  ASSERT_NE(SHGetFileInfoW(Wide("home/Pictures/file.jpg").c_str(), 0, &info, sizeof info,
                           SHGFI_DISPLAYNAME | SHGFI_TYPENAME),
            0u);
  EXPECT_EQ(std::u16string(info.szDisplayName), u"file.jpg");
  EXPECT_EQ(std::u16string(info.szTypeName), u"image/jpeg");
  EXPECT_EQ(SHGetFileInfoW(u"", 0, &info, 3, SHGFI_DISPLAYNAME), 0u) << "a record too small";
}

} // namespace
