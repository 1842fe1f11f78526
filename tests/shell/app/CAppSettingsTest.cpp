// The settings file: the defaults of a first run, the values the reader
// treats specially, every key through a write and a read, and the file
// written so that nothing is ever lost.
#include "shell/app/CAppSettings.h"

#include "shell/app/PrivateProfile.h"
#include "support/CommaLocale.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::Utf8FromWide;
using testsupport::WideFromUtf8;
using testsupport::WriteFileBytes;

LOGFONTW GuiFont()
{
    LOGFONTW font{};
    font.lfHeight = -11;
    font.lfWeight = FW_NORMAL;
    std::memcpy(font.lfFaceName, u"MS Shell Dlg", sizeof(u"MS Shell Dlg"));
    return font;
}

const FString kDefaultName(u"Custom");

void ReadText(CAppSettings& settings, const std::string& text)
{
    CPrivateProfile profile;
    profile.Parse(text);
    settings.ReadFrom(profile, kDefaultName, GuiFont());
}

std::string WrittenText(const CAppSettings& settings)
{
    CPrivateProfile profile;
    settings.WriteTo(profile);
    return profile.Serialize();
}

TEST(CAppSettingsTest, FirstRunDefaults)
{
    CAppSettings s;
    ReadText(s, "");
    EXPECT_EQ(s.m_nInitialReviewMode, 1);
    EXPECT_EQ(s.m_nThumbSize, 5);
    EXPECT_EQ(s.m_nFormatFilter, 0);
    EXPECT_EQ(s.m_nStateFilter, 0);
    EXPECT_EQ(s.m_nSortMode, 0);
    EXPECT_EQ(s.m_nSplash, 1);
    EXPECT_EQ(s.m_nJPEGAlert, 1);
    EXPECT_EQ(s.m_dwPaletteState, 0x33u);
    EXPECT_EQ(s.m_nZoomIndex, -1);
    EXPECT_EQ(s.m_byShadow, 0);
    EXPECT_EQ(s.m_byHighLight, 255);
    EXPECT_EQ(s.m_HeadFootPrint.m_nPos, 6);
    EXPECT_EQ(s.m_nSlideShowType, 1);
    EXPECT_EQ(s.m_nSlideShowDuration, 5);
    EXPECT_EQ(s.m_nSlideShowLoop, 0);
    EXPECT_EQ(s.m_nSaveJPEG, 10);
    EXPECT_EQ(s.m_nKVRFilterMode, 1);
    EXPECT_EQ(s.m_nJTFilterMode, 1);
    EXPECT_EQ(s.m_KVRFilterData.m_strName, kDefaultName);
    EXPECT_EQ(s.m_KVRFilterData.m_nCyan, 0);
    EXPECT_EQ(s.m_JTFilterData.m_nYellow, 0);
    EXPECT_EQ(s.m_rcThumbWindow, RECT{});
    EXPECT_EQ(s.m_strThumbDir, FString());
    for (const LOGFONTW* font : {&s.m_InfoPrint.m_Font, &s.m_HeadFootPrint.m_Font}) {
        EXPECT_EQ(font->lfHeight, 100);
        EXPECT_EQ(font->lfQuality, ANTIALIASED_QUALITY);
        EXPECT_EQ(std::u16string(font->lfFaceName), u"MS Shell Dlg");
    }
}

TEST(CAppSettingsTest, SpecialReads)
{
    struct Case {
        const char* text;
        int32_t kvrMode;
        uint32_t paletteState;
        uint8_t highLight;
    } cases[] = {
        {"[Filter]\nKVR_FilterMode=7\n[Adjust]\nPaletteState=0x1F\n[Review]\nHighLight=300\n", 1, 31, 44},
        {"[Filter]\nKVR_FilterMode=4\n[Adjust]\nPaletteState=1F\n[Review]\nHighLight=-1\n", 4, 31, 255},
        {"[Filter]\nKVR_FilterMode=0\n[Adjust]\nPaletteState=0Xff zz\n[Review]\nHighLight=12abc\n", 1, 255, 12},
        {"[Filter]\nKVR_FilterMode=-3\n[Adjust]\nPaletteState=zz\n[Review]\nHighLight=abc\n", 1, 0, 0},
    };
    for (const Case& c : cases) {
        CAppSettings s;
        ReadText(s, c.text);
        EXPECT_EQ(s.m_nKVRFilterMode, c.kvrMode) << c.text;
        EXPECT_EQ(s.m_dwPaletteState, c.paletteState) << c.text;
        EXPECT_EQ(s.m_byHighLight, c.highLight) << c.text;
    }
    CAppSettings s;
    ReadText(s, "[Adjust]\nPaletteState=1f\n");
    EXPECT_NE(WrittenText(s).find("PaletteState=0x1F\n"), std::string::npos);
}

TEST(CAppSettingsTest, GainsBecomeDensities)
{
    struct Case {
        const char* red;
        const char* green;
        const char* blue;
        int cyan, magenta, yellow;
    } cases[] = {
        {"1.0", "1.0", "1.0", 0, 0, 0},
        {"0.501187", "1.000000", "1.000000", 30, 0, 0},
        {"1.0", "0.5", "0.25", 0, 30, 60},
        // A gain of 0, a negative one or text that is no number counts as 1.0:
        // no infinite density ever reaches the record.
        {"0", "1.0", "abc", 0, 0, 0},
        {"-2", "1e999", "nan", 0, 0, 0},
        // Densities stay within what the gains' six decimals carry.
        {"1.0", "0.000001", "1e-30", 0, 400, 400},
    };
    for (const Case& c : cases) {
        CAppSettings s;
        ReadText(s, std::string("[Filter]\nKVR_ColorR=") + c.red + "\nKVR_ColorG=" + c.green + "\nKVR_ColorB=" + c.blue +
                        "\nJT_ColorR=" + c.red + "\n");
        EXPECT_EQ(s.m_KVRFilterData.m_nCyan, c.cyan) << c.red << " " << c.green << " " << c.blue;
        EXPECT_EQ(s.m_KVRFilterData.m_nMagenta, c.magenta) << c.red << " " << c.green << " " << c.blue;
        EXPECT_EQ(s.m_KVRFilterData.m_nYellow, c.yellow) << c.red << " " << c.green << " " << c.blue;
        EXPECT_EQ(s.m_JTFilterData.m_nCyan, c.cyan) << c.red;
    }
    CAppSettings s;
    ReadText(s, "");
    const std::string written = WrittenText(s);
    for (const char* key : {"KVR_ColorR=1.000000\n", "KVR_ColorG=1.000000\n", "JT_ColorB=1.000000\n"})
        EXPECT_NE(written.find(key), std::string::npos) << key;
}

TEST(CAppSettingsTest, NumbersIgnoreTheUsersLocale)
{
    testsupport::ScopedCommaLocale comma;
    if (!comma.Active())
        GTEST_SKIP() << "no locale with a decimal comma";
    CAppSettings s;
    ReadText(s, "[Filter]\nKVR_ColorR=0.5\n");
    EXPECT_EQ(s.m_KVRFilterData.m_nCyan, 30);
    s.m_KVRFilterData.m_nCyan = 0;
    EXPECT_NE(WrittenText(s).find("KVR_ColorR=1.000000\n"), std::string::npos);
}

TEST(CAppSettingsTest, DamagedFontFallsBackToTheGuiFont)
{
    CAppSettings written;
    ReadText(written, "");
    written.m_InfoPrint.m_Font.lfHeight = 80;
    written.m_InfoPrint.m_Font.lfWeight = FW_BOLD;
    std::string text = WrittenText(written);

    CAppSettings intact;
    ReadText(intact, text);
    EXPECT_EQ(intact.m_InfoPrint.m_Font.lfHeight, 80);
    EXPECT_EQ(intact.m_InfoPrint.m_Font.lfWeight, FW_BOLD);

    const size_t at = text.find("[InfoPrintSetting]");
    const size_t font = text.find("Font=", at) + 5;
    text[font] = text[font] == '0' ? '1' : '0'; // the checksum no longer fits
    CAppSettings damaged;
    ReadText(damaged, text);
    EXPECT_EQ(damaged.m_InfoPrint.m_Font.lfHeight, 100);
    EXPECT_EQ(damaged.m_InfoPrint.m_Font.lfWeight, FW_NORMAL);
    EXPECT_EQ(damaged.m_HeadFootPrint.m_Font.lfHeight, 100); // the other one was a default too
}

// Gives every key a value of its own and compares keys one by one.
class DistinctValues {
public:
    explicit DistinctValues(bool check) : m_bCheck(check) {}

    void operator()(const char* section, const char* key, const char*, int32_t& value)
    {
        Visit(section, key, value, static_cast<int32_t>(m_nNext * 37 - 1000));
    }
    void operator()(const char* section, const char* key, const char*, FString& value)
    {
        Visit(section, key, value, WideFromUtf8(" /Bilder/ü " + std::to_string(m_nNext) + " \"x\" "));
    }
    void Byte(const char* section, const char* key, const char*, uint8_t& value)
    {
        Visit(section, key, value, static_cast<uint8_t>(m_nNext * 7));
    }
    void Hex(const char* section, const char* key, const char*, uint32_t& value)
    {
        Visit(section, key, value, 0xFEDC0000u + m_nNext);
    }
    void FilterMode(const char* section, const char* key, const char*, int32_t& value)
    {
        Visit(section, key, value, static_cast<int32_t>(2 + m_nNext % 3));
    }
    void Gains(const char* section, const char* prefix, const char*, CET_FilterData& record)
    {
        // Densities the gains carry exactly: the strongest channel has 0.
        Visit(section, prefix, record.m_nCyan, 0);
        Visit(section, prefix, record.m_nMagenta, static_cast<int>(10 + m_nNext % 50));
        Visit(section, prefix, record.m_nYellow, static_cast<int>(70 + m_nNext % 30));
    }
    void PresetName(const char* section, const char* key, FString& value)
    {
        Visit(section, key, value, WideFromUtf8("Preset " + std::to_string(m_nNext)));
    }
    void Colour(const char* section, const char* key, const char*, COLORREF& value)
    {
        Visit(section, key, value, RGB(static_cast<BYTE>(m_nNext), 0x80, 0x7F));
    }
    void Font(const char* section, const char* key, LOGFONTW& value)
    {
        LOGFONTW font{};
        font.lfHeight = static_cast<LONG>(m_nNext);
        font.lfWeight = FW_BOLD;
        font.lfItalic = 1;
        font.lfCharSet = DEFAULT_CHARSET;
        std::memcpy(font.lfFaceName, u"DejaVu Serif", sizeof(u"DejaVu Serif"));
        ++m_nNext;
        m_Keys.insert(std::string(section) + "/" + key);
        if (!m_bCheck)
            value = font;
        else
            EXPECT_EQ(std::memcmp(&value, &font, sizeof font), 0) << section << "/" << key;
    }

    std::set<std::string> m_Keys;

private:
    template <class T>
    void Visit(const char* section, const char* key, T& value, const T& distinct)
    {
        ++m_nNext;
        m_Keys.insert(std::string(section) + "/" + key);
        if (!m_bCheck)
            value = distinct;
        else
            EXPECT_EQ(value, distinct) << section << "/" << key;
    }

    bool m_bCheck;
    unsigned m_nNext = 1;
};

TEST(CAppSettingsTest, EveryKeySurvivesAWriteAndARead)
{
    TempDir dir;
    const FString path = WideFromUtf8((dir.Path() / "TLumitra.ini").string());
    CAppSettings written;
    DistinctValues fill(false);
    written.VisitKeys(fill);
    ASSERT_TRUE(written.WriteFile(path));

    CAppSettings read;
    ASSERT_TRUE(read.ReadFile(path, kDefaultName, GuiFont()));
    DistinctValues check(true);
    read.VisitKeys(check);
    EXPECT_EQ(check.m_Keys.size(), 96u); // the keys of the file, the three gains of a record counted once
    EXPECT_EQ(WrittenText(read), ReadFileBytes(dir.Path() / "TLumitra.ini"));
}

TEST(CAppSettingsTest, SectionsAndKeysInFileOrder)
{
    CAppSettings s;
    ReadText(s, "");
    const std::string text = WrittenText(s);
    std::vector<size_t> at;
    for (const char* section : {"[Thumb]", "[Review]", "[Info]", "[Adjust]", "[Filter]", "[SlideShow]", "[SaveDlg]",
                                "[PrintSetting]", "[InfoPrintSetting]", "[HeadFootPrintSetting]", "[Preference]"})
        at.push_back(text.find(section));
    for (size_t i = 1; i < at.size(); ++i)
        EXPECT_LT(at[i - 1], at[i]) << i;
    EXPECT_LT(text.find("WindowLeft=0\nWindowTop=0\nWindowRight=0\nWindowBottom=0\nOpenInfoPalette"), at[1]);
    EXPECT_NE(text.find("KVR_FillLight=0\nKVR_ColorR=1.000000\nKVR_ColorG=1.000000\nKVR_ColorB=1.000000\n"
                        "KVR_Name=Custom\nJT_FilterMode=1\n"),
              std::string::npos);
}

TEST(CAppSettingsTest, TheFileIsReplacedWholeAndKeepsForeignKeys)
{
    TempDir dir;
    const auto file = dir.Path() / "TLumitra.ini";
    const FString path = WideFromUtf8(file.string());
    WriteFileBytes(file, "; written by hand\n[Thumb]\nThumbSize=12\nMine=yes\n");
    ::chmod(file.c_str(), 0640);

    CAppSettings s;
    ASSERT_TRUE(s.ReadFile(path, kDefaultName, GuiFont()));
    EXPECT_EQ(s.m_nThumbSize, 12);
    s.m_nThumbSize = 3;
    ASSERT_TRUE(s.WriteFile(path));
    const std::string text = ReadFileBytes(file);
    EXPECT_EQ(text.rfind("; written by hand\n[Thumb]\n", 0), 0u);
    EXPECT_NE(text.find("ThumbSize=3\nMine=yes\n"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    // Nothing is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(CAppSettingsTest, AFileThatCannotBeReadOrIsLockedIsNeverReplaced)
{
    TempDir dir;
    // Larger than any settings file: not read, and so not overwritten.
    const auto huge = dir.Path() / "huge.ini";
    WriteFileBytes(huge, std::string(CPrivateProfile::kMaxFileSize + 1, ';'));
    CAppSettings s;
    EXPECT_FALSE(s.ReadFile(WideFromUtf8(huge.string()), kDefaultName, GuiFont()));
    EXPECT_EQ(s.m_nThumbSize, 5);
    EXPECT_FALSE(s.WriteFile(WideFromUtf8(huge.string())));
    EXPECT_EQ(std::filesystem::file_size(huge), CPrivateProfile::kMaxFileSize + 1);

    // A locked (read-only) file stays as it is, even for root.
    const auto locked = dir.Path() / "locked.ini";
    WriteFileBytes(locked, "[Thumb]\nThumbSize=2\n");
    ::chmod(locked.c_str(), 0444);
    CAppSettings t;
    ASSERT_TRUE(t.ReadFile(WideFromUtf8(locked.string()), kDefaultName, GuiFont()));
    EXPECT_FALSE(t.WriteFile(WideFromUtf8(locked.string())));
    EXPECT_EQ(ReadFileBytes(locked), "[Thumb]\nThumbSize=2\n");

    // A folder that does not exist: nothing written, nothing made.
    CAppSettings u;
    EXPECT_FALSE(u.WriteFile(WideFromUtf8((dir.Path() / "none" / "x.ini").string())));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "none"));
}

} // namespace
