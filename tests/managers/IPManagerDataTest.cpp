#include "managers/IPManagerData.h"

#include "foundation/FCache.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "managers/FIPMImage.h"
#include "managers/IPMCacheEntry.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using testsupport::Utf8FromWide;

namespace {

std::string NameOf(const FPropTree* tree) { return tree ? Utf8FromWide(tree->m_sName) : "<null>"; }

} // namespace

TEST(IPManagerDataTest, ANewRecordHasTheDefaultsAndResetRestoresThemKeepingTheCallersIdentity)
{
    IPManagerData record;
    auto expectDefaults = [](const IPManagerData& r) {
        EXPECT_EQ(r.m_Result.m_eStatus, kIPStatusNew);
        EXPECT_EQ(r.m_Result.m_dProgress, -1.0);
        EXPECT_EQ(r.m_dChromaNoise, 0.5);
        EXPECT_EQ(r.m_dLumaNoise, 0.5);
        EXPECT_EQ(r.m_iColorSpace, 2);
        EXPECT_EQ(r.m_CustomNeutral.g, -1.0);
        EXPECT_EQ(r.m_iQuality, 10);
        EXPECT_TRUE(r.m_bAllowNoProfile);
        EXPECT_FALSE(r.m_bAccurateDCT);
        EXPECT_EQ(r.m_eKind, kIPRequestNone);
        EXPECT_EQ(r.m_pResultImage, nullptr);
    };
    expectDefaults(record);
    EXPECT_EQ(NameOf(record.m_pImageProps), "ImageProps");
    EXPECT_EQ(NameOf(record.m_pExtraProps), "IPManagerData");
    EXPECT_EQ(record.m_iSettingMode, 0);
    EXPECT_EQ(record.m_PickPoint.x, 0);

    record.m_Version = {4, 1, 2, 7};
    record.m_iSettingMode = kIPSettingModeCustom;
    record.m_PickPoint = FIntPoint(5, 6);
    record.m_eKind = kIPRequestDevelop;
    record.m_iQuality = 3;
    record.m_Result.Fail(kIPErrorFileIO, "x");
    record.m_pImageProps->AddPair("A", "1");
    delete record.m_pExtraProps;
    record.m_pExtraProps = nullptr;
    record.Reset();
    expectDefaults(record);
    EXPECT_EQ(record.m_pImageProps->GetFirstPair(), nullptr);
    EXPECT_EQ(NameOf(record.m_pImageProps), "ImageProps");
    EXPECT_EQ(record.m_pExtraProps, nullptr); // a tree that was not there is not made
    EXPECT_EQ(record.m_Version.revision, 7);
    EXPECT_EQ(record.m_iSettingMode, kIPSettingModeCustom);
    EXPECT_EQ(record.m_PickPoint.y, 6);
}

TEST(IPManagerDataTest, ResetReleasesOneReferenceOfTheResultImage)
{
    FICacheObject* entry = GetPixmapCacheEntry(FString("IPManagerDataTest-result"), FPixmap::PIXEL_32_BGRA, 4, 4);
    ASSERT_NE(entry, nullptr);
    FIPMImage* image = new FIPMCommon::Image(entry);
    entry->Unlock(); // the image holds its own lock
    image->AddRef();
    IPManagerData record;
    record.m_pResultImage = image;
    record.Reset();
    EXPECT_EQ(record.m_pResultImage, nullptr);
    EXPECT_EQ(image->GetPixmap()->m_iColumns, 4); // still alive: one reference left
    image->Release();
}

TEST(IPManagerDataTest, ACopiedRequestKeepsItsOwnTreesAndResult)
{
    IPManagerData source;
    source.SetURL(FString("disk://C/a.kvr"));
    source.m_dSharpness = 0.7;
    source.m_iFileType = 2;
    IPManagerData copy;
    FPropTree* ownProps = copy.m_pImageProps;
    copy.CopyRequestFrom(source);
    EXPECT_EQ(Utf8FromWide(copy.m_sURL), "disk://C/a.kvr");
    EXPECT_EQ(copy.m_dSharpness, 0.7);
    EXPECT_EQ(copy.m_iFileType, 2);
    EXPECT_EQ(copy.m_pImageProps, ownProps);
    EXPECT_NE(copy.m_pExtraProps, source.m_pExtraProps);
}

TEST(IPManagerDataTest, VersionTextsAndOutputPixelTypes)
{
    char text[32];
    EXPECT_EQ(FormatVersionString(FVersionNumber{}, text, sizeof text), 12);
    EXPECT_STREQ(text, " 1.0.0.0000");
    EXPECT_EQ(FormatVersionString(FVersionNumber{4, 12, 3, 57}), 13);
    char small[5];
    FormatVersionString(FVersionNumber{}, small, sizeof small);
    EXPECT_STREQ(small, " 1.0");

    const int32_t formats[] = {kDisplay, kRGB24, kRGB48, 0, 4};
    const int32_t types[] = {13, 7, 15, 0, 0};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(PixelTypeOfOutputFormat(formats[i]), types[i]);
}
