// The preset file: its exact bytes, the tolerant reader, and the preset list
// that loads, saves, imports and exports it and announces every change.
#include "shell/app/CPresetList.h"

#include "shell/app/AppFiles.h"
#include "shell/app/AppMessages.h"
#include "shell/app/PresetFile.h"
#include "shell/facade/KVR_SettingXml.h"
#include "Utf16Text.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::Utf16;
using testsupport::Utf8FromWide;
using testsupport::WideFromUtf8;
using testsupport::WriteFileBytes;

CKVR_FilterData Preset(const char16_t* name, int exposure)
{
    CKVR_FilterData preset;
    preset.m_strName = FString(name);
    preset.m_nExposure = exposure;
    preset.m_nContrast = -29;
    preset.m_nFillLight = 40;
    preset.m_nCyan = 30;
    preset.m_nWhiteBalance = 2;
    return preset;
}

// The presets a text parses to; parsed says whether the whole file was sound.
std::vector<std::string> NamesOf(const std::string& bytes, bool& parsed)
{
    std::vector<std::string> names;
    parsed = ParsePresetFileBytes(bytes, [&names](std::unique_ptr<CKVR_FilterData> preset) {
        names.push_back(Utf8FromWide(preset->m_strName));
    });
    return names;
}

std::u16string PresetLines(const char16_t* name)
{
    return std::u16string(u"<Setting Name=\"") + name +
           u"\">\n"
           u"<Tone Blackness=\"0.00\" Contrast=\"0.10\" Exposure=\"1.50\" Highlight=\"0.00\" Saturation=\"0.00\" "
           u"Sharpness=\"0.00\" FillLight=\"0.00\"/>\n"
           u"<Color ColorAdjustR=\"1.000000\" ColorAdjustG=\"1.000000\" ColorAdjustB=\"1.000000\"/>\n"
           u"<WhiteBalance WhiteBalance=\"-1\"/>\n"
           u"</Setting>\n";
}

TEST(PresetFileTest, ExactBytes)
{
    EXPECT_EQ(WritePresetFileBytes({}), Utf16(u"\uFEFF<Custom>\n\t<Settings>\n\t</Settings>\n</Custom>\n"));
    const std::string bytes = WritePresetFileBytes({});
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE<\0", 4));

    const CKVR_FilterData preset = Preset(u"Warm", 150);
    std::vector<FString> lines;
    ASSERT_TRUE(KVR_WriteSettingXml(&lines, &preset));
    std::u16string expected = u"\uFEFF<Custom>\n\t<Settings>\n";
    for (const FString& line : lines)
        expected += u"\t\t" + std::u16string(line.View()) + u"\n";
    expected += u"\t</Settings>\n</Custom>\n";
    EXPECT_EQ(WritePresetFileBytes({&preset}), Utf16(expected));
}

TEST(PresetFileTest, TolerantReading)
{
    const std::u16string a = PresetLines(u"A"), b = PresetLines(u"B");
    struct Case {
        const char* what;
        std::u16string text;
        bool parsed;
        std::vector<std::string> names;
    } cases[] = {
        {"plain", u"<Custom>\n<Settings>\n" + a + b + u"</Settings>\n</Custom>\n", true, {"A", "B"}},
        {"indented, CR LF, text around the markers",
         u"junk\r\n  x<Custom>y\r\n\t\t<Settings>\r\n" + a + u"\t</Settings> \r\n </Custom>\r\n", true, {"A"}},
        {"no </Custom>", u"<Custom>\n<Settings>\n" + a + u"</Settings>\n", true, {"A"}},
        {"ends inside the list", u"<Custom>\n<Settings>\n" + a, true, {"A"}},
        {"no presets", u"<Custom>\n<Settings>\n</Settings>\n</Custom>", true, {}},
        {"blank line ends the list", u"<Custom>\n<Settings>\n" + a + u"\n</Custom>\n" + b, true, {"A"}},
        {"blank line, then no </Custom>", u"<Custom>\n<Settings>\n" + a + u"\n" + b + u"</Settings>\n</Custom>\n",
         false, {"A"}},
        {"no <Custom>", u"<Settings>\n" + a, false, {}},
        {"<Settings> not right after", u"<Custom>\n\n<Settings>\n" + a, false, {}},
        {"a preset inside a preset", u"<Custom>\n<Settings>\n<Setting Name=\"X\">\n" + a, false, {}},
        {"a preset not ended", u"<Custom>\n<Settings>\n<Setting Name=\"X\">\n<Tone/>\n", false, {}},
        {"a damaged second preset",
         u"<Custom>\n<Settings>\n" + a + u"<Setting Name=\"Bad\">\n<Tone Exposure=\"1\"/>\n</Setting>\n" + b, false,
         {"A"}},
        {"empty file", u"", false, {}},
    };
    for (const Case& c : cases) {
        for (const char* bom : {"\xFF\xFE", "\xFE\xFF", ""}) {
            bool parsed = false;
            const std::vector<std::string> names = NamesOf(bom + Utf16(c.text), parsed);
            EXPECT_EQ(parsed, c.parsed) << c.what;
            EXPECT_EQ(names, c.names) << c.what;
        }
    }
}

// Records what the list announces.
struct Announcements : IPresetListener {
    struct Message {
        UINT message;
        std::string name;
        LPARAM lParam;
        bool toPalette;
    };
    void BroadcastToReviewFrames(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        messages.push_back({message, NameOf(wParam), lParam, false});
    }
    void SendToAdjustPalette(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        messages.push_back({message, NameOf(wParam), lParam, true});
    }
    static std::string NameOf(WPARAM wParam)
    {
        return Utf8FromWide(reinterpret_cast<const CKVR_FilterData*>(wParam)->m_strName);
    }
    std::vector<Message> messages;
};

std::vector<std::string> Names(const CPresetList& list)
{
    std::vector<std::string> names;
    for (int i = 0; i < list.GetCount(); ++i)
        names.push_back(Utf8FromWide(list.GetAt(i)->m_strName));
    return names;
}

class PresetListTest : public ::testing::Test {
protected:
    PresetListTest() { m_List.SetListener(&m_Heard); }
    FString PathOf(const char* name) const { return WideFromUtf8((m_Dir.Path() / name).string()); }

    TempDir m_Dir;
    Announcements m_Heard;
    CPresetList m_List;
};

TEST_F(PresetListTest, SavingReplacesByExactNameOrAppends)
{
    auto* sender = reinterpret_cast<CWnd*>(0x1234);
    const CKVR_FilterData first = Preset(u"Warm", 100), other = Preset(u"Cold", 0), again = Preset(u"Warm", 250),
                          cased = Preset(u"warm", 0);
    EXPECT_TRUE(m_List.SavePreset(&first, sender));
    EXPECT_TRUE(m_List.SavePreset(&other, sender));
    EXPECT_TRUE(m_List.SavePreset(&again, sender));
    EXPECT_TRUE(m_List.SavePreset(&cased, nullptr));
    EXPECT_EQ(Names(m_List), (std::vector<std::string>{"Warm", "Cold", "warm"}));
    EXPECT_EQ(m_List.GetAt(0)->m_nExposure, 250); // overwritten in place
    ASSERT_EQ(m_Heard.messages.size(), 4u);
    EXPECT_EQ(m_Heard.messages[0].message, WM_APP_PRESET_ADDED);
    EXPECT_EQ(m_Heard.messages[2].message, WM_APP_PRESET_REPLACED);
    EXPECT_EQ(m_Heard.messages[2].lParam, reinterpret_cast<LPARAM>(sender));
    EXPECT_EQ(m_Heard.messages[3].message, WM_APP_PRESET_ADDED);
    EXPECT_FALSE(m_Heard.messages[3].toPalette);
}

TEST_F(PresetListTest, RemovingAnnouncesOnlyWhatWasThere)
{
    const CKVR_FilterData a = Preset(u"A", 0), b = Preset(u"B", 0), c = Preset(u"C", 0);
    m_List.SavePreset(&a, nullptr);
    m_List.SavePreset(&b, nullptr);
    m_Heard.messages.clear();
    EXPECT_FALSE(m_List.RemovePreset(&c));
    EXPECT_TRUE(m_Heard.messages.empty());
    EXPECT_TRUE(m_List.RemovePreset(&a));
    ASSERT_EQ(m_Heard.messages.size(), 1u);
    EXPECT_EQ(m_Heard.messages[0].message, WM_APP_PRESET_REMOVED);
    EXPECT_EQ(m_Heard.messages[0].name, "A");
    EXPECT_EQ(Names(m_List), std::vector<std::string>{"B"});
}

TEST_F(PresetListTest, CopiesReplaceWhatTheCallerHeld)
{
    const CKVR_FilterData a = Preset(u"A", 10);
    m_List.SavePreset(&a, nullptr);
    std::vector<std::unique_ptr<CKVR_FilterData>> copies;
    copies.push_back(std::make_unique<CKVR_FilterData>(Preset(u"old", 0)));
    m_List.CopyPresets(&copies);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0]->m_strName, FString(u"A"));
    EXPECT_NE(copies[0].get(), m_List.GetAt(0));
}

TEST_F(PresetListTest, SaveAndLoadRoundTrip)
{
    EXPECT_TRUE(m_List.SavePresetFile(PathOf("empty.xml")));
    EXPECT_TRUE(m_List.LoadPresetFile(PathOf("empty.xml")));
    EXPECT_EQ(m_List.GetCount(), 0);

    const CKVR_FilterData a = Preset(u"Sunny \"day\"", 150), b = Preset(u"Zweite Ü", -75);
    m_List.SavePreset(&a, nullptr);
    m_List.SavePreset(&b, nullptr);
    ASSERT_TRUE(m_List.SavePresetFile(PathOf("KVR_Setting.xml")));
    m_Heard.messages.clear();
    CPresetList loaded;
    loaded.SetListener(&m_Heard);
    ASSERT_TRUE(loaded.LoadPresetFile(PathOf("KVR_Setting.xml")));
    EXPECT_TRUE(m_Heard.messages.empty()); // loading announces nothing
    ASSERT_EQ(loaded.GetCount(), 2);
    EXPECT_TRUE(loaded.GetAt(1)->IsEqual(&b, 1));
    EXPECT_EQ(loaded.GetAt(0)->m_nContrast, -29);
    EXPECT_EQ(loaded.GetAt(0)->m_nWhiteBalance, 2);

    EXPECT_FALSE(loaded.LoadPresetFile(PathOf("missing.xml")));
    EXPECT_EQ(loaded.GetCount(), 0);
}

TEST_F(PresetListTest, ImportRenamesTakenNamesAndAnnouncesEach)
{
    const CKVR_FilterData warm = Preset(u"Warm", 100);
    m_List.SavePreset(&warm, nullptr);
    ASSERT_TRUE(m_List.ExportPresets(PathOf("export.xml")));
    m_Heard.messages.clear();
    EXPECT_TRUE(m_List.ImportPresets(PathOf("export.xml")));
    EXPECT_TRUE(m_List.ImportPresets(PathOf("export.xml")));
    EXPECT_EQ(Names(m_List), (std::vector<std::string>{"Warm", "Warm0", "Warm1"}));
    ASSERT_EQ(m_Heard.messages.size(), 4u); // each to the review windows and the palette
    EXPECT_EQ(m_Heard.messages[0].message, WM_APP_PRESET_ADDED);
    EXPECT_EQ(m_Heard.messages[0].name, "Warm0");
    EXPECT_EQ(m_Heard.messages[0].lParam, 0);
    EXPECT_FALSE(m_Heard.messages[0].toPalette);
    EXPECT_TRUE(m_Heard.messages[1].toPalette);
    EXPECT_EQ(m_Heard.messages[3].name, "Warm1");
}

TEST_F(PresetListTest, ADamagedImportKeepsWhatItAdded)
{
    const CKVR_FilterData mine = Preset(u"Mine", 0);
    m_List.SavePreset(&mine, nullptr);
    WriteFileBytes(m_Dir.Path() / "damaged.xml",
                   Utf16(u"\uFEFF<Custom>\n<Settings>\n" + PresetLines(u"First") +
                         u"<Setting Name=\"Second\">\n<Tone/>\n</Setting>\n</Settings>\n</Custom>\n"));
    EXPECT_FALSE(m_List.ImportPresets(PathOf("damaged.xml")));
    EXPECT_EQ(Names(m_List), (std::vector<std::string>{"Mine", "First"}));
    EXPECT_FALSE(m_List.ImportPresets(PathOf("missing.xml")));
    EXPECT_EQ(m_List.GetCount(), 2);
}

TEST_F(PresetListTest, AFileThatFailedToLoadIsNotOverwritten)
{
    const auto file = m_Dir.Path() / "KVR_Setting.xml";
    const std::string damaged = Utf16(u"\uFEFF<Custom>\n<Settings>\n<Setting Name=\"Lost\">\n");
    WriteFileBytes(file, damaged);
    EXPECT_FALSE(m_List.LoadPresetFile(PathOf("KVR_Setting.xml")));
    EXPECT_EQ(m_List.GetCount(), 0);
    // Shut-down without changes: the file stays as it is.
    EXPECT_FALSE(m_List.SavePresetFile(PathOf("KVR_Setting.xml")));
    EXPECT_EQ(ReadFileBytes(file), damaged);

    // With a new preset the list is written, and the old file is kept aside.
    const CKVR_FilterData added = Preset(u"New", 0);
    m_List.SavePreset(&added, nullptr);
    EXPECT_TRUE(m_List.SavePresetFile(PathOf("KVR_Setting.xml")));
    EXPECT_EQ(ReadFileBytes(m_Dir.Path() / "KVR_Setting.xml.unreadable"), damaged);
    CPresetList again;
    ASSERT_TRUE(again.LoadPresetFile(PathOf("KVR_Setting.xml")));
    EXPECT_EQ(Names(again), std::vector<std::string>{"New"});
}

TEST_F(PresetListTest, WritingFailsWithoutTouchingTheOldFile)
{
    const auto file = m_Dir.Path() / "locked.xml";
    WriteFileBytes(file, "old");
    ::chmod(file.c_str(), 0444);
    EXPECT_FALSE(m_List.ExportPresets(PathOf("locked.xml")));
    EXPECT_EQ(ReadFileBytes(file), "old");
    EXPECT_FALSE(m_List.ExportPresets(PathOf("no/such/folder.xml")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_Dir.Path()), {}), 1);
}

} // namespace
