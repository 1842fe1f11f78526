#include <gtest/gtest.h>

#include <string>

#include "foundation/FPath.h"

namespace {

FString U(const std::string& utf8) { return PathFromNative(utf8); }

std::string N(const FString& text)
{
    std::string bytes;
    EXPECT_TRUE(PathToNative(text, bytes));
    return bytes;
}

TEST(Path, PartsOfPaths)
{
    const struct {
        const char* path;
        const char* parent;
        const char* fileName;
        const char* extension;
        const char* normalized;
    } cases[] = {
        {"/a/b.kvr", "/a", "b.kvr", "kvr", "/a/b.kvr"},
        {"/a", "/", "a", "", "/a"},
        {"/", "", "", "", "/"},
        {"b.jpg", "", "b.jpg", "jpg", "b.jpg"},
        {"/a.d/b", "/a.d", "b", "", "/a.d/b"},
        {"/x/.profile", "/x", ".profile", "", "/x/.profile"},
        {"//a//b//", "//a", "b", "", "/a/b"},
        {"/a/./b/../c", "/a/./b/..", "c", "", "/a/b/../c"},
        {"/a/x.tar.gz", "/a", "x.tar.gz", "gz", "/a/x.tar.gz"},
        {"/dir:?*\\/f\"<>|", "/dir:?*\\", "f\"<>|", "", "/dir:?*\\/f\"<>|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(N(PathParent(U(c.path))), c.parent);
        EXPECT_EQ(N(PathFileName(U(c.path))), c.fileName);
        EXPECT_EQ(N(PathExtension(U(c.path))), c.extension);
        EXPECT_EQ(N(PathNormalize(U(c.path))), c.normalized);
    }
}

TEST(Path, JoinCompareAndContain)
{
    EXPECT_EQ(N(PathJoin(U("/a"), U("b"))), "/a/b");
    EXPECT_EQ(N(PathJoin(U("/a/"), U("/b"))), "/a/b");
    EXPECT_EQ(N(PathJoin(U("/"), U("b"))), "/b");
    EXPECT_EQ(N(PathJoin(U(""), U("b"))), "b");

    EXPECT_TRUE(PathEquals(U("/a//b/"), U("/a/b")));
    EXPECT_FALSE(PathEquals(U("/a/B"), U("/a/b"))); // case-sensitive
    EXPECT_TRUE(PathIsInside(U("/a/b/c"), U("/a/b/")));
    EXPECT_TRUE(PathIsInside(U("/a/b"), U("/a/b")));
    EXPECT_FALSE(PathIsInside(U("/a/bc"), U("/a/b")));
    EXPECT_TRUE(PathIsInside(U("/x"), U("/")));

    EXPECT_TRUE(PathIsEntryName(U("a:b?")));
    EXPECT_FALSE(PathIsEntryName(U("a/b")));
    EXPECT_FALSE(PathIsEntryName(U("")));
    EXPECT_FALSE(PathIsEntryName(FString(std::u16string_view(u"a\0b", 3))));
}

TEST(Path, EveryFileNameSurvivesTheTripToTextAndBack)
{
    const std::string names[] = {
        "plain", "Ärger 日本 😀", "\xFF\xFE", "a\xC3(b", "\xE2\x82", "\xED\xA0\x80", "\xC0\xAF", "\x80x\xBF",
    };
    for (const std::string& name : names) {
        const FString text = PathFromNative(name);
        std::string back;
        ASSERT_TRUE(PathToNative(text, back));
        EXPECT_EQ(back, name);
    }
    EXPECT_EQ(std::u16string(PathFromNative("\xFF").View()), std::u16string(1, char16_t(0xDCFF)));

    // Text that names no file.
    std::string bytes;
    EXPECT_FALSE(PathToNative(FString(std::u16string_view(u"a\0b", 3)), bytes));
    EXPECT_FALSE(PathToNative(FString(std::u16string(1, char16_t(0xD800))), bytes));
    EXPECT_FALSE(PathToNative(FString(std::u16string(1, char16_t(0xDC10))), bytes));
}

} // namespace
