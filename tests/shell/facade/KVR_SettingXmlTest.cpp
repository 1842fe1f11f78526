// The five preset lines: their exact text, a full record's round trip, and
// the reader's tolerance and refusals.

#include "shell/facade/KVR_SettingXml.h"

#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/KVR_Text.h"
#include "support/CommaLocale.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<FString> Lines(const std::vector<std::string>& texts)
{
    std::vector<FString> lines;
    for (const std::string& text : texts)
        lines.push_back(KVR_WideText(text.c_str()));
    return lines;
}

std::vector<std::string> Texts(const std::vector<FString>& lines)
{
    std::vector<std::string> texts;
    for (const FString& line : lines)
        texts.emplace_back(line.GetAscii());
    return texts;
}

CKVR_FilterData FullRecord()
{
    CKVR_FilterData record;
    record.m_strName = u"Evening";
    record.m_nShadow = 29;
    record.m_nContrast = -57;
    record.m_nExposure = 113;
    record.m_nHighlight = -116;
    record.m_nSaturation = 58;
    record.m_nSharpness = 115;
    record.m_nFillLight = -114;
    record.m_nCyan = 30;
    record.m_nWhiteBalance = 3;
    return record;
}

const std::vector<std::string> kFullRecordLines{
    "<Setting Name=\"Evening\">",
    "\t<Tone Blackness=\"0.29\" Contrast=\"-0.57\" Exposure=\"1.13\" Highlight=\"-1.16\" Saturation=\"0.58\" "
    "Sharpness=\"1.15\" FillLight=\"-1.14\"/>",
    "\t<Color ColorAdjustR=\"0.501187\" ColorAdjustG=\"1.000000\" ColorAdjustB=\"1.000000\"/>",
    "\t<WhiteBalance WhiteBalance=\"3\"/>",
    "</Setting>",
};

} // namespace

TEST(KVR_SettingXmlTest, ARecordIsWrittenAsFiveExactLines)
{
    const CKVR_FilterData record = FullRecord();
    std::vector<FString> lines{FString("old line")};
    ASSERT_EQ(KVR_WriteSettingXml(&lines, &record), 1);
    EXPECT_EQ(Texts(lines), kFullRecordLines);

    testsupport::ScopedCommaLocale comma;
    if (comma.Active()) {
        ASSERT_EQ(KVR_WriteSettingXml(&lines, &record), 1);
        EXPECT_EQ(Texts(lines), kFullRecordLines) << "numbers keep their '.' in a comma locale";
        CKVR_FilterData read;
        ASSERT_EQ(KVR_ReadSettingXml(&read, &lines), 1);
        EXPECT_TRUE(read.IsEqual(&record, 1));
    }
}

TEST(KVR_SettingXmlTest, EveryValueOfAFullRecordSurvivesAWriteAndARead)
{
    // Hundredths that lie just below their value in binary floating point
    // (0.29 x 100 = 28.999...) included.
    for (const int value : {29, 57, 58, 113, 114, 115, 116, -29, -57, -116, 30, 0, 1, -1, 999, -1000}) {
        SCOPED_TRACE(value);
        CKVR_FilterData record = FullRecord();
        record.m_nShadow = record.m_nContrast = record.m_nExposure = record.m_nHighlight = value;
        record.m_nSaturation = record.m_nSharpness = record.m_nFillLight = value;
        std::vector<FString> lines;
        KVR_WriteSettingXml(&lines, &record);
        CKVR_FilterData read;
        ASSERT_EQ(KVR_ReadSettingXml(&read, &lines), 1);
        EXPECT_TRUE(read.IsEqual(&record, 1));
        EXPECT_EQ(read.m_nWhiteBalance, 3);
    }
    for (const int density : {0, 5, 30, 99, 150}) {
        SCOPED_TRACE(density);
        CKVR_FilterData record;
        record.m_nCyan = density;
        record.m_nYellow = density / 2;
        record.m_nWhiteBalance = -1;
        std::vector<FString> lines;
        KVR_WriteSettingXml(&lines, &record);
        CKVR_FilterData read;
        read.m_nWhiteBalance = 7;
        ASSERT_EQ(KVR_ReadSettingXml(&read, &lines), 1);
        EXPECT_EQ(read.m_nCyan, density);
        EXPECT_EQ(read.m_nMagenta, 0);
        EXPECT_EQ(read.m_nYellow, density / 2);
        EXPECT_EQ(read.m_nWhiteBalance, -1);
    }
}

TEST(KVR_SettingXmlTest, TheReaderTakesAttributesInAnyOrderAndLeavesTheUnstoredFields)
{
    const std::vector<FString> lines = Lines({
        "  <Setting Name=\"Warm \xE2\x80\x9C" "1\xE2\x80\x9D\">",
        "<Tone FillLight=\"0.05\" Sharpness=\"0\" Saturation=\"-0.3\" Highlight=\"1\" Exposure=\"x\" "
        "Contrast=\"+0.10\" Blackness=\" 0.2\"/>",
        "<Color ColorAdjustB=\"1\" ColorAdjustG=\"1\" ColorAdjustR=\"0.5\"/>",
        "<WhiteBalance WhiteBalance=\"12\"/>",
        "</Setting>",
    });
    CKVR_FilterData read;
    read.m_nAuto = 1;
    read.m_nColorMode = 2;
    read.m_nChromaNoise = 4;
    ASSERT_EQ(KVR_ReadSettingXml(&read, &lines), 1);
    EXPECT_EQ(read.m_nFillLight, 5);
    EXPECT_EQ(read.m_nSaturation, -30);
    EXPECT_EQ(read.m_nHighlight, 100);
    EXPECT_EQ(read.m_nExposure, 0) << "not a number";
    EXPECT_EQ(read.m_nContrast, 10);
    EXPECT_EQ(read.m_nShadow, 20);
    EXPECT_EQ(read.m_nCyan, 30);
    EXPECT_EQ(read.m_nWhiteBalance, 12);
    EXPECT_EQ(read.m_strName, u"Warm \u201C1\u201D");
    EXPECT_EQ(read.m_nAuto, 1);
    EXPECT_EQ(read.m_nColorMode, 2);
    EXPECT_EQ(read.m_nChromaNoise, 4);
}

TEST(KVR_SettingXmlTest, AFaultyPresetIsRefusedWithTheFieldsBeforeTheFaultStored)
{
    struct Case {
        const char* fault;
        size_t line;
        std::string text;
        bool nameStored, toneStored;
    };
    const Case cases[] = {
        {"no FillLight", 1,
         "\t<Tone Blackness=\"0.29\" Contrast=\"-0.57\" Exposure=\"1.13\" Highlight=\"-1.16\" Saturation=\"0.58\" "
         "Sharpness=\"1.15\"/>",
         true, false},
        {"no closing quote", 0, "<Setting Name=\"Evening", false, false},
        {"no Setting element", 0, "<Preset Name=\"Evening\">", false, false},
        {"no Color element", 2, "\t<Colour ColorAdjustR=\"1\" ColorAdjustG=\"1\" ColorAdjustB=\"1\"/>", true, true},
        {"no end", 4, "</Settings", true, true},
        {"another case", 3, "\t<whitebalance WhiteBalance=\"3\"/>", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        std::vector<FString> lines = Lines(kFullRecordLines);
        lines[c.line] = FString(c.text.c_str());
        CKVR_FilterData read;
        EXPECT_EQ(KVR_ReadSettingXml(&read, &lines), 0);
        EXPECT_EQ(read.m_strName == u"Evening", c.nameStored);
        EXPECT_EQ(read.m_nShadow, c.nameStored ? 29 : 0) << "the tone values before the missing one are kept";
        EXPECT_EQ(read.m_nFillLight, c.toneStored ? -114 : 0);
    }
    for (const size_t count : {4u, 6u, 0u}) {
        std::vector<FString> lines = Lines(kFullRecordLines);
        lines.resize(count, FString("</Setting>"));
        CKVR_FilterData read;
        EXPECT_EQ(KVR_ReadSettingXml(&read, &lines), 0);
        const CKVR_FilterData untouched;
        EXPECT_TRUE(read.IsEqual(&untouched, 1)) << count << " lines store nothing";
    }
}

TEST(KVR_SettingXmlTest, ANameKeepsToItsLine)
{
    CKVR_FilterData record;
    record.m_strName = u"Two\r\nlines \"quoted\"";
    std::vector<FString> lines;
    KVR_WriteSettingXml(&lines, &record);
    EXPECT_EQ(Texts(lines)[0], "<Setting Name=\"Twolines \"quoted\"\">");
    CKVR_FilterData read;
    ASSERT_EQ(KVR_ReadSettingXml(&read, &lines), 1);
    EXPECT_EQ(read.m_strName, u"Twolines ") << "a quote ends the name, as the reader has always read it";
}
