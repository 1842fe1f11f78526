// The program's folders, the desktop's open command of a file type, the
// clipboard's data formats, the file dialogs' filter strings and the cache of
// settings last applied to files.
#include "shell/app/AppFolders.h"
#include "shell/app/CImageSettingsCache.h"
#include "shell/app/ClipboardData.h"
#include "shell/app/FileTypeCommand.h"

#include "foundation/FPath.h"
#include "foundation/FSCDiskWin.h"
#include "shell/facade/CKVR_FilterData.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::Utf8FromWide;
using testsupport::WideFromUtf8;
using testsupport::WriteFileBytes;

TEST(ShellHelpersTest, ProgramFolders)
{
    TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", (dir.Path() / "config").string());
    std::filesystem::create_directories(dir.Path() / "bin" / "resources");
    SetAppProgramPath(WideFromUtf8((dir.Path() / "bin" / "Lumitra4").string()));

    const std::string user = (dir.Path() / "config" / "Lumitra").string();
    const std::string program = (dir.Path() / "bin" / "resources").string();
    EXPECT_EQ(Utf8FromWide(GetAppFolder(0)), user);
    EXPECT_EQ(Utf8FromWide(GetAppFolder(1)), user);
    EXPECT_TRUE(std::filesystem::is_directory(user)); // made when missing
    for (const int kind : {2, 3, 4, 8})
        EXPECT_EQ(Utf8FromWide(GetAppFolder(kind)), program) << kind;
    EXPECT_EQ(Utf8FromWide(GetAppFolder(5)), program + "/icc");
    const FString temp = GetAppFolder(7);
    EXPECT_EQ(temp, PathJoin(GetPrivateTempFolder(), FString(u"Temp")));
    EXPECT_EQ(GetAppFolder(6), PathJoin(temp, FString(u"ICCProfile")));
    for (const int kind : {-1, 9, 100})
        EXPECT_EQ(GetAppFolder(kind), FString()) << kind;

    // Without a per-user folder there is no temporary folder either: nothing
    // is ever made or deleted at the root.
    WriteFileBytes(dir.Path() / "not-a-folder", "x");
    ScopedEnv broken("XDG_CONFIG_HOME", (dir.Path() / "not-a-folder").string());
    EXPECT_EQ(GetAppFolder(1), FString());
    EXPECT_EQ(GetAppFolder(6), FString());
    EXPECT_EQ(GetAppFolder(7), FString());
    SetAppProgramPath(FString());
}

class FileTypeCommandTest : public ::testing::Test {
protected:
    FileTypeCommandTest()
        : m_Home("HOME", m_Dir.Str()), m_Config("XDG_CONFIG_HOME", m_Dir.Str() + "/config"),
          m_ConfigDirs("XDG_CONFIG_DIRS", m_Dir.Str() + "/etc"), m_Data("XDG_DATA_HOME", m_Dir.Str() + "/data"),
          m_DataDirs("XDG_DATA_DIRS", m_Dir.Str() + "/system")
    {
        Write("system/mime/globs2", "# comment\n"
                                    "50:image/x-test:*.tst\n"
                                    "40:text/x-other:*.tst\n"
                                    "50:video/x-case:*.CaSe:cs\n"
                                    "50:image/x-cached:*.cch\n"
                                    "bad line\n");
        Write("data/applications/viewer.desktop", "[Desktop Entry]\nName=Viewer\nExec=\"/opt/My Viewer/view\" --open %U\n");
        Write("system/applications/player.desktop", "[Desktop Entry]\nExec=player --fullscreen %f\n");
        Write("system/applications/gone.desktop", "[Desktop Entry]\nHidden=true\nExec=gone %f\n");
        Write("config/mimeapps.list", "[Default Applications]\nimage/x-test=missing.desktop;viewer.desktop;\n");
        Write("etc/mimeapps.list", "[Default Applications]\nvideo/x-case=player.desktop\n");
        Write("system/applications/mimeinfo.cache", "[MIME Cache]\nimage/x-cached=gone.desktop;player.desktop;\n");
    }
    void Write(const std::string& name, const std::string& text)
    {
        std::filesystem::create_directories((m_Dir.Path() / name).parent_path());
        WriteFileBytes(m_Dir.Path() / name, text);
    }

    TempDir m_Dir;
    ScopedEnv m_Home, m_Config, m_ConfigDirs, m_Data, m_DataDirs;
};

TEST_F(FileTypeCommandTest, TheDesktopsDefaultApplication)
{
    struct Case {
        const char16_t* extension;
        const char* command;
        const char* program;
    } cases[] = {
        {u"tst", "\"/opt/My Viewer/view\" --open %U", "/opt/My Viewer/view"},
        {u".TST", "\"/opt/My Viewer/view\" --open %U", "/opt/My Viewer/view"},
        {u".CaSe", "player --fullscreen %f", "player"},
        {u".case", "", ""},  // a case-sensitive glob
        {u"cch", "player --fullscreen %f", "player"}, // from the cache, past a hidden entry
        {u"unknown", "", ""},
        {u"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8FromWide(GetFileTypeOpenCommand(FString(c.extension))), c.command) << Utf8FromWide(FString(c.extension));
        EXPECT_EQ(Utf8FromWide(GetAssociatedProgram(FString(c.extension))), c.program);
    }
}

TEST(ShellHelpersTest, ProgramOfACommand)
{
    EXPECT_EQ(ProgramOfCommand(FString()), FString());
    EXPECT_EQ(ProgramOfCommand(FString(u"\"/opt/a b/c\" %f")), FString(u"/opt/a b/c"));
    EXPECT_EQ(ProgramOfCommand(FString(u"\"/opt/unclosed")), FString(u"/opt/unclosed"));
    EXPECT_EQ(ProgramOfCommand(FString(u"/usr/bin/vlc --started-from-file %U")), FString(u"/usr/bin/vlc"));
    EXPECT_EQ(ProgramOfCommand(FString(u"totem")), FString(u"totem"));
}

TEST(ShellHelpersTest, MultiStrings)
{
    FArray<FString> strings;
    strings.Append(FString(u"abcd"));
    strings.Append(FString(u"*.exe"));
    EXPECT_EQ(BuildMultiString(nullptr, 0, strings), 12);
    char16_t buffer[12];
    EXPECT_EQ(BuildMultiString(buffer, 12, strings), 12);
    EXPECT_EQ(std::u16string(buffer, 12), std::u16string(u"abcd\0*.exe\0\0", 12));
    char16_t small[6] = {u'x', u'x', u'x', u'x', u'x', u'x'};
    EXPECT_EQ(BuildMultiString(small, 6, strings), 12);
    EXPECT_EQ(small[5], 0); // cut, but terminated
    EXPECT_EQ(BuildMultiString(nullptr, 0, FArray<FString>()), 1);
}

TEST(ShellHelpersTest, ClipboardFileListsAndText)
{
    FArray<FString> paths;
    paths.Append(FString(u"/home/a/IMG_0001.kvr"));
    paths.Append(WideFromUtf8("/home/a/Übersee.jpg"));
    paths.Append(FString(u"/home/a/b c"));
    const std::vector<BYTE> block = MakeClipboardFileList(paths);
    size_t characters = 0;
    for (const FString& path : paths)
        characters += static_cast<size_t>(path.GetLength()) + 1;
    EXPECT_EQ(block.size(), 20 + 2 * (characters + 1));
    FArray<FString> read;
    read.Append(FString(u"/kept"));
    ASSERT_TRUE(ReadClipboardFileList(block.data(), block.size(), read));
    ASSERT_EQ(read.GetCount(), 4);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(read[i + 1], paths[i]);

    DWORD effect = 0;
    const std::vector<BYTE> cut = MakeClipboardDropEffect(kDropEffectMove);
    ASSERT_TRUE(ReadClipboardDropEffect(cut.data(), cut.size(), effect));
    EXPECT_EQ(effect, 2u);
    EXPECT_FALSE(ReadClipboardDropEffect(cut.data(), 3, effect));

    const std::vector<BYTE> text = MakeClipboardText(u"one\ntwo\r\nthree");
    const std::u16string expected(u"one\r\ntwo\r\nthree\0", 16);
    ASSERT_EQ(text.size(), expected.size() * 2);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(text[2 * i] | text[2 * i + 1] << 8, expected[i]) << i;
}

TEST(ShellHelpersTest, ForeignFileListsAreChecked)
{
    const auto header = [](uint32_t namesAt, uint32_t wide) {
        std::vector<BYTE> block(20, 0);
        block[0] = static_cast<BYTE>(namesAt);
        block[1] = static_cast<BYTE>(namesAt >> 8);
        block[16] = static_cast<BYTE>(wide);
        return block;
    };
    std::vector<BYTE> narrow = header(20, 0);
    for (const char c : std::string("/tmp/x\0/tmp/\xc3\xbc\0\0", 16))
        narrow.push_back(static_cast<BYTE>(c));
    FArray<FString> paths;
    ASSERT_TRUE(ReadClipboardFileList(narrow.data(), narrow.size(), paths));
    ASSERT_EQ(paths.GetCount(), 2);
    EXPECT_EQ(paths[1], WideFromUtf8("/tmp/ü"));

    std::vector<BYTE> unterminated = header(20, 1);
    unterminated.insert(unterminated.end(), {'/', 0, 'a', 0});
    std::vector<BYTE> beyond = header(400, 1);
    std::vector<BYTE> inHeader = header(8, 1);
    std::vector<BYTE> empty = header(20, 1);
    empty.insert(empty.end(), {0, 0});
    for (const std::vector<BYTE>* bad : {&unterminated, &beyond, &inHeader, &empty}) {
        FArray<FString> none;
        EXPECT_FALSE(ReadClipboardFileList(bad->data(), bad->size(), none));
        EXPECT_EQ(none.GetCount(), 0);
    }
    FArray<FString> none;
    EXPECT_FALSE(ReadClipboardFileList(narrow.data(), 12, none));
    EXPECT_FALSE(ReadClipboardFileList(nullptr, 0, none));
}

TEST(ShellHelpersTest, SettingsLastAppliedToFiles)
{
    CImageSettingsCache cache;
    CKVR_FilterData raw;
    raw.m_nExposure = 50;
    raw.m_nFillLight = 20;
    CET_FilterData picture;
    picture.m_nContrast = 10;
    cache.Set(FString(u"/a/x.kvr"), &raw);
    cache.Set(FString(u"/a/y.jpg"), &picture);
    raw.m_nExposure = 70;
    cache.Set(FString(u"/a/x.kvr"), &raw);
    int index = -1;
    ASSERT_NE(cache.Find(FString(u"/a/x.kvr"), &index), nullptr);
    EXPECT_EQ(cache.GetCount(), 2);
    EXPECT_EQ(index, 1); // set again: one entry, at the end
    EXPECT_EQ(cache.Find(FString(u"/a/X.KVR")), nullptr); // paths are case-sensitive

    const std::unique_ptr<CET_FilterData> copy = cache.Get(FString(u"/a/x.kvr"));
    const auto* rawCopy = dynamic_cast<const CKVR_FilterData*>(copy.get());
    ASSERT_NE(rawCopy, nullptr); // a raw-file record stays one
    EXPECT_EQ(rawCopy->m_nExposure, 70);
    EXPECT_EQ(rawCopy->m_nFillLight, 20);
    EXPECT_EQ(cache.Get(FString(u"/a/none.jpg")), nullptr);

    cache.Remove(FString(u"/a/y.jpg"));
    EXPECT_EQ(cache.GetCount(), 1);
    cache.Set(FString(u"/a/x.kvr"), nullptr);
    EXPECT_EQ(cache.GetCount(), 0);
}

} // namespace
