#include "toolkit/FileOperations.h"

#include "foundation/FPath.h"
#include "support/TempFileTest.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

FString P(const std::string& path) { return PathFromNative(path); }

TEST(FileOperationsTest, PathParts) {
  const struct {
    const char* path;
    const char* name;
    const char* parent;
  } cases[] = {
      {"/", "/", ""},        {"/a/b.jpg", "b.jpg", "/a"}, {"b.jpg", "b.jpg", ""}, {"/a/", "", "/a"},
      {"/a", "a", "/"},      {"/a/b", "b", "/a"},         {"", "", ""},           {"x/y", "y", "x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetFileNamePart(P(c.path)), P(c.name)) << c.path;
    EXPECT_EQ(GetParentPath(P(c.path)), P(c.parent)) << c.path;
  }
  EXPECT_TRUE(EndsWithBackslash(P("/a/")));
  EXPECT_FALSE(EndsWithBackslash(P("/a")));
  EXPECT_FALSE(EndsWithBackslash(P("")));
  EXPECT_EQ(GetLongPath(P("/a/b")), P("/a/b"));
}

TEST(FileOperationsTest, DropFilesBlockLayout) {
  FArray<FString> paths;
  EXPECT_TRUE(MakeDropFilesBlock(&paths).empty());
  paths.Append(P("a"));
  paths.Append(P("bc"));
  const std::vector<BYTE> block = MakeDropFilesBlock(&paths);
  ASSERT_EQ(block.size(), 34u);
  EXPECT_EQ(block[0], 20);
  EXPECT_EQ(block[16], 1);
  const std::vector<BYTE> list(block.begin() + 20, block.end());
  EXPECT_EQ(list, (std::vector<BYTE>{'a', 0, 0, 0, 'b', 0, 'c', 0, 0, 0, 0, 0, 0, 0}));
}

class FileOperationsFolderTest : public TempFileTest {
protected:
  FString N(const std::string& name) const { return P(PathOf(name).string()); }
  void Touch(const std::string& name, const std::string& text = "x") {
    fs::create_directories(PathOf(name).parent_path());
    WriteFileBytes(PathOf(name), text);
  }
  std::vector<std::string> Names(const FArray<FString>& paths) const {
    std::vector<std::string> names;
    for (const FString& path : paths) {
      names.push_back(fs::relative(Utf8FromWide(path), m_Dir.Path()).string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  FArray<FString> List(std::initializer_list<std::string> names) const {
    FArray<FString> list;
    for (const std::string& name : names) {
      list.Append(N(name));
    }
    return list;
  }
};

TEST_F(FileOperationsFolderTest, CreateFolderTreeMakesEveryLevelButNeverPassesAFile) {
  EXPECT_TRUE(CreateFolderTree(N("a/b/c")));
  EXPECT_TRUE(fs::is_directory(PathOf("a/b/c")));
  EXPECT_TRUE(CreateFolderTree(N("a/b")));
  Touch("file");
  EXPECT_FALSE(CreateFolderTree(N("file/x/y")));
  EXPECT_FALSE(fs::exists(PathOf("file/x")));
  EXPECT_FALSE(CreateFolderTree(P("")));
}

TEST_F(FileOperationsFolderTest, PatternsAnyOrEvery) {
  Touch("img_1.jpg");
  Touch("IMG2.TIF");
  Touch("other.png");
  FArray<FString> patterns;
  patterns.Append(P("*.JPG"));
  patterns.Append(P("IMG"));
  FArray<FString> any, every, none, all;
  EXPECT_TRUE(EnumFolderFiles(N(""), &any, &patterns, true, false));
  EXPECT_EQ(Names(any), (std::vector<std::string>{"IMG2.TIF", "img_1.jpg"}));
  EXPECT_TRUE(EnumFolderFiles(N(""), &every, &patterns, false, false));
  EXPECT_EQ(Names(every), (std::vector<std::string>{"img_1.jpg"}));
  FArray<FString> empty;
  EXPECT_TRUE(EnumFolderFiles(N(""), &none, &empty, true, false));
  EXPECT_EQ(none.GetCount(), 0);
  EXPECT_TRUE(EnumFolderFiles(N(""), &all, &empty, false, false));
  EXPECT_EQ(all.GetCount(), 3);
  FArray<FString> missing;
  EXPECT_FALSE(EnumFolderFiles(N("nowhere"), &missing, &patterns, true, false));
}

TEST_F(FileOperationsFolderTest, RecursionSearchesSubFoldersOnceAndListsThemOtherwise) {
  Touch("top.jpg");
  Touch("sub/deep.jpg");
  Touch("sub/more/deeper.jpg");
  fs::create_directory_symlink(m_Dir.Path(), PathOf("sub/loop"));
  FArray<FString> patterns;
  patterns.Append(P("*.*"));
  FArray<FString> flat, deep;
  EXPECT_TRUE(EnumFolderFiles(N(""), &flat, &patterns, true, false));
  EXPECT_EQ(Names(flat), (std::vector<std::string>{"sub", "top.jpg"}));
  EXPECT_TRUE(EnumFolderFiles(N(""), &deep, &patterns, true, true));
  EXPECT_EQ(Names(deep), (std::vector<std::string>{"sub/deep.jpg", "sub/more/deeper.jpg", "top.jpg"}));
}

TEST_F(FileOperationsFolderTest, ResultsStopPastThirtyThousandNames) {
  Touch("a.jpg");
  Touch("b.jpg");
  FArray<FString> patterns;
  patterns.Append(P("*.*"));
  FArray<FString> full;
  for (int i = 0; i < 30001; ++i) {
    full.Append(P("x"));
  }
  EXPECT_TRUE(EnumFolderFiles(N(""), &full, &patterns, true, false));
  EXPECT_EQ(full.GetCount(), 30001);
  FArray<FString> nearly;
  for (int i = 0; i < 30000; ++i) {
    nearly.Append(P("x"));
  }
  EXPECT_TRUE(EnumFolderFiles(N(""), &nearly, &patterns, true, false));
  EXPECT_EQ(nearly.GetCount(), 30001);
}

TEST_F(FileOperationsFolderTest, DeleteForGoodOrToTheTrashAndReportFailures) {
  ScopedEnv data("XDG_DATA_HOME", (m_Dir.Path() / "data").string());
  FArray<FString> empty;
  EXPECT_FALSE(DeleteFiles(&empty, true, false));
  Touch("a.jpg");
  Touch("folder/b.jpg");
  FArray<FString> gone = List({"a.jpg", "folder"});
  EXPECT_TRUE(DeleteFiles(&gone, false, false));
  EXPECT_FALSE(fs::exists(PathOf("a.jpg")));
  EXPECT_FALSE(fs::exists(PathOf("folder")));

  Touch("t.jpg");
  FArray<FString> trashed = List({"t.jpg"});
  EXPECT_TRUE(DeleteFiles(&trashed, true, false));
  EXPECT_FALSE(fs::exists(PathOf("t.jpg")));
  EXPECT_TRUE(fs::exists(PathOf("data/Trash/files/t.jpg")));

  Touch("locked.jpg");
  chmod(PathOf("locked.jpg").c_str(), 0444);
  FArray<FString> locked = List({"locked.jpg"});
  EXPECT_FALSE(DeleteFiles(&locked, false, false));
  EXPECT_TRUE(fs::exists(PathOf("locked.jpg")));
  FArray<FString> missing = List({"missing.jpg"});
  EXPECT_FALSE(DeleteFiles(&missing, false, false));
}

TEST_F(FileOperationsFolderTest, CopyAndMoveReplaceOrRenameOnCollision) {
  Touch("src/a.jpg", "new");
  Touch("dst/a.jpg", "old");
  FArray<FString> sources = List({"src/a.jpg"});
  EXPECT_TRUE(CopyFilesToFolder(&sources, N("dst"), true, true, false));
  EXPECT_EQ(ReadFileBytes(PathOf("dst/a (2).jpg")), "new");
  EXPECT_EQ(ReadFileBytes(PathOf("dst/a.jpg")), "old");
  EXPECT_TRUE(CopyFilesToFolder(&sources, N("dst"), true, false, false));
  EXPECT_EQ(ReadFileBytes(PathOf("dst/a.jpg")), "new");
  EXPECT_TRUE(fs::exists(PathOf("src/a.jpg")));

  chmod(PathOf("dst/a.jpg").c_str(), 0444);
  Touch("src/a.jpg", "newer");
  EXPECT_FALSE(CopyFilesToFolder(&sources, N("dst"), true, false, false));
  EXPECT_FALSE(CopyFilesToFolder(&sources, N("dst"), false, false, false));
  EXPECT_EQ(ReadFileBytes(PathOf("dst/a.jpg")), "new");

  EXPECT_TRUE(CopyFilesToFolder(&sources, N("dst/sub"), false, false, false));
  EXPECT_FALSE(fs::exists(PathOf("src/a.jpg")));
  EXPECT_EQ(ReadFileBytes(PathOf("dst/sub/a.jpg")), "newer");

  Touch("tree/x/y.jpg", "y");
  FArray<FString> tree = List({"tree"});
  FArray<FString> copyOfTree = List({"tree2"});
  EXPECT_TRUE(TransferFiles(&tree, &copyOfTree, true, false, false));
  EXPECT_EQ(ReadFileBytes(PathOf("tree2/x/y.jpg")), "y");
  FArray<FString> inside = List({"tree/x/inner"});
  EXPECT_FALSE(TransferFiles(&tree, &inside, true, false, false));

  FArray<FString> none;
  EXPECT_FALSE(TransferFiles(&none, &none, true, false, false));
  FArray<FString> two = List({"a", "b"});
  EXPECT_FALSE(TransferFiles(&tree, &two, true, false, false));
}

TEST_F(FileOperationsFolderTest, RenameFailureUndoesTheEarlierRenames) {
  Touch("1.jpg", "1");
  Touch("2.jpg", "2");
  Touch("3.jpg", "3");
  Touch("taken.jpg", "t");
  FArray<FString> from = List({"1.jpg", "2.jpg", "3.jpg"});
  FArray<FString> to = List({"one.jpg", "taken.jpg", "three.jpg"});
  EXPECT_FALSE(RenameFiles(&to, &from));
  EXPECT_EQ(ReadFileBytes(PathOf("1.jpg")), "1");
  EXPECT_EQ(ReadFileBytes(PathOf("2.jpg")), "2");
  EXPECT_EQ(ReadFileBytes(PathOf("taken.jpg")), "t");
  EXPECT_FALSE(fs::exists(PathOf("one.jpg")));

  FArray<FString> ok = List({"one.jpg", "two.jpg", "sub/three.jpg"});
  fs::create_directory(PathOf("sub"));
  EXPECT_TRUE(RenameFiles(&ok, &from));
  EXPECT_EQ(ReadFileBytes(PathOf("sub/three.jpg")), "3");
  FArray<FString> shorter = List({"x.jpg"});
  EXPECT_FALSE(RenameFiles(&shorter, &ok));
  EXPECT_TRUE(fs::exists(PathOf("one.jpg")));
}

} // namespace
