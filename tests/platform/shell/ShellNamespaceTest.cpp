// The folder source: the root's items, paths parsed along their routes and
// back, sub-folders in natural order with their attributes, folders that
// vanish, malformed item-ID lists, special folders, natural order and
// drive types.

#include "ShellTreeFixture.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Owns a list.
struct List {
  ITEMIDLIST* p = nullptr;
  ~List() { ILFree(p); }
  ITEMIDLIST** operator&() { return &p; }
  operator ITEMIDLIST*() const { return p; }
};

struct Folder {
  IShellFolder* p = nullptr;
  ~Folder() {
    if (p) p->Release();
  }
  IShellFolder* operator->() const { return p; }
};

std::u16string NameOf(IShellFolder* folder, PCUITEMID_CHILD item, SHGDNF flags = SHGDN_NORMAL) {
  STRRET name;
  LPWSTR text = nullptr;
  if (FAILED(folder->GetDisplayNameOf(item, flags, &name)) || FAILED(StrRetToStrW(&name, item, &text))) return u"<none>";
  std::u16string out = text;
  CoTaskMemFree(text);
  return out;
}

// The folder's children by display name, in the folder's own order.
std::vector<std::u16string> Children(IShellFolder* folder, SHCONTF flags = SHCONTF_FOLDERS) {
  IEnumIDList* list = nullptr;
  if (FAILED(folder->EnumObjects(nullptr, flags, &list))) return {u"<failed>"};
  std::vector<ITEMIDLIST*> items;
  ITEMIDLIST* item = nullptr;
  ULONG fetched = 0;
  while (list->Next(1, &item, &fetched) == S_OK) items.push_back(item);
  list->Release();
  std::sort(items.begin(), items.end(), [&](ITEMIDLIST* a, ITEMIDLIST* b) {
    return HRESULT_CODE_SHORT(folder->CompareIDs(0, a, b)) < 0;
  });
  std::vector<std::u16string> names;
  for (ITEMIDLIST* i : items) {
    names.push_back(NameOf(folder, i));
    ILFree(i);
  }
  return names;
}

SFGAOF Attributes(IShellFolder* folder, PCUITEMID_CHILD item, SFGAOF wanted) {
  SFGAOF a = wanted;
  return SUCCEEDED(folder->GetAttributesOf(1, &item, &a)) ? a : 0xDEAD;
}

class ShellNamespace : public ShellTree {
protected:
  void SetUp() override {
    ShellTree::SetUp();
    ASSERT_EQ(SHGetDesktopFolder(&desktop.p), S_OK);
  }
  // The folder of a path, bound from the desktop.
  IShellFolder* Bind(const std::string& below) {
    List list;
    if (FAILED(SHParseDisplayName(Wide(below).c_str(), nullptr, &list, 0, nullptr))) return nullptr;
    void* folder = nullptr;
    return SUCCEEDED(desktop->BindToObject(list, nullptr, IID_IShellFolder, &folder)) ? static_cast<IShellFolder*>(folder)
                                                                                     : nullptr;
  }
  Folder desktop;
};

TEST_F(ShellNamespace, TheRootHoldsHomeTheFileSystemMediaAndTheNetwork) {
  EXPECT_EQ(Children(desktop.p),
            (std::vector<std::u16string>{u"Home", u"File System", u"CARD", u"Network"}));
  List root;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &root), S_OK);
  EXPECT_EQ(NameOf(desktop.p, root), u"Desktop");
  EXPECT_EQ(PathOf(root), Str("home/Desktop")) << "the root's path is the desktop folder";

  List homeList, network, card;
  ASSERT_EQ(SHParseDisplayName(Wide("home").c_str(), nullptr, &homeList, 0, nullptr), S_OK);
  const SFGAOF all = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_HASSUBFOLDER | SFGAO_CANMOVE | SFGAO_REMOVABLE;
  EXPECT_EQ(Attributes(desktop.p, homeList, all), SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_HASSUBFOLDER)
      << "the home item is no folder to move";
  ASSERT_EQ(SHParseDisplayName(Wide("net/photos").c_str(), nullptr, &network, 0, nullptr), S_OK);
  EXPECT_EQ(NameOf(desktop.p, network), u"Photos on filesrv");
  ASSERT_EQ(SHParseDisplayName(Wide("media/CARD").c_str(), nullptr, &card, 0, nullptr), S_OK);
  EXPECT_EQ(Attributes(desktop.p, card, all), SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_HASSUBFOLDER | SFGAO_REMOVABLE);
}

TEST_F(ShellNamespace, PathsParseAlongTheMostSpecificRouteAndBack) {
  struct Case {
    std::string below;
    std::u16string firstItem; // the root's item the route starts with
  };
  const Case cases[] = {{"home/Pictures/img2", u"Home"},
                        {"media/CARD/DCIM", u"CARD"},
                        {"net/photos/2024", u"Network"},
                        {"", u"File System"}};
  for (const Case& c : cases) {
    List list;
    ASSERT_EQ(SHParseDisplayName(Wide(c.below).c_str(), nullptr, &list, 0, nullptr), S_OK) << c.below;
    EXPECT_EQ(PathOf(list), c.below.empty() ? root.Str() : Str(c.below));
    // The first item ID alone names the root's item.
    const USHORT firstBytes = list.p->mkid.cb;
    std::vector<BYTE> first(reinterpret_cast<const BYTE*>(list.p), reinterpret_cast<const BYTE*>(list.p) + firstBytes);
    first.insert(first.end(), {0, 0});
    EXPECT_EQ(NameOf(desktop.p, reinterpret_cast<ITEMIDLIST*>(first.data())), c.firstItem) << c.below;
  }

  List desktopList, missing, network;
  ASSERT_EQ(SHParseDisplayName(Wide("home/Desktop/").c_str(), nullptr, &desktopList, 0, nullptr), S_OK);
  EXPECT_EQ(desktopList.p->mkid.cb, 0) << "the desktop folder's path is the root";
  EXPECT_EQ(SHParseDisplayName(Wide("home/nothing").c_str(), nullptr, &missing, 0, nullptr), E_FAIL);
  EXPECT_EQ(missing.p, nullptr);
  EXPECT_EQ(SHParseDisplayName(u"relative/path", nullptr, &missing, 0, nullptr), E_FAIL);
  // The network item has no path.
  List share;
  ASSERT_EQ(SHParseDisplayName(Wide("net/photos").c_str(), nullptr, &share, 0, nullptr), S_OK);
  std::vector<BYTE> networkOnly(reinterpret_cast<const BYTE*>(share.p),
                                reinterpret_cast<const BYTE*>(share.p) + share.p->mkid.cb);
  networkOnly.insert(networkOnly.end(), {0, 0});
  EXPECT_EQ(PathOf(reinterpret_cast<ITEMIDLIST*>(networkOnly.data())), "<none>");
  char16_t small[4];
  EXPECT_FALSE(SHGetPathFromIDListEx(share, small, 4, 0)) << "a path that does not fit";
}

TEST_F(ShellNamespace, FoldersListTheirSubFoldersInNaturalOrderWithAttributes) {
  Folder pictures{Bind("home/Pictures")};
  ASSERT_NE(pictures.p, nullptr);
  EXPECT_EQ(Children(pictures.p), (std::vector<std::u16string>{u"Img1", u"img2", u"img10", u"locked"}))
      << "folders only, no hidden ones";
  EXPECT_EQ(Children(pictures.p, SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN).front(), u".hidden");

  auto child = [&](const std::u16string& name) {
    List list;
    std::u16string text = name;
    ULONG eaten = 0;
    EXPECT_EQ(pictures->ParseDisplayName(nullptr, nullptr, text.data(), &eaten, &list, nullptr), S_OK) << "child";
    return list;
  };
  const SFGAOF asked = SFGAO_HASSUBFOLDER | SFGAO_READONLY | SFGAO_CANMOVE | SFGAO_CANDELETE | SFGAO_CANCOPY |
                       SFGAO_FILESYSTEM | SFGAO_FOLDER;
  List img2 = child(u"img2"), img10 = child(u"img10"), locked = child(u"locked");
  EXPECT_EQ(Attributes(pictures.p, img2, asked),
            SFGAO_CANMOVE | SFGAO_CANDELETE | SFGAO_CANCOPY | SFGAO_FILESYSTEM | SFGAO_FOLDER);
  EXPECT_TRUE(Attributes(pictures.p, img10, asked) & SFGAO_HASSUBFOLDER);
  EXPECT_TRUE(Attributes(pictures.p, locked, asked) & SFGAO_READONLY);
  PCUITEMID_CHILD both[] = {img2, img10};
  SFGAOF common = SFGAO_HASSUBFOLDER | SFGAO_FOLDER;
  ASSERT_EQ(pictures->GetAttributesOf(2, both, &common), S_OK);
  EXPECT_EQ(common, SFGAO_FOLDER) << "only what both have";
  EXPECT_EQ(NameOf(pictures.p, img10, SHGDN_FORPARSING), Wide("home/Pictures/img10"));

  // Binding goes several levels down at once; a file or a missing folder cannot be bound.
  List sub;
  std::u16string text = u"img10/sub";
  ASSERT_EQ(pictures->ParseDisplayName(nullptr, nullptr, text.data(), nullptr, &sub, nullptr), S_OK);
  void* bound = nullptr;
  ASSERT_EQ(pictures->BindToObject(sub, nullptr, IID_IShellFolder, &bound), S_OK);
  static_cast<IShellFolder*>(bound)->Release();
  text = u"file.jpg";
  List file;
  EXPECT_EQ(pictures->ParseDisplayName(nullptr, nullptr, text.data(), nullptr, &file, nullptr), E_FAIL);
  EXPECT_EQ(pictures->BindToObject(img2, nullptr, GUID{1, 2, 3, {}}, &bound), E_NOINTERFACE);

  // A folder removed while listed is gone from the next listing and cannot be bound.
  fs::remove_all(Path("home/Pictures/img10"));
  EXPECT_EQ(Children(pictures.p), (std::vector<std::u16string>{u"Img1", u"img2", u"locked"}));
  EXPECT_EQ(pictures->BindToObject(img10, nullptr, IID_IShellFolder, &bound), E_FAIL);
  EXPECT_EQ(bound, nullptr);
}

TEST_F(ShellNamespace, MalformedListsAreRefused) {
  const std::vector<std::vector<BYTE>> malformed = {
      {2, 0, 0, 0},             // an ID without a kind
      {4, 0, 'F', 'a', 0, 0},   // an even count: half a character
      {3, 0, 'Z', 0, 0},        // an unknown kind
  };
  for (const auto& bytes : malformed) {
    const auto* list = reinterpret_cast<const ITEMIDLIST*>(bytes.data());
    EXPECT_EQ(PathOf(list), "<none>");
    void* folder = nullptr;
    EXPECT_EQ(desktop->BindToObject(list, nullptr, IID_IShellFolder, &folder), E_INVALIDARG);
    SFGAOF a = SFGAO_FOLDER;
    EXPECT_EQ(desktop->GetAttributesOf(1, &list, &a), E_INVALIDARG);
  }
  // A folder name may not climb out of its parent.
  const std::vector<BYTE> climbing = {3, 0, 'R', 7, 0, 'F', '.', 0, '.', 0, 0, 0};
  EXPECT_EQ(PathOf(reinterpret_cast<const ITEMIDLIST*>(climbing.data())), "<none>");
}

TEST_F(ShellNamespace, SpecialFoldersAreFoundOrMissing) {
  List pictures, documents;
  ASSERT_EQ(SHGetFolderLocation(nullptr, CSIDL_MYPICTURES, nullptr, 0, &pictures), S_OK);
  EXPECT_EQ(PathOf(pictures), Str("home/Pictures"));
  for (int csidl : {CSIDL_CONTROLS, CSIDL_PRINTERS, CSIDL_BITBUCKET}) {
    List none;
    EXPECT_EQ(SHGetFolderLocation(nullptr, csidl, nullptr, 0, &none), E_FAIL) << csidl;
    EXPECT_EQ(none.p, nullptr);
  }
  fs::remove(Path("home/Documents"));
  char16_t path[MAX_PATH];
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, 0, path), S_OK);
  EXPECT_EQ(std::u16string(path), Wide("home/Documents"));
  EXPECT_TRUE(fs::is_directory(Path("home/Documents"))) << "made when missing";

  EXPECT_EQ(GetDriveTypeW(Wide("media/CARD/DCIM").c_str()), 5u); // a CD-ROM
  EXPECT_EQ(GetDriveTypeW(Wide("net/photos").c_str()), 4u);      // remote
  EXPECT_EQ(GetDriveTypeW(Wide("home").c_str()), 3u);            // fixed
  EXPECT_EQ(GetDriveTypeW(Wide("nowhere").c_str()), 1u);         // no root
}

TEST(ShellNaturalOrder, DigitRunsCompareByValueAndLettersWithoutCase) {
  struct Case {
    const char16_t* a;
    const char16_t* b;
    int order;
  };
  const Case cases[] = {{u"img2", u"img10", -1}, {u"img10", u"img2", 1},  {u"IMG_0010", u"img_9", 1},
                        {u"a", u"B", -1},        {u"abc", u"ABC", 0},     {u"file007", u"file7", 0},
                        {u"x", u"x1", -1},       {u"2024-01", u"2024-1", 0}, {u"", u"a", -1}};
  for (const Case& c : cases) {
    const int order = StrCmpLogicalW(c.a, c.b);
    EXPECT_EQ((order > 0) - (order < 0), c.order) << testsupport::Utf8FromWide(FString(c.a)) << " "
                                                  << testsupport::Utf8FromWide(FString(c.b));
  }
}

} // namespace
