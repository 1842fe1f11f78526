#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "foundation/FException.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FMountTable.h"
#include "foundation/FPath.h"
#include "foundation/FSCDiskWin.h"
#include "support/StorageFixture.h"

namespace fs = std::filesystem;
using testsupport::N;
using testsupport::ReadFileBytes;
using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::U;
using testsupport::URLOf;
using testsupport::WriteFileBytes;

namespace {

class DiskTest : public testsupport::StorageTest {
protected:
    FSCDiskWin m_Disk{FString(u"disk")};
};

// Native path -> URL path -> the same native path, for every kind of name Linux allows.
TEST_F(DiskTest, NativePathsRoundTripThroughURLs)
{
    const struct {
        std::string native;
        std::string urlPath;
        std::string back; // when the native form is not canonical
    } cases[] = {
        {"/", "C", ""},
        {"/Photos/2009", "C/Photos/2009", ""},
        {"/home/a b/IMG 01.kvr", "C/home/a b/IMG 01.kvr", ""},
        {"/x?y", "C/x%003Fy", ""},
        {"/*|\\:\"<>?", "C/%002A%007C%005C%003A%0022%003C%003E%003F", ""},
        {"/d/C:dir\\x", "C/d/C%003Adir%005Cx", ""},
        {"/50%ABCD/100%", "C/50%0025ABCD/100%", ""},
        {"/%0041", "C/%00250041", ""},
        {"/Network/srv/pub", "C/Network/srv/pub", ""},
        {"/C/x", "C/C/x", ""},
        {"/Fotos/Ärger 日本/😀.kvr", "C/Fotos/Ärger 日本/😀.kvr", ""},
        {"/raw/\xFF\xFE-\xC3(.kvr", "", ""}, // not UTF-8: kept byte for byte
        {"/a/../b", "C/a/../b", ""},
        {"//a///b/", "C/a/b", "/a/b"},
        {"/a/./b", "C/a/b", "/a/b"},
        {"/ lead and trail ", "C/ lead and trail ", ""},
        {"/new\nline\ttab", "C/new\nline\ttab", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.native);
        FString path;
        ASSERT_TRUE(m_Disk.FromNativePath(U(c.native), path));
        if (!c.urlPath.empty()) {
            EXPECT_EQ(N(path), c.urlPath);
        }
        FString native;
        ASSERT_TRUE(m_Disk.ToNativePath(path, native));
        EXPECT_EQ(N(native), c.back.empty() ? c.native : c.back);

        FString url;
        ASSERT_TRUE(NativePathToURL(U(c.native), url));
        FString routed;
        ASSERT_TRUE(URLToNativePath(url, routed));
        EXPECT_EQ(N(routed), N(native));
    }
}

TEST_F(DiskTest, RelativePathsStartAtTheWorkingFolder)
{
    TempDir dir;
    const fs::path old = fs::current_path();
    fs::current_path(dir.Path());
    FString path;
    ASSERT_TRUE(m_Disk.FromNativePath(FString(u"sub/x:y"), path));
    fs::current_path(old);
    FString native;
    ASSERT_TRUE(m_Disk.ToNativePath(path, native));
    EXPECT_EQ(N(native), (dir.Path() / "sub" / "x:y").string());
}

TEST_F(DiskTest, URLPathsThatNameNoNativePath)
{
    const char16_t* cases[] = {
        u"",
        u"/",
        u"Q/unknown/volume",
        u"C/a%002Fb",        // a separator inside one name
        u"C/a%0000b",        // a zero inside one name
        u"Network",
        u"Network/srv",
        u"Network/unmounted/share/x",
    };
    for (const char16_t* path : cases) {
        FString native(u"stale");
        EXPECT_FALSE(m_Disk.ToNativePath(FString(path), native)) << N(FString(path));
        EXPECT_EQ(N(native), "");
    }
    FString native;
    ASSERT_TRUE(m_Disk.ToNativePath(FString(u"C//Photos///2009/"), native));
    EXPECT_EQ(N(native), "/Photos/2009");
}

TEST_F(DiskTest, OpenFolderAndOpenFileRules)
{
    TempDir dir;
    WriteFileBytes(dir.Path() / "x", "file x");
    FString name(u"stale");

    FFolderPtr root(m_Disk.OpenFolder(FString(u"C"), name, false));
    ASSERT_TRUE(root);
    EXPECT_EQ(N(root->GetURL()), "disk://C/");
    EXPECT_EQ(N(name), "");
    EXPECT_EQ(m_Disk.OpenFolder(FString(u"Q"), name, false), nullptr);

    FString urlPath;
    m_Disk.FromNativePath(U((dir.Path() / "x").string()), urlPath);
    FFolderPtr parent(m_Disk.OpenFolder(urlPath, name, false));
    ASSERT_TRUE(parent);
    EXPECT_EQ(N(name), "x");

    // A path through a file reaches nothing, not a file beside it.
    FString throughFile = urlPath;
    throughFile += u"/x";
    EXPECT_EQ(m_Disk.OpenFile(throughFile, FIFile::OPEN_READ), nullptr);
    EXPECT_EQ(m_Disk.OpenFile(throughFile, 3), nullptr);

    // File names are decoded like every other part.
    WriteFileBytes(dir.Path() / "what?.kvr", "escaped");
    FFilePtr file(OpenFileByURL(URLOf(dir.Path() / "what?.kvr"), FIFile::OPEN_READ));
    ASSERT_TRUE(file);
    EXPECT_EQ(N(file->GetURL()), N(URLOf(dir.Path() / "what?.kvr")));
    bool isFolder = true;
    EXPECT_TRUE(m_Disk.Exists(urlPath, &isFolder));
    EXPECT_FALSE(isFolder);
}

TEST_F(DiskTest, CreateFolderPath)
{
    TempDir dir;
    FString path;
    m_Disk.FromNativePath(U((dir.Path() / "a" / "b" / "c").string()), path);
    EXPECT_TRUE(FSCDiskWin::CreateFolderPath(path));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "a" / "b" / "c"));
    EXPECT_FALSE(FSCDiskWin::CreateFolderPath(path)); // exists already

    WriteFileBytes(dir.Path() / "file", "");
    m_Disk.FromNativePath(U((dir.Path() / "file" / "sub").string()), path);
    EXPECT_FALSE(FSCDiskWin::CreateFolderPath(path));
    EXPECT_FALSE(FSCDiskWin::CreateFolderPath(FString(u"Q/x")));
}

class SpecialFolderTest : public DiskTest {
protected:
    TempDir m_Home;
    TempDir m_Tmp;
    ScopedEnv m_HomeEnv{"HOME", m_Home.Str()};
    ScopedEnv m_ConfigEnv{"XDG_CONFIG_HOME", (m_Home.Path() / "config").string()};
    ScopedEnv m_DataEnv{"XDG_DATA_HOME", (m_Home.Path() / "data").string()};
    ScopedEnv m_TmpEnv{"TMPDIR", m_Tmp.Str()};
    ScopedEnv m_DocumentsEnv{"XDG_DOCUMENTS_DIR", ""};
};

TEST_F(SpecialFolderTest, FoldersFollowTheXdgDirectories)
{
    fs::create_directories(m_Home.Path() / "config");
    WriteFileBytes(m_Home.Path() / "config" / "user-dirs.dirs",
                   "# written by xdg-user-dirs-update\n"
                   "XDG_DESKTOP_DIR=\"$HOME/My \\\"Desk\\\"\"\n"
                   "XDG_PICTURES_DIR=\"/nonexistent-root-only\n"
                   "XDG_DOCUMENTS_DIR=\"$HOME\"\n");

    const struct {
        int kind;
        fs::path folder;
    } cases[] = {
        {FIStorageClass::FOLDER_APPDATA, m_Home.Path() / "config" / "Lumitra"},
        {FIStorageClass::FOLDER_DESKTOP, m_Home.Path() / "My \"Desk\""},
        {FIStorageClass::FOLDER_DOCUMENTS, m_Home.Path()},
        {FIStorageClass::FOLDER_PROGRAMS, m_Home.Path() / "data" / "applications"},
        {FIStorageClass::FOLDER_STARTUP, m_Home.Path() / "config" / "autostart"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        const FString url = GetSpecialFolderURL(c.kind);
        EXPECT_EQ(N(url), N(URLOf(c.folder)) + "/");
        EXPECT_TRUE(fs::is_directory(c.folder)); // created when missing
    }
    EXPECT_EQ(fs::status(m_Home.Path() / "config" / "Lumitra").permissions() & fs::perms::all, fs::perms::owner_all);

    FString url;
    EXPECT_FALSE(m_Disk.GetSpecialFolderURL(7, url));
    EXPECT_FALSE(m_Disk.GetSpecialFolderURL(9, url));
    EXPECT_FALSE(m_Disk.GetSpecialFolderURL(-1, url));
    {
        ScopedEnv noSystem("SystemRoot", "");
        unsetenv("SystemRoot");
        EXPECT_FALSE(m_Disk.GetSpecialFolderURL(FIStorageClass::FOLDER_SYSTEM, url));
    }

    FString pictures;
    ASSERT_TRUE(GetShellFolderPath(CSIDL_MYPICTURES, pictures)); // malformed entry: the default
    EXPECT_EQ(N(pictures), (m_Home.Path() / "Pictures").string());
    EXPECT_FALSE(GetShellFolderPath(0x1234, pictures));
    EXPECT_EQ(N(pictures), "");
}

TEST_F(SpecialFolderTest, ProgramFolderPrefersResourcesBesideTheProgram)
{
    const fs::path bin = m_Home.Path() / "bin";
    fs::create_directories(bin);
    const FString program = U((bin / "Lumitra4").string());
    EXPECT_EQ(N(ProgramDataFolder(program)), bin.string());
    WriteFileBytes(bin / "resources", "a file is no data folder");
    EXPECT_EQ(N(ProgramDataFolder(program)), bin.string());
    fs::remove(bin / "resources");
    fs::create_directory(bin / "resources");
    EXPECT_EQ(N(ProgramDataFolder(program)), (bin / "resources").string());

    FString self;
    GetProgramPath(self);
    EXPECT_EQ(N(GetSpecialFolderURL(FIStorageClass::FOLDER_PROGRAM)),
              N(URLOf(fs::canonical(N(ProgramDataFolder(self))))) + "/");
}

TEST_F(SpecialFolderTest, TemporaryFolderIsPrivateAndRemovedAtRelease)
{
    const FString url = GetSpecialFolderURL(FIStorageClass::FOLDER_TEMP);
    ASSERT_GT(url.GetLength(), 0);
    EXPECT_EQ(url.View().back(), u'/');
    FString native;
    ASSERT_TRUE(URLToNativePath(url, native));
    const fs::path folder = N(native);
    EXPECT_EQ(folder.parent_path(), fs::canonical(m_Tmp.Path()));
    struct stat st {};
    ASSERT_EQ(lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, geteuid());
    EXPECT_EQ(N(GetSpecialFolderURL(FIStorageClass::FOLDER_TEMP)), N(url)); // one per process

    // A folder that vanished, or was made public, is replaced.
    chmod(folder.c_str(), 0777);
    const FString replaced = GetSpecialFolderURL(FIStorageClass::FOLDER_TEMP);
    EXPECT_NE(N(replaced), N(url));

    WriteFileBytes(folder / "leftover", "x");
    URLToNativePath(replaced, native);
    const fs::path current = N(native);
    WriteFileBytes(current / "__TempPdxJPG_00000001.tmp", "x");
    ReleaseStorageClasses();
    EXPECT_FALSE(fs::exists(current));
    InitStorageClasses();
}

TEST_F(SpecialFolderTest, StaleTemporaryFoldersOfEndedProcessesAreRemovedAtStart)
{
    FString native;
    ASSERT_TRUE(URLToNativePath(GetSpecialFolderURL(FIStorageClass::FOLDER_TEMP), native));
    const fs::path own = N(native);
    const fs::path tmp = fs::canonical(m_Tmp.Path());
    const auto makeFolder = [&](const std::string& name, bool withLock) {
        fs::create_directories(tmp / name / "Temp");
        WriteFileBytes(tmp / name / "Temp" / "work.tmp", "x");
        if (withLock)
            WriteFileBytes(tmp / name / ".lumitra-owner.lock", "");
    };
    makeFolder("lumitra-ended1", true);  // its process is gone: nobody holds the lock
    makeFolder("lumitra-alive1", true);  // held below, as a running process holds it
    makeFolder("lumitra-legacy", false); // nobody can tell whether its process runs
    makeFolder("lumitra-print-bench", true);
    makeFolder("elsewhere", true);
    fs::create_directory_symlink(tmp / "elsewhere", tmp / "lumitra-linked");
    const int held = open((tmp / "lumitra-alive1" / ".lumitra-owner.lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);

    EXPECT_EQ(RemoveStaleTempFolders(), 1);
    close(held);
    EXPECT_FALSE(fs::exists(tmp / "lumitra-ended1"));
    for (const char* kept : {"lumitra-alive1", "lumitra-legacy", "lumitra-print-bench", "elsewhere/Temp/work.tmp"})
        EXPECT_TRUE(fs::exists(tmp / kept)) << kept;
    EXPECT_TRUE(fs::is_symlink(tmp / "lumitra-linked")) << "a link is never followed";
    EXPECT_TRUE(fs::is_directory(own)) << "this process's own folder";

    // Once its process has ended, the other folder goes too.
    EXPECT_EQ(RemoveStaleTempFolders(), 1);
    EXPECT_FALSE(fs::exists(tmp / "lumitra-alive1"));
    EXPECT_TRUE(fs::is_directory(own));
}

TEST_F(SpecialFolderTest, MoveToTrashKeepsAnInfoFileAndUniqueNames)
{
    TempDir work; // beside the trash, on the same file system
    const fs::path item = m_Home.Path() / "photos" / "IMG 01?.kvr";
    fs::create_directories(item.parent_path());
    WriteFileBytes(item, "first");

    FString path;
    m_Disk.FromNativePath(U(item.string()), path);
    m_Disk.MoveToTrash(path);
    EXPECT_FALSE(fs::exists(item));

    const fs::path trash = m_Home.Path() / "data" / "Trash";
    EXPECT_EQ(ReadFileBytes(trash / "files" / "IMG 01?.kvr"), "first");
    const std::string info = ReadFileBytes(trash / "info" / "IMG 01?.kvr.trashinfo");
    const std::string parent = fs::canonical(item.parent_path()).string();
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + parent + "/IMG%2001%3F.kvr\nDeletionDate=", 0), 0u) << info;
    EXPECT_EQ(info.size(), std::string("[Trash Info]\nPath=" + parent + "/IMG%2001%3F.kvr\nDeletionDate=").size() +
                               std::string("2024-01-01T00:00:00\n").size());

    WriteFileBytes(item, "second");
    m_Disk.MoveToTrash(path);
    EXPECT_EQ(ReadFileBytes(trash / "files" / "IMG 01?.kvr"), "first");
    EXPECT_EQ(ReadFileBytes(trash / "files" / "IMG 01?.2.kvr"), "second");
    EXPECT_TRUE(fs::exists(trash / "info" / "IMG 01?.2.kvr.trashinfo"));

    // Folders go whole.
    fs::create_directories(m_Home.Path() / "album" / "inner");
    m_Disk.FromNativePath(U((m_Home.Path() / "album").string()), path);
    m_Disk.MoveToTrash(path);
    EXPECT_TRUE(fs::is_directory(trash / "files" / "album" / "inner"));

    try {
        m_Disk.MoveToTrash(FString(u"C/no/such/file.kvr"));
        ADD_FAILURE();
    } catch (const FExceptionFileIO& e) {
        EXPECT_STREQ(e.GetMessage(), "FSCDiskWin::MoveToTrash: '/no/such/file.kvr'");
    }
    EXPECT_THROW(m_Disk.MoveToTrash(FString(u"Q/x")), FExceptionFileIO);
}

// An item on another file system goes to that file system's own trash, which
// records the path relative to its top folder.
TEST_F(SpecialFolderTest, MoveToTrashOnAnotherFileSystemUsesItsTopFolder)
{
    std::string pattern = "/dev/shm/lumitra-test-XXXXXX";
    struct stat home {};
    struct stat shm {};
    if (stat(m_Home.Str().c_str(), &home) != 0 || stat("/dev/shm", &shm) != 0 || home.st_dev == shm.st_dev ||
        mkdtemp(pattern.data()) == nullptr)
        GTEST_SKIP() << "no second file system to trash on";
    const fs::path top = pattern;
    WriteFileBytes(m_Home.Path() / "mounts", "/dev/vda / ext4 rw 0 0\ntmpfs " + top.string() + " tmpfs rw 0 0\n");
    SetMountTableFile((m_Home.Path() / "mounts").string());
    fs::create_directories(top / "dir");
    WriteFileBytes(top / "dir" / "a b.kvr", "far");

    FString path;
    m_Disk.FromNativePath(U((top / "dir" / "a b.kvr").string()), path);
    EXPECT_NO_THROW(m_Disk.MoveToTrash(path));
    SetMountTableFile("");
    const fs::path trash = top / (".Trash-" + std::to_string(geteuid()));
    EXPECT_EQ(ReadFileBytes(trash / "files" / "a b.kvr"), "far");
    EXPECT_EQ(ReadFileBytes(trash / "info" / "a b.kvr.trashinfo").rfind("[Trash Info]\nPath=dir/a%20b.kvr\n", 0), 0u);
    EXPECT_EQ(fs::status(trash).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(m_Home.Path() / "data" / "Trash" / "files" / "a b.kvr"));
    fs::remove_all(top);
}

class LaunchTest : public DiskTest {
protected:
    void SetUp() override
    {
        DiskTest::SetUp();
        fs::create_directories(m_Bin.Path());
        m_Document = m_Docs.Path() / "it's $(touch pwned); \"odd\" *.kvr";
        WriteFileBytes(m_Document, "doc");
        m_Disk.FromNativePath(U(m_Document.string()), m_Path);
    }

    void FakeXdgOpen(const std::string& body)
    {
        const fs::path script = m_Bin.Path() / "xdg-open";
        WriteFileBytes(script, "#!/bin/sh\n" + body + "\n");
        fs::permissions(script, fs::perms::owner_all);
    }

    TempDir m_Bin;
    TempDir m_Docs;
    ScopedEnv m_PathEnv{"PATH", m_Bin.Str()};
    fs::path m_Document;
    FString m_Path;
};

TEST_F(LaunchTest, OpensTheDocumentWithoutAShell)
{
    const fs::path record = m_Bin.Path() / "record";
    FakeXdgOpen("printf '%s|%s|%s' \"$#\" \"$1\" \"$(pwd)\" > '" + record.string() + "'");
    m_Disk.Launch(m_Path, FString(u"--ignored"));
    for (int i = 0; i < 200 && !fs::exists(record); ++i)
        usleep(10000);
    EXPECT_EQ(ReadFileBytes(record), "1|" + m_Document.string() + "|" + m_Docs.Str());
    EXPECT_FALSE(fs::exists(m_Docs.Path() / "pwned"));
}

TEST_F(LaunchTest, FailuresMapToExceptionClasses)
{
    const std::string expected = "FSCDiskWin::Launch: '" + m_Document.string() + "'";
    FakeXdgOpen("exit 3"); // no application for it
    try {
        m_Disk.Launch(m_Path, FString());
        ADD_FAILURE();
    } catch (const FExceptionLaunchFailed& e) {
        EXPECT_EQ(e.GetMessage(), expected);
    }

    FakeXdgOpen("exit 4");
    try {
        m_Disk.Launch(m_Path, FString());
        ADD_FAILURE();
    } catch (const FExceptionFileNotFound&) {
        ADD_FAILURE();
    } catch (const FExceptionFileIO& e) {
        EXPECT_EQ(e.GetMessage(), expected);
    }

    FakeXdgOpen("exit 2");
    EXPECT_THROW(m_Disk.Launch(m_Path, FString()), FExceptionFileNotFound);

    FakeXdgOpen("exit 0");
    FString missing = m_Path;
    missing += u".gone";
    EXPECT_THROW(m_Disk.Launch(missing, FString()), FExceptionFileNotFound);
    EXPECT_THROW(m_Disk.Launch(FString(u"C"), FString()), FExceptionFileNotFound);

    fs::remove(m_Bin.Path() / "xdg-open");
    EXPECT_THROW(m_Disk.Launch(m_Path, FString()), FExceptionLaunchFailed);
}

} // namespace
