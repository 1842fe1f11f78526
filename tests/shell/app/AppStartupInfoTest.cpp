// What start-up reads first: the version numbers of the FileVersion text and
// the command line's file and splash flag.
#include "shell/app/AppStartupInfo.h"

#include "foundation/FPath.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <filesystem>

#include <sys/stat.h>

namespace {

TEST(AppStartupInfo, FileVersionNumbers)
{
    struct Case {
        std::u16string_view text;
        std::array<int, 4> numbers;
    };
    const Case cases[] = {
        {u"1, 2, 3, 4", {1, 2, 3, 4}},
        {u"1.2", {1, 2, 0, 0}},
        {u"abc", {0, 0, 0, 0}},
        {u"7", {0, 0, 0, 0}},  // no separator: nothing is split off
        {u"4.0.12", {4, 0, 12, 0}},
        {u"3,1,4,1,5", {3, 1, 4, 1}}, // the last number stops at its own end
        {u"2. x.9", {2, 0, 9, 0}},
        {u"99999999999.1", {2147483647, 1, 0, 0}},
        {u"", {0, 0, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseFileVersion(c.text), c.numbers) << std::string(c.text.begin(), c.text.end());
    const std::array<int, 4> own = ParseFileVersion(kProgramFileVersion);
    EXPECT_GT(own[0], 0);
}

TEST(AppStartupInfo, CommandLineFileAndSplash)
{
    const std::string here = std::filesystem::current_path().lexically_normal().string();
    struct Case {
        std::vector<std::string> arguments;
        std::string file;
        bool splash;
    };
    const Case cases[] = {
        {{}, "", true},
        {{"/photos/trip"}, "/photos/trip", true},
        {{"/photos/a/../b/./x.kvr"}, "/photos/b/x.kvr", true},
        {{"-Embedding", "/p"}, "/p", false},
        {{"--automation"}, "", false},
        {{"-unknown", "/first", "/second"}, "/first", true},
        {{"--", "-named-like-a-switch"}, here + "/-named-like-a-switch", true},
        {{"relative/pic.jpg"}, here + "/relative/pic.jpg", true},
    };
    for (const Case& c : cases) {
        const StartCommandLine parsed = ParseStartCommandLine(c.arguments);
        std::string file;
        ASSERT_TRUE(PathToNative(parsed.m_strFileName, file));
        EXPECT_EQ(file, c.file);
        EXPECT_EQ(parsed.m_bShowSplash, c.splash) << file;
    }
}

TEST(AppStartupInfo, WhatASecondStartMayHandOver)
{
    const testsupport::TempDir folder;
    for (const char* name : {"a.kvr", "b.JPG", "c.tif", "d.avi", "notes.txt", "picture"})
        testsupport::WriteFileBytes(folder.Path() / name, "x");
    ::mkfifo((folder.Path() / "pipe.jpg").c_str(), 0600);
    struct Case {
        std::string path;
        bool accepted;
    };
    const Case cases[] = {
        {folder.Str(), true},
        {(folder.Path() / "a.kvr").string(), true},
        {(folder.Path() / "b.JPG").string(), true},
        {(folder.Path() / "c.tif").string(), true},
        {(folder.Path() / "d.avi").string(), true},
        {(folder.Path() / "notes.txt").string(), false},
        {(folder.Path() / "picture").string(), false},
        {(folder.Path() / "missing.kvr").string(), false},
        {(folder.Path() / "pipe.jpg").string(), false},
        {"/dev/zero", false},
        {"/proc/self/mem", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsHandOverTarget(testsupport::WideFromUtf8(c.path).View()), c.accepted) << c.path;
    }
}

} // namespace
