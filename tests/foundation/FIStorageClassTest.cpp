#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/FException.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "support/StorageFixture.h"

using testsupport::N;
using testsupport::U;

namespace {

std::vector<std::string> Strings(const FArray<FString>& parts)
{
    std::vector<std::string> out;
    for (const FString& part : parts)
        out.push_back(N(part));
    return out;
}

using Parts = std::vector<std::string>;

TEST(StorageURLText, SplitURLDropsEmptyPartsAndTheEmptyScheme)
{
    const struct {
        const char* url;
        Parts parts;
    } cases[] = {
        {"disk://C//Photos/", {"disk", "C", "Photos"}},
        {"C:\\x", {"C:\\x"}},
        {"://x", {"x"}},
        {"disk://", {"disk"}},
        {"disk://Network/srv/pub/a.kvr", {"disk", "Network", "srv", "pub", "a.kvr"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        FArray<FString> parts;
        EXPECT_TRUE(SplitURL(U(c.url), parts));
        EXPECT_EQ(Strings(parts), c.parts) << c.url;
    }
}

TEST(StorageURLText, JoinURL)
{
    FArray<FString> parts;
    FString url(u"stale");
    EXPECT_FALSE(JoinURL(parts, url, true));
    EXPECT_EQ(N(url), "");

    parts.Append(FString(u"disk"));
    ASSERT_TRUE(JoinURL(parts, url, false));
    EXPECT_EQ(N(url), "disk://");
    ASSERT_TRUE(JoinURL(parts, url, true));
    EXPECT_EQ(N(url), "disk:///");

    parts.Append(FString(u"C"));
    parts.Append(FString(u"Photos"));
    ASSERT_TRUE(JoinURL(parts, url, true));
    EXPECT_EQ(N(url), "disk://C/Photos/");
}

TEST(StorageURLText, SplitAndJoinPathParts)
{
    const struct {
        const char* text;
        Parts parts;
    } cases[] = {
        {"/a//b/", {"", "a", "", "b"}},
        {"a/b", {"a", "b"}},
        {"", {}},
        {"/", {""}},
    };
    for (const auto& c : cases) {
        FArray<FString> parts;
        parts.Append(FString(u"stale"));
        SplitPathParts(U(c.text), parts, u'/');
        EXPECT_EQ(Strings(parts), c.parts) << c.text;
    }
    FArray<FString> parts;
    FString joined(u"stale");
    JoinPathParts(parts, joined, u'/');
    EXPECT_EQ(N(joined), "");
    SplitPathParts(FString(u"a//b"), parts, u'/');
    JoinPathParts(parts, joined, u'/');
    EXPECT_EQ(N(joined), "a//b");
}

TEST(StorageURLText, EscapesEncodeAndDecode)
{
    const struct {
        const char* native;
        const char* part;
    } cases[] = {
        {"a?b", "a%003Fb"},
        {"*|\\/:\"<>?", "%002A%007C%005C%002F%003A%0022%003C%003E%003F"},
        {"100% sure", "100% sure"}, // a '%' that cannot be read as an escape stays
        {"%", "%"},
        {"%%", "%%"},
        {"50%ABCD", "50%0025ABCD"}, // would otherwise decode into another name
        {"%0041", "%00250041"},
        {"x%a", "x%0025a"},
        {"%a:", "%0025a%003A"},
        {"%?", "%%003F"},
        {"Ärger 日本", "Ärger 日本"},
    };
    for (const auto& c : cases) {
        FString encoded;
        EncodeURLEscapes(U(c.native), encoded);
        EXPECT_EQ(N(encoded), c.part) << c.native;
        FString decoded;
        DecodeURLEscapes(encoded, decoded);
        EXPECT_EQ(N(decoded), c.native) << c.part;
    }
}

TEST(StorageURLText, DecodeReadsLeadingHexDigitsAndNothingBeyondThePart)
{
    const struct {
        std::u16string part;
        std::u16string decoded;
    } cases[] = {
        {u"a%0041b", u"aAb"},
        {u"%003f", u"?"},
        {u"%12zz!", u"\x12!"},    // "%x" takes the leading digits; five characters go
        {u"%zzzz", u"%zzzz"},     // no digit: a plain '%'
        {u"ab%4", u"ab%4"},       // too short for an escape
        {u"ab%", u"ab%"},
        {u"%0008x", u"\x08x"},    // a backspace unit is kept, not applied
    };
    for (const auto& c : cases) {
        FString decoded;
        DecodeURLEscapes(FString(std::u16string_view(c.part)), decoded);
        EXPECT_EQ(std::u16string(decoded.View()), c.decoded);
    }
}

class StorageRegistry : public testsupport::StorageTest {};

TEST_F(StorageRegistry, FindsSchemesCaseSensitively)
{
    FString path;
    FIStorageClass* disk = FindStorageClass(FString(u"disk://C/x/y"), path);
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(N(path), "C/x/y");
    EXPECT_EQ(N(disk->GetName()), "disk");
    EXPECT_EQ(N(disk->GetDescription()), "physical disks attached to the system");

    EXPECT_EQ(FindStorageClass(FString(u"Disk://C/x"), path), nullptr);
    EXPECT_EQ(FindStorageClass(FString(u"ftp://C/x"), path), nullptr);
    // Without "://" the whole text is the scheme.
    EXPECT_EQ(FindStorageClass(FString(u"disk"), path), disk);
    EXPECT_EQ(N(path), "");
}

TEST_F(StorageRegistry, RoutingOfEmptyMalformedAndUnknownURLs)
{
    EXPECT_EQ(OpenFileByURL(FString(), FIFile::OPEN_READ), nullptr);
    EXPECT_EQ(OpenFileByURL(FString(u"nope://C/etc/hostname"), FIFile::OPEN_READ), nullptr);
    EXPECT_EQ(OpenFileByURL(FString(u"disk://"), FIFile::OPEN_READ), nullptr);
    EXPECT_EQ(OpenFileByURL(FString(u"disk://Q/whatever"), FIFile::OPEN_READ), nullptr);
    EXPECT_EQ(OpenFileByURL(FString(u"disk://C/no/such/file.kvr"), FIFile::OPEN_READ), nullptr);

    FString name;
    EXPECT_EQ(OpenFolderByURL(FString(u"nope://C/"), name, false), nullptr);

    FString native(u"stale");
    EXPECT_FALSE(URLToNativePath(FString(), native));
    EXPECT_EQ(N(native), "");
    EXPECT_FALSE(URLToNativePath(FString(u"nope://C/x"), native));
    EXPECT_FALSE(URLToNativePath(FString(u"disk://"), native));
    ASSERT_TRUE(URLToNativePath(FString(u"disk://C/Photos/2009"), native));
    EXPECT_EQ(N(native), "/Photos/2009");

    FFileInfo info;
    info.m_iFlags = 0x40;
    info.m_uLastWriteTime = 7;
    GetFileInfoByURL(FString(u"disk://C/no/such/file"), info);
    EXPECT_EQ(info.m_iFlags, 0x40);
    EXPECT_EQ(info.m_uLastWriteTime, 7u);
    EXPECT_FALSE(SetFileInfoByURL(FString(u"disk://C/no/such/file"), info));

    EXPECT_EQ(N(GetSpecialFolderURL(7)), "");
}

TEST_F(StorageRegistry, RootFolderListsSchemesAndOpensThem)
{
    FString name;
    FFolderPtr root(OpenFolderByURL(FString(), name, false));
    ASSERT_TRUE(root);
    FArray<FString> folders;
    root->ListFolders(folders);
    EXPECT_EQ(Strings(folders), Parts{"disk"});

    FFolderPtr volumes(root->OpenFolder(FString(u"disk"), false));
    ASSERT_TRUE(volumes);
    EXPECT_EQ(N(volumes->GetURL()), "disk");
    FArray<FString> names;
    volumes->ListFolders(names);
    ASSERT_GE(names.GetCount(), 2);
    EXPECT_EQ(N(names[0]), "C");
    EXPECT_EQ(N(names[names.GetCount() - 1]), "Network");
}

TEST(StorageRegistryLifecycle, ReleaseLeavesNoClass)
{
    InitStorageClasses();
    FString url;
    ASSERT_TRUE(NativePathToURL(FString(u"/tmp/x y"), url));
    EXPECT_EQ(N(url), "disk://C/tmp/x y");
    ReleaseStorageClasses();

    FString path;
    EXPECT_EQ(FindStorageClass(FString(u"disk://C/tmp"), path), nullptr);
    url = FString(u"untouched");
    EXPECT_FALSE(NativePathToURL(FString(u"/tmp"), url));
    EXPECT_EQ(N(url), "untouched");
    EXPECT_EQ(N(GetSpecialFolderURL(FIStorageClass::FOLDER_TEMP)), "");
}

} // namespace
