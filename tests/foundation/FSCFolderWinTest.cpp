#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "foundation/FException.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FMountTable.h"
#include "foundation/FPath.h"
#include "foundation/FSCFolderWin.h"
#include "support/StorageFixture.h"

namespace fs = std::filesystem;
using testsupport::N;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::U;
using testsupport::URLOf;
using testsupport::WriteFileBytes;

namespace {

std::vector<std::string> Sorted(const FArray<FString>& names)
{
    std::vector<std::string> out;
    for (const FString& name : names)
        out.push_back(N(name));
    std::sort(out.begin(), out.end());
    return out;
}

using Names = std::vector<std::string>;

class FolderTest : public testsupport::StorageTest {
protected:
    void TearDown() override
    {
        SetMountTableFile("");
        StorageTest::TearDown();
    }

    FFolderPtr Open(const fs::path& path)
    {
        FString name;
        FFolderPtr folder(OpenFolderByURL(URLOf(path), name, false));
        EXPECT_EQ(N(name), "");
        return folder;
    }
};

TEST_F(FolderTest, ListsFilesAndFoldersApart)
{
    const fs::path root = m_Dir.Path();
    fs::create_directory(root / "x");
    fs::create_directory(root / "y");
    fs::create_directory(root / ".hidden");
    WriteFileBytes(root / "z", "z");
    WriteFileBytes(root / "what?.kvr", "q");
    fs::create_directory_symlink(root / "x", root / "link to x");
    fs::create_symlink(root / "z", root / "link to z");
    fs::create_symlink(root / "gone", root / "dangling");

    FFolderPtr folder = Open(root);
    ASSERT_TRUE(folder);
    FArray<FString> folders;
    folder->ListFolders(folders);
    EXPECT_EQ(Sorted(folders), (Names{".hidden", "link to x", "x", "y"}));
    FArray<FString> files;
    folder->ListFiles(files);
    EXPECT_EQ(Sorted(files), (Names{"dangling", "link to z", "what?.kvr", "z"}));

    bool isFolder = false;
    EXPECT_TRUE(folder->Exists(FString(u"x"), &isFolder));
    EXPECT_TRUE(isFolder);
    EXPECT_TRUE(folder->Exists(U("what?.kvr"), &isFolder));
    EXPECT_FALSE(isFolder);
    EXPECT_FALSE(folder->Exists(FString(u"nothing")));
    EXPECT_FALSE(folder->Exists(FString(u"x/../z")));
}

TEST_F(FolderTest, OpensAndCreatesFoldersAndFiles)
{
    FFolderPtr folder = Open(m_Dir.Path());
    EXPECT_EQ(folder->OpenFolder(FString(u"x"), false), nullptr);
    FFolderPtr x(folder->OpenFolder(FString(u"x"), true));
    ASSERT_TRUE(x);
    EXPECT_TRUE(fs::is_directory(m_Dir.Path() / "x"));
    EXPECT_EQ(N(x->GetURL()), N(URLOf(m_Dir.Path() / "x")) + "/");

    EXPECT_EQ(x->OpenFile(FString(u"new.kvr"), FIFile::OPEN_READ), nullptr);
    FFilePtr created(x->OpenFile(FString(u"new.kvr"), 3));
    ASSERT_TRUE(created);
    EXPECT_TRUE(fs::exists(m_Dir.Path() / "x" / "new.kvr"));

    // A file is no folder, and names are single entries.
    EXPECT_EQ(x->OpenFolder(FString(u"new.kvr"), true), nullptr);
    EXPECT_EQ(folder->OpenFolder(FString(u"x/deeper"), true), nullptr);
    EXPECT_EQ(folder->OpenFile(FString(u"x/new.kvr"), 1), nullptr);
    EXPECT_EQ(folder->OpenFile(FString(), 3), nullptr);
    EXPECT_FALSE(fs::exists(m_Dir.Path() / "x" / "deeper"));

    // A URL naming a file opens its folder and hands back the name.
    FString name;
    FFolderPtr parent(OpenFolderByURL(URLOf(m_Dir.Path() / "x" / "new.kvr"), name, false));
    ASSERT_TRUE(parent);
    EXPECT_EQ(N(name), "new.kvr");
    EXPECT_EQ(N(parent->GetURL()), N(x->GetURL()));

    // Missing levels of a URL are created on request.
    FFolderPtr deep(OpenFolderByURL(URLOf(m_Dir.Path() / "a" / "b:c" / "d"), name, true));
    ASSERT_TRUE(deep);
    EXPECT_TRUE(fs::is_directory(m_Dir.Path() / "a" / "b:c" / "d"));
}

TEST_F(FolderTest, RenameNeverReplaces)
{
    const fs::path root = m_Dir.Path();
    WriteFileBytes(root / "a.kvr", "A");
    WriteFileBytes(root / "b.kvr", "B");
    FFolderPtr folder = Open(root);

    EXPECT_FALSE(folder->Rename(FString(u"a.kvr"), FString(u"b.kvr")));
    EXPECT_EQ(ReadFileBytes(root / "a.kvr"), "A");
    EXPECT_EQ(ReadFileBytes(root / "b.kvr"), "B");

    EXPECT_TRUE(folder->Rename(FString(u"a.kvr"), U("c<1>.kvr")));
    EXPECT_FALSE(fs::exists(root / "a.kvr"));
    EXPECT_EQ(ReadFileBytes(root / "c<1>.kvr"), "A");

    EXPECT_FALSE(folder->Rename(FString(u"missing"), FString(u"d")));
    EXPECT_FALSE(folder->Rename(FString(u"b.kvr"), FString(u"../escaped")));
    EXPECT_FALSE(folder->Rename(FString(u"b.kvr"), FString()));
    EXPECT_TRUE(fs::exists(root / "b.kvr"));
}

TEST_F(FolderTest, DeleteFileReportsWhetherTheFileIsGone)
{
    const fs::path root = m_Dir.Path();
    WriteFileBytes(root / "plain", "p");
    WriteFileBytes(root / "locked", "l");
    fs::permissions(root / "locked", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fs::create_directory(root / "sub");
    FFolderPtr folder = Open(root);

    EXPECT_TRUE(folder->DeleteFile(FString(u"plain")));
    EXPECT_FALSE(fs::exists(root / "plain"));
    EXPECT_TRUE(folder->DeleteFile(FString(u"never-there")));
    EXPECT_FALSE(folder->DeleteFile(FString(u"locked"))); // read-only, also for root
    EXPECT_TRUE(fs::exists(root / "locked"));
    EXPECT_FALSE(folder->DeleteFile(FString(u"sub")));
    EXPECT_TRUE(fs::exists(root / "sub"));
    EXPECT_FALSE(folder->DeleteFile(FString(u"sub/..")));
}

TEST_F(FolderTest, DeleteTreeStaysInsideTheTree)
{
    TempDir outside;
    WriteFileBytes(outside.Path() / "keep.kvr", "precious");
    fs::create_directory(outside.Path() / "keepdir");

    const fs::path tree = m_Dir.Path() / "tree";
    fs::create_directories(tree / "nested" / "deeper");
    WriteFileBytes(tree / "nested" / "deeper" / "f", "f");
    WriteFileBytes(tree / "readonly.kvr", "r");
    fs::permissions(tree / "readonly.kvr", fs::perms::owner_write, fs::perm_options::remove);
    fs::permissions(tree / "nested" / "deeper", fs::perms::owner_write, fs::perm_options::remove);
    fs::create_directory_symlink(outside.Path(), tree / "link out");
    fs::create_directory_symlink(outside.Path(), tree / "nested" / "link out too");
    fs::create_symlink(outside.Path() / "keep.kvr", tree / "file link");

    FFolderPtr parent = Open(m_Dir.Path());
    EXPECT_TRUE(parent->DeleteFolder(URLOf(tree), FIFolder::DELETE_TREE));
    EXPECT_FALSE(fs::exists(fs::symlink_status(tree)));
    EXPECT_EQ(ReadFileBytes(outside.Path() / "keep.kvr"), "precious");
    EXPECT_TRUE(fs::is_directory(outside.Path() / "keepdir"));

    // A link given as the tree itself goes alone.
    fs::create_directory_symlink(outside.Path(), m_Dir.Path() / "alias");
    EXPECT_TRUE(FSCFolderWin::DeleteTree(U((m_Dir.Path() / "alias").string())));
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_Dir.Path() / "alias")));
    EXPECT_TRUE(fs::exists(outside.Path() / "keep.kvr"));

    EXPECT_FALSE(FSCFolderWin::DeleteTree(U((m_Dir.Path() / "missing").string())));
    EXPECT_FALSE(FSCFolderWin::DeleteTree(FString(u"/")));
}

TEST_F(FolderTest, DeleteEmptyFolderOnlyRemovesEmptyOnes)
{
    fs::create_directories(m_Dir.Path() / "full" / "child");
    fs::create_directory(m_Dir.Path() / "empty");
    FFolderPtr parent = Open(m_Dir.Path());
    EXPECT_FALSE(parent->DeleteFolder(URLOf(m_Dir.Path() / "full"), FIFolder::DELETE_EMPTY_FOLDER));
    EXPECT_TRUE(fs::exists(m_Dir.Path() / "full" / "child"));
    EXPECT_TRUE(parent->DeleteFolder(URLOf(m_Dir.Path() / "empty"), FIFolder::DELETE_EMPTY_FOLDER));
    EXPECT_FALSE(fs::exists(m_Dir.Path() / "empty"));
    EXPECT_FALSE(parent->DeleteFolder(URLOf(m_Dir.Path() / "full"), 7));
    EXPECT_FALSE(parent->DeleteFolder(FString(u"nope://x"), FIFolder::DELETE_TREE));
}

TEST_F(FolderTest, AttributesOfARealFolder)
{
    fs::create_directory(m_Dir.Path() / ".secret");
    FFolderPtr hidden = Open(m_Dir.Path() / ".secret");
    int flags = 0x10;
    ASSERT_TRUE(hidden->GetInfo(flags));
    EXPECT_EQ(flags, 0x10 | FILEINFO_HIDDEN);
    EXPECT_FALSE(hidden->IsReadOnly());
    EXPECT_GT(hidden->GetFreeSpace(), 0);
    EXPECT_EQ(N(hidden->GetText()), "");

    fs::permissions(m_Dir.Path() / ".secret", fs::perms::owner_write, fs::perm_options::remove);
    ASSERT_TRUE(hidden->GetInfo(flags));
    EXPECT_EQ(flags & FILEINFO_READONLY, FILEINFO_READONLY);

    FString name;
    FFolderPtr root(OpenFolderByURL(FString(u"disk://C"), name, false));
    ASSERT_TRUE(root);
    EXPECT_EQ(N(root->GetURL()), "disk://C/");
    flags = FILEINFO_HIDDEN;
    ASSERT_TRUE(root->GetInfo(flags));
    EXPECT_EQ(flags & FILEINFO_HIDDEN, 0); // a volume root is never hidden

    fs::remove_all(m_Dir.Path() / ".secret");
    flags = 0x20;
    EXPECT_FALSE(hidden->GetInfo(flags));
    EXPECT_EQ(flags, 0x20);
}

// The list-only folders, each checked against the same expectations.
TEST_F(FolderTest, ListOnlyFoldersBehaveAlike)
{
    struct Expected {
        const char* label;
        std::function<FIFolder*()> make;
        const char* url;
        int64_t freeSpace;
        int driveType;
        bool renameIsPlainFException;
    };
    const Expected cases[] = {
        {"root", [] { return new FSCEnumFolder(); }, "", -1, FIFolder::DRIVE_UNKNOWN, true},
        {"volumes", [] { return new FSCVolEnumFolderWin(FString(u"disk")); }, "disk", -1, FIFolder::DRIVE_UNKNOWN,
         false},
        {"servers", [] { return new FSCNetEnumFolderWin(FString(u"disk")); }, "disk", 1, FIFolder::DRIVE_REMOTE,
         false},
        {"shares", [] { return new FSCNetShareEnumFolderWin(FString(u"disk"), FString(u"nobody")); }, "disk", -1,
         FIFolder::DRIVE_REMOTE, false},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.label);
        FFolderPtr folder(c.make());
        EXPECT_EQ(folder->OpenFile(FString(u"x"), 3), nullptr);
        FArray<FString> files;
        folder->ListFiles(files);
        EXPECT_EQ(files.GetCount(), 0);
        EXPECT_FALSE(folder->DeleteFile(FString(u"x")));
        EXPECT_EQ(N(folder->GetURL()), c.url);
        EXPECT_EQ(folder->GetFreeSpace(), c.freeSpace);
        EXPECT_TRUE(folder->IsReadOnly());
        int flags = FILEINFO_HIDDEN | 0x40;
        EXPECT_TRUE(folder->GetInfo(flags));
        EXPECT_EQ(flags, FILEINFO_READONLY | 0x40);
        EXPECT_EQ(folder->GetDriveType(), c.driveType);
        EXPECT_FALSE(folder->Exists(FString(u"C")));
        EXPECT_EQ(folder->OpenFolder(FString(u"no such entry"), true), nullptr);
        if (c.renameIsPlainFException) {
            try {
                folder->Rename(FString(u"disk"), FString(u"x"));
                ADD_FAILURE();
            } catch (const FExceptionIO&) {
                ADD_FAILURE();
            } catch (const FException& e) {
                EXPECT_STREQ(e.GetMessage(), "Cannot rename storage classes");
            }
            try {
                folder->DeleteFolder(FString(u"disk://"), 1);
                ADD_FAILURE();
            } catch (const FException& e) {
                EXPECT_STREQ(e.GetMessage(), "Cannot delete storage classes");
            }
        } else {
            EXPECT_THROW(folder->Rename(FString(u"a"), FString(u"b")), FExceptionFileIO);
            EXPECT_THROW(folder->DeleteFolder(FString(u"disk://C/tmp"), 1), FExceptionFileIO);
        }
    }
}

// Volumes and the network branch come from the mount table, never from the network.
TEST_F(FolderTest, VolumesAndNetworkFromTheMountTable)
{
    const fs::path share = m_Dir.Path() / "mnt" / "photo share";
    fs::create_directories(share / "2009");
    WriteFileBytes(share / "2009" / "a.kvr", "kvr");
    const std::string table = "/dev/sda1 / ext4 rw 0 0\n"
                              "proc /proc proc rw 0 0\n"
                              "/dev/sdb1 /media/user/CARD vfat rw 0 0\n"
                              "/dev/sr0 /media/user/DISC\\040ONE iso9660 ro 0 0\n"
                              "/dev/sdc1 /media/user/Network vfat rw 0 0\n"
                              "//FileSrv/Photos " +
                              share.string().replace(share.string().find(' '), 1, "\\040") +
                              " cifs rw 0 0\n"
                              "nas:/export/pics /mnt/pics nfs4 rw 0 0\n"
                              "me@Box:/home/me /mnt/box fuse.sshfs rw 0 0\n"
                              "garbage\n"
                              "tmpfs /run tmpfs rw 0 0\n";
    WriteFileBytes(m_Dir.Path() / "mounts", table);
    SetMountTableFile((m_Dir.Path() / "mounts").string());

    FString name;
    FFolderPtr volumes(OpenFolderByURL(FString(u"disk://"), name, false));
    ASSERT_TRUE(volumes);
    FArray<FString> names;
    volumes->ListFolders(names);
    std::vector<std::string> listed;
    for (const FString& n : names)
        listed.push_back(N(n));
    EXPECT_EQ(listed, (Names{"C", "CARD", "DISC ONE", "Network"}));
    EXPECT_EQ(volumes->OpenFolder(FString(u"Z"), false), nullptr);

    FString native;
    ASSERT_TRUE(URLToNativePath(FString(u"disk://CARD/DCIM/x.kvr"), native));
    EXPECT_EQ(N(native), "/media/user/CARD/DCIM/x.kvr");

    FFolderPtr servers(volumes->OpenFolder(FString(u"Network"), false));
    ASSERT_TRUE(servers);
    names.RemoveAll();
    servers->ListFolders(names);
    EXPECT_EQ(Sorted(names), (Names{"box", "filesrv", "nas"}));

    FFolderPtr nas(servers->OpenFolder(FString(u"nas"), false));
    ASSERT_TRUE(nas);
    names.RemoveAll();
    nas->ListFolders(names);
    EXPECT_EQ(Sorted(names), (Names{"export/pics"}));

    FFolderPtr fileSrv(servers->OpenFolder(FString(u"filesrv"), false));
    names.RemoveAll();
    fileSrv->ListFolders(names);
    EXPECT_EQ(Sorted(names), (Names{"Photos"}));
    FFolderPtr photos(fileSrv->OpenFolder(FString(u"Photos"), false));
    ASSERT_TRUE(photos);
    EXPECT_EQ(photos->GetDriveType(), FIFolder::DRIVE_REMOTE);
    names.RemoveAll();
    photos->ListFolders(names);
    EXPECT_EQ(Sorted(names), (Names{"2009"}));

    // A network URL reaches the mounted share; server names ignore case.
    FFilePtr file(OpenFileByURL(FString(u"disk://Network/FileSrv/Photos/2009/a.kvr"), FIFile::OPEN_READ));
    ASSERT_TRUE(file);
    char bytes[3];
    EXPECT_EQ(file->Read(bytes, 3), 3);
    ASSERT_TRUE(URLToNativePath(FString(u"disk://Network/nas/export%002Fpics/a"), native));
    EXPECT_EQ(N(native), "/mnt/pics/a");
    EXPECT_FALSE(URLToNativePath(FString(u"disk://Network/nas"), native));
    EXPECT_FALSE(URLToNativePath(FString(u"disk://Network/elsewhere/pub/a"), native));

    FFolderPtr shares(OpenFolderByURL(FString(u"disk://Network/unknown"), name, false));
    ASSERT_TRUE(shares);
    names.RemoveAll();
    shares->ListFolders(names);
    EXPECT_EQ(names.GetCount(), 0);
}

} // namespace
