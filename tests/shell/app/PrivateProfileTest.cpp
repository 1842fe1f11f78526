// The settings file's format: what the settings code relies on when it reads
// and writes keys, and that every text survives a write and a read.
#include "shell/app/PrivateProfile.h"

#include "foundation/FPath.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using testsupport::Utf8FromWide;
using testsupport::WideFromUtf8;

CPrivateProfile Parsed(const std::string& text)
{
    CPrivateProfile profile;
    profile.Parse(text);
    return profile;
}

std::string Get(const CPrivateProfile& profile, const char* section, const char* key, const char* def = "<default>")
{
    return Utf8FromWide(profile.GetString(section, key, FString(def)));
}

TEST(PrivateProfileTest, ReadsKeysAsThePlatformDid)
{
    const CPrivateProfile profile = Parsed("Stray=1\n"
                                           "[Thumb]\n"
                                           "  ThumbSize =  7  \r\n"
                                           "Quoted=\" padded \"\n"
                                           "Single='x'\n"
                                           "Half=\"open\n"
                                           "Empty=\n"
                                           "; comment=9\n"
                                           "ThumbSize=8\n"
                                           "[thumb]\n"
                                           "SortMode=3\n"
                                           "[Review]\n"
                                           "ZoomIndex=-1\n");
    EXPECT_EQ(Get(profile, "Thumb", "ThumbSize"), "7");           // trimmed, first key wins
    EXPECT_EQ(Get(profile, "THUMB", "thumbsize"), "7");           // names ignore ASCII case
    EXPECT_EQ(Get(profile, "Thumb", "Quoted"), " padded ");       // one pair of quotes removed
    EXPECT_EQ(Get(profile, "Thumb", "Single"), "x");
    EXPECT_EQ(Get(profile, "Thumb", "Half"), "\"open");
    EXPECT_EQ(Get(profile, "Thumb", "Empty"), "");                // present but empty: not the default
    EXPECT_EQ(Get(profile, "Thumb", "; comment"), "<default>");
    EXPECT_EQ(Get(profile, "Thumb", "SortMode"), "<default>");    // only the first section of a name counts
    EXPECT_EQ(Get(profile, "Review", "ZoomIndex"), "-1");
    EXPECT_EQ(Get(profile, "Review", "Stray"), "<default>");      // keys before any section belong to none
    EXPECT_EQ(Get(profile, "Missing", "Key"), "<default>");
}

TEST(PrivateProfileTest, ValuesAreCutToTheBuffer)
{
    const CPrivateProfile profile = Parsed("[S]\nK=abcdef\n");
    EXPECT_EQ(Utf8FromWide(profile.GetString("S", "K", FString(), 4)), "abc");
    EXPECT_EQ(Utf8FromWide(profile.GetString("S", "K", FString(), 1)), "");
}

TEST(PrivateProfileTest, WritesInPlaceAndKeepsEverythingElse)
{
    CPrivateProfile profile = Parsed("; my notes\n"
                                     "[Thumb]\n"
                                     "ThumbSize=7\n"
                                     "Unknown=keep me\n"
                                     "\n"
                                     "[Review]\n"
                                     "MaxSize=1\n");
    profile.WriteString("thumb", "THUMBSIZE", FString(u"9")); // the file's spelling stays
    profile.WriteString("Thumb", "SortMode", FString(u"2"));
    profile.WriteString("Preference", "Splash", FString(u"0"));
    EXPECT_EQ(profile.Serialize(), "; my notes\n"
                                   "[Thumb]\n"
                                   "ThumbSize=9\n"
                                   "Unknown=keep me\n"
                                   "SortMode=2\n"
                                   "\n"
                                   "[Review]\n"
                                   "MaxSize=1\n"
                                   "[Preference]\n"
                                   "Splash=0\n");
}

TEST(PrivateProfileTest, EveryTextSurvivesAWriteAndARead)
{
    const std::string undecodable = "/photos/\xff\xfe-name";
    const FString texts[] = {
        FString(u"plain"),
        FString(u"  leading and trailing  "),
        FString(u"\"quoted\""),
        FString(u"'"),
        FString(u"a=b;c [d]"),
        WideFromUtf8("/Fotos/Übersee/日本"),
        PathFromNative(undecodable),
        FString(u""),
    };
    CPrivateProfile profile;
    for (size_t i = 0; i < std::size(texts); ++i)
        profile.WriteString("S", "K" + std::to_string(i), texts[i]);
    const CPrivateProfile read = Parsed(profile.Serialize());
    for (size_t i = 0; i < std::size(texts); ++i)
        EXPECT_EQ(read.GetString("S", "K" + std::to_string(i), FString(u"?")), texts[i]) << i;
    std::string native;
    ASSERT_TRUE(PathToNative(read.GetString("S", "K6", FString()), native));
    EXPECT_EQ(native, undecodable);
}

TEST(PrivateProfileTest, LineBreaksCannotStartANewKey)
{
    CPrivateProfile profile;
    profile.WriteString("S", "Dir", FString(u"/a\n[Evil]\nSplash=0\r"));
    const CPrivateProfile read = Parsed(profile.Serialize());
    EXPECT_EQ(Get(read, "S", "Dir"), "/a[Evil]Splash=0");
    EXPECT_EQ(Get(read, "Evil", "Splash"), "<default>");
}

TEST(PrivateProfileTest, StructuresCarryAChecksum)
{
    const unsigned char data[5] = {0x00, 0x7F, 0x80, 0xFF, 0x10};
    CPrivateProfile profile;
    profile.WriteStruct("S", "Font", data, sizeof data);
    const std::string text = profile.Serialize();
    EXPECT_EQ(text, "[S]\nFont=007F80FF100E\n"); // 0x00+0x7F+0x80+0xFF+0x10 = 0x20E

    unsigned char read[5] = {};
    EXPECT_TRUE(Parsed(text).GetStruct("S", "Font", read, sizeof read));
    EXPECT_EQ(std::memcmp(read, data, sizeof data), 0);
    EXPECT_TRUE(Parsed("[S]\nFont=007f80ff100e\n").GetStruct("S", "Font", read, sizeof read));

    struct Case {
        const char* text;
        size_t size;
    } damaged[] = {
        {"[S]\nFont=007F80FF100F\n", 5}, // checksum wrong
        {"[S]\nFont=007F80FF100E\n", 4}, // another structure's length
        {"[S]\nFont=007F80FF10\n", 5},   // cut
        {"[S]\nFont=007G80FF100E\n", 5}, // not hexadecimal
        {"[S]\nOther=1\n", 5},           // missing
    };
    for (const Case& c : damaged) {
        unsigned char out[5] = {1, 2, 3, 4, 5};
        EXPECT_FALSE(Parsed(c.text).GetStruct("S", "Font", out, c.size)) << c.text;
        EXPECT_EQ(out[0], 1) << c.text;
    }
}

} // namespace
