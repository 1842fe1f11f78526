// Saving the synthetic camera's raw files through a per-image worker with its
// loader and engine threads running: the saved rows against the same picture
// developed in one piece, the file's metadata read back, and what is left on
// disk when a save is cancelled or the disk fills at a middle strip.
//
// The tests skip while the worker cannot develop yet.

#include "managers/IPSaveManager.h"

#include "engine/colour/TransformColor.h"
#include "fileio/codecs/FJPEGImageReader.h"
#include "fileio/codecs/FTiffImageReader.h"
#include "fileio/metadata/FPardexTag.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "managers/FIPMImage.h"
#include "managers/IPManager2.h"
#include "ManagerTestFiles.h"
#include "support/BuildTree.h"
#include "support/ImageFileTest.h"
#include "support/SyntheticCamera.h"

#include <cstring>
#include <filesystem>

using namespace testsupport;

namespace {

class IPSaveManagerThreadTest : public ImageFileTest {
protected:
    static void SetUpTestSuite()
    {
        ImageFileTest::SetUpTestSuite();
        SetColorProfileProgramPath(BuildTreeProgramPath());
    }

    void SetUp() override
    {
        if (!CanDevelop())
            GTEST_SKIP() << "the worker cannot develop yet";
        // Made once: more than two strips of rows.
        static const SyntheticRaw shot = [] {
            SyntheticOptions options;
            options.size = SyntheticSize::Medium;
            return MakeSyntheticRaw(options);
        }();
        shot.file.WriteTo(PathOf("shot.kvr"));
        m_sRaw = UrlOf("shot.kvr");
        m_Size.Set(int32_t(shot.truth.outputColumns), int32_t(shot.truth.outputRows));
    }

    void Describe(IPManagerData& request, int32_t kind, int32_t format, int32_t colorSpace)
    {
        request.SetURL(m_sRaw);
        request.m_eKind = kind;
        request.m_eOutputFormat = format;
        request.m_iColorSpace = colorSpace;
        request.m_OutputSize = m_Size;
        request.m_Crop.Set(0, 0, m_Size.width, m_Size.height);
        request.m_dSharpness = 0.5;
        // Neutral gains, as every caller sets them: the tone curve refuses 0.
        request.m_ColorAdjust = FDoubleTriple(1.0, 1.0, 1.0);
        request.m_sSoftwareName = FString("Lumitra4");
        request.m_iSettingMode = kIPSettingModeRawFile;
    }

    void DescribeSave(IPManagerData& request, const std::string& name, int32_t fileType, int32_t format,
                      int32_t colorSpace)
    {
        Describe(request, kIPRequestSave, format, colorSpace);
        request.m_iFileType = fileType;
        request.m_sOutputPath = UrlOf(name);
        request.m_bAccurateDCT = true;
    }

    // False when the worker cannot develop yet.
    bool CanDevelop()
    {
        SyntheticOptions options;
        options.previews = false;
        const SyntheticRaw small = MakeSyntheticRaw(options);
        small.file.WriteTo(PathOf("probe.kvr"));
        IPManagerData probe;
        probe.SetURL(UrlOf("probe.kvr"));
        probe.m_eKind = kIPRequestDevelop;
        probe.m_eOutputFormat = kRGB24;
        probe.m_OutputSize.Set(int32_t(small.truth.outputColumns) / 4, int32_t(small.truth.outputRows) / 4);
        probe.m_Crop.Set(0, 0, probe.m_OutputSize.width, probe.m_OutputSize.height);
        RunRequest(m_Worker, probe);
        std::filesystem::remove(PathOf("probe.kvr"));
        return probe.m_Result.m_eError != kIPErrorUnsupportedRequest;
    }

    std::vector<std::string> FolderNames() const
    {
        std::vector<std::string> names;
        for (const auto& item : std::filesystem::directory_iterator(m_Dir.Path()))
            names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    IPManager2 m_Worker;
    FString m_sRaw;
    FIntSize m_Size;
};

TEST_F(IPSaveManagerThreadTest, A48BitTiffHoldsThePictureDevelopedInOnePieceWithItsMetadata)
{
    IPManagerData whole;
    Describe(whole, kIPRequestDevelop, kRGB48, 11);
    ASSERT_EQ(RunRequest(m_Worker, whole), kIPStatusDone) << ResultText(whole);
    const FPixmap& reference = *whole.m_pResultImage->GetPixmap();

    IPManagerData save;
    DescribeSave(save, "shot.tif", 1, kRGB48, 11);
    ASSERT_EQ(RunRequest(m_Worker, save), kIPStatusDone) << ResultText(save);
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"shot.kvr", "shot.tif"}));
    EXPECT_EQ(RunTool("tiffinfo " + PathOf("shot.tif").string() + " >/dev/null 2>&1").status, 0);

    FTiffImageReader reader(UrlOf("shot.tif"));
    uint32_t columns = 0, rows = 0;
    int32_t type = 0;
    reader.GetDimensions(columns, rows, type);
    ASSERT_EQ(int32_t(columns), reference.m_iColumns);
    ASSERT_EQ(int32_t(rows), reference.m_iRows);
    ASSERT_EQ(type, FPixmap::PIXEL_48_RGB);
    TestPixmap<FPixelClass48RGB> saved{int32_t(columns), int32_t(rows)};
    reader.ReadImage(saved.get());
    int worst = 0;
    for (int32_t y = 0; y < reference.m_iRows; ++y) {
        const auto* want = reinterpret_cast<const uint16_t*>(reference.GetRow(y));
        const auto* got = reinterpret_cast<const uint16_t*>(saved->GetRow(y));
        for (int32_t i = 0; i < 3 * reference.m_iColumns; ++i)
            worst = std::max(worst, std::abs(int(want[i]) - int(got[i])));
    }
    EXPECT_LE(worst, 1); // no seam between the strips

    FPropTree props(nullptr, "read");
    reader.GetProperties(&props);
    EXPECT_EQ(Value(props, "rpSettingMode"), "KVR Setting Mode");
    EXPECT_EQ(Value(props, "rpColorSpace"), "11");
    EXPECT_EQ(Value(props, "rpSharpness"), "0.5000");
    const auto tags = ReadTiffDirectory(FileBytes("shot.tif"));
    ASSERT_EQ(tags.count(34377), 1u); // the thumbnail
    ASSERT_EQ(tags.count(37717), 1u);
    uint32_t magic = 0;
    ASSERT_GE(tags.at(37717).data.size(), 4u);
    std::memcpy(&magic, tags.at(37717).data.data(), 4);
    EXPECT_EQ(magic, FPardexTag::kMagic);
    ASSERT_EQ(tags.count(34675), 1u);
    const Bytes& icc = tags.at(34675).data;
    cmsHPROFILE embedded = cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size()));
    ASSERT_NE(embedded, nullptr);
    char description[128] = {};
    cmsGetProfileInfoASCII(embedded, cmsInfoDescription, "en", "US", description, sizeof description);
    EXPECT_NE(std::string(description).find("ProPhoto"), std::string::npos) << description;
    cmsCloseProfile(embedded);
}

TEST_F(IPSaveManagerThreadTest, AJpegHoldsThePictureWithItsExifAndThumbnail)
{
    IPManagerData whole;
    Describe(whole, kIPRequestDevelop, kRGB24, 2);
    ASSERT_EQ(RunRequest(m_Worker, whole), kIPStatusDone) << ResultText(whole);
    const FPixmap& reference = *whole.m_pResultImage->GetPixmap();

    IPManagerData save;
    DescribeSave(save, "shot.jpg", 2, kRGB24, 2);
    save.m_iQuality = 12;
    ASSERT_EQ(RunRequest(m_Worker, save), kIPStatusDone) << ResultText(save);
    EXPECT_EQ(RunTool("djpeg " + PathOf("shot.jpg").string() + " >/dev/null 2>&1").status, 0);

    const Bytes file = FileBytes("shot.jpg");
    bool thumbnail = false, icc = false;
    for (const JpegMarker& marker : ReadJpegMarkers(file)) {
        if (marker.code == 0xE1 && marker.data.size() > 4 && std::memcmp(marker.data.data(), "Exif", 4) == 0)
            for (size_t i = 4; i + 1 < marker.data.size(); ++i)
                thumbnail = thumbnail || (marker.data[i] == 0xFF && marker.data[i + 1] == 0xD8);
        icc = icc || marker.code == 0xE2;
    }
    EXPECT_TRUE(thumbnail);
    EXPECT_FALSE(icc); // sRGB JPEG files carry no profile
    FJPEGImageReader reader(UrlOf("shot.jpg"));
    FPropTree props(nullptr, "read");
    reader.GetProperties(&props);
    EXPECT_EQ(Value(props, "rpQuality"), "12");
    EXPECT_EQ(Value(props, "rpColorSpace"), "2");

    const DecodedJpeg decoded = DecodeJpeg(file, 0);
    ASSERT_EQ(int32_t(decoded.columns), reference.m_iColumns);
    ASSERT_EQ(int32_t(decoded.rows), reference.m_iRows);
    double total = 0;
    for (int32_t y = 0; y < reference.m_iRows; ++y)
        for (int32_t i = 0; i < 3 * reference.m_iColumns; ++i)
            total += std::abs(int(reference.GetRow(y)[i]) -
                              int(decoded.pixels[size_t(y) * 3 * decoded.columns + size_t(i)]));
    EXPECT_LT(total / (3.0 * reference.m_iColumns * reference.m_iRows), 1.5);
}

TEST_F(IPSaveManagerThreadTest, ACancelOrAFullDiskAtAMiddleStripLeavesNoFile)
{
    {
        // Cancelled once the first strip is in.
        IPManagerData save;
        DescribeSave(save, "cancelled.tif", 1, kRGB48, 11);
        m_Worker.Request(&save);
        while (save.m_Result.IsPending() && save.m_Result.m_dProgress < 0.6)
            m_Worker.Idle();
        save.m_Result.m_bCancel = true;
        for (int polls = 0; save.m_Result.IsPending() && polls < 100000; ++polls)
            m_Worker.Idle();
        EXPECT_EQ(save.m_Result.m_eStatus, kIPStatusCancelled) << ResultText(save);
        EXPECT_EQ(FolderNames(), std::vector<std::string>{"shot.kvr"});
    }
    {
        // About half the rows fit: the disk fills during the second strip.
        IPManagerData save;
        DescribeSave(save, "full.tif", 1, kRGB48, 11);
        const uint64_t rowBytes = uint64_t(m_Size.width) * 6;
        FileSizeLimit limit(rowBytes * uint64_t(m_Size.height) / 2);
        EXPECT_EQ(RunRequest(m_Worker, save), kIPStatusError);
        EXPECT_GT(save.m_Result.m_dProgress, 0.5);
        EXPECT_EQ(FolderNames(), std::vector<std::string>{"shot.kvr"});
    }
}

} // namespace
