// The save manager's writing path, fed by a stand-in for the per-image worker
// that answers the properties request from a list and "develops" any crop of
// a known picture: the thumbnail first, then properties, profile and rows in
// strips, and what is left on disk when a save fails or is cancelled.

#include "managers/IPSaveManager.h"

#include "engine/colour/TransformColor.h"
#include "fileio/codecs/FJPEGImageReader.h"
#include "fileio/codecs/FTiffImageReader.h"
#include "foundation/FCache.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "managers/FIPMImage.h"
#include "managers/IPMCacheEntry.h"
#include "ManagerTestFiles.h"
#include "support/BuildTree.h"
#include "support/ImageFileTest.h"

#include <lcms2.h>

#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <set>

using namespace testsupport;

namespace {

// The known picture: each channel a ramp over the whole output size, so a row
// or column in the wrong place shows.
uint32_t PictureValue(int32_t x, int32_t y, int channel, const FIntSize& size, uint32_t full)
{
    const uint32_t w = uint32_t(std::max(size.width - 1, 1)), h = uint32_t(std::max(size.height - 1, 1));
    switch (channel) {
    case 0:
        return uint32_t(x) * full / w;
    case 1:
        return uint32_t(y) * full / h;
    default:
        return (uint32_t(x) + uint32_t(y)) * full / (w + h);
    }
}

// Stands in for the per-image worker behind the save manager.
class PictureWorker final : public FIPManager {
public:
    struct Develop {
        FIntSize size;
        FIntRect crop;
        int32_t colorSpace = 0;
        int32_t format = 0;
    };

    PictureWorker(int32_t columns, int32_t rows) : m_iColumns(columns), m_iRows(rows) {}

    bool IsBusy() override { return m_pRequest != nullptr; }

    void Request(IPManagerData* request) override
    {
        if (m_pRequest) {
            request->m_Result.Fail(kIPErrorBusy, "busy");
            return;
        }
        if (request->m_eKind == kIPRequestProperties) {
            FPropTree& props = *request->m_pImageProps;
            props.SetInt(FString("COLS"), m_iColumns);
            props.SetInt(FString("ROWS"), m_iRows);
            props.AddPair("CAMMANUF", "Talvo");
            props.AddPair("CAMMODEL", "KT5R");
            props.AddPair("SH_DESC", "1/250");
            request->m_Result.Finish(kIPStatusDone);
            return;
        }
        ASSERT_EQ(request->m_eKind, kIPRequestDevelop);
        m_Develops.push_back({request->m_OutputSize, request->m_Crop, request->m_iColorSpace,
                              request->m_eOutputFormat});
        m_pRequest = request;
        m_iLeft = m_iSlices;
        request->m_Result.m_eStatus = kIPStatusPending;
        if (onDevelop)
            onDevelop(int(m_Develops.size()) - 1);
    }

    void Idle() override
    {
        if (!m_pRequest || m_iLeft-- > 0)
            return;
        IPManagerData& request = *m_pRequest;
        m_pRequest = nullptr;
        if (request.m_Result.m_bCancel) {
            request.m_Result.Finish(kIPStatusCancelled);
            return;
        }
        if (int(m_Develops.size()) - 1 == failAt) {
            request.m_Result.Fail(kIPErrorOutOfMemory, "no room for the strip");
            return;
        }
        Deliver(request);
    }

    std::vector<Develop> m_Develops;
    int failAt = -1;
    bool fitShape = true;
    std::function<void(int)> onDevelop;

private:
    // Fits the size to the picture's shape and clamps the crop, as the
    // develop does, then fills the crop of the known picture.
    void Deliver(IPManagerData& request)
    {
        FIntSize& size = request.m_OutputSize;
        FIntRect& crop = request.m_Crop;
        const double aspect = double(m_iRows) / m_iColumns;
        if (fitShape) {
            if (double(size.height) / size.width > aspect) {
                if (int32_t(size.width * aspect) < size.height - 1)
                    size.height = int32_t(size.width * aspect);
            } else if (int32_t(size.height / aspect) < size.width - 1) {
                size.width = int32_t(size.height / aspect);
            }
        }
        crop.right = std::min(crop.right, size.width);
        crop.bottom = std::min(crop.bottom, size.height);
        const int32_t type = PixelTypeOfOutputFormat(request.m_eOutputFormat);
        FString label;
        label.Format("stand-in-%d", ++m_iEntries);
        FICacheObject* entry = GetPixmapCacheEntry(label, type, crop.right - crop.left, crop.bottom - crop.top);
        ASSERT_NE(entry, nullptr);
        const FPixmap& pixmap = *PixmapEntryHeader(entry)->m_pPixmap;
        for (int32_t y = 0; y < pixmap.m_iRows; ++y)
            for (int32_t x = 0; x < pixmap.m_iColumns; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int32_t px = x + crop.left, py = y + crop.top;
                    if (type == FPixmap::PIXEL_48_RGB)
                        reinterpret_cast<uint16_t*>(pixmap.GetRow(y))[3 * x + c] =
                            uint16_t(PictureValue(px, py, c, size, 65535));
                    else
                        pixmap.GetRow(y)[3 * x + c] = uint8_t(PictureValue(px, py, c, size, 255));
                }
        request.m_pResultImage = new FIPMCommon::Image(entry);
        ForgetCacheEntry(entry);
        entry->Unlock();
        request.m_Result.m_dProgress = 1.0;
        request.m_Result.Finish(kIPStatusDone);
    }

    int32_t m_iColumns, m_iRows;
    int m_iSlices = 1;
    int m_iLeft = 0;
    int m_iEntries = 0;
    IPManagerData* m_pRequest = nullptr;
};

class IPSaveManagerTest : public ImageFileTest {
protected:
    static void SetUpTestSuite()
    {
        ImageFileTest::SetUpTestSuite();
        SetColorProfileProgramPath(BuildTreeProgramPath());
    }

    // A save of the whole picture at its own size.
    void Prepare(IPManagerData& request, const std::string& name, int32_t fileType, int32_t format,
                 int32_t columns = 600, int32_t rows = 1200)
    {
        request.SetURL(FString("disk://C/nowhere/picture.kvr"));
        request.m_eKind = kIPRequestSave;
        request.m_iFileType = fileType;
        request.m_eOutputFormat = format;
        request.m_OutputSize.Set(columns, rows);
        request.m_Crop.Set(0, 0, columns, rows);
        request.m_sOutputPath = UrlOf(name);
        request.m_sSoftwareName = FString("Lumitra4");
        request.m_Version = {4, 1, 2, 7};
        request.m_iSettingMode = kIPSettingModeCustom;
        request.m_sSettingName = FString("Studio");
        request.m_iQuality = 11;
    }

    // Runs the save to its end and collects the progress it reported.
    int32_t Save(PictureWorker& worker, IPManagerData& request, std::vector<double>* progress = nullptr)
    {
        IPSaveManager saver(&worker);
        saver.Request(&request);
        for (int polls = 0; request.m_Result.IsPending() && polls < 100000; ++polls) {
            worker.Idle();
            saver.Idle();
            if (progress && (progress->empty() || progress->back() != request.m_Result.m_dProgress))
                progress->push_back(request.m_Result.m_dProgress);
        }
        return request.m_Result.m_eStatus;
    }

    std::vector<std::string> FolderNames() const
    {
        std::vector<std::string> names;
        for (const auto& item : std::filesystem::directory_iterator(m_Dir.Path()))
            names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(IPSaveManagerTest, ThumbnailSizeFollowsThePicturesShape)
{
    struct Case {
        int32_t columns, rows, width, height;
    };
    for (const Case& c : {Case{6000, 4000, 160, 160}, Case{1000, 1000, 147, 147}, Case{4000, 6000, 160, 160},
                          Case{1100, 1000, 154, 140}, Case{0, 1000, 0, 0}}) {
        const FIntSize size = SaveThumbnailSize(c.columns, c.rows);
        EXPECT_EQ(size.width, c.width) << c.columns << " x " << c.rows;
        EXPECT_EQ(size.height, c.height) << c.columns << " x " << c.rows;
    }
}

TEST_F(IPSaveManagerTest, SettingModesAreWrittenAsTheirTexts)
{
    struct Case {
        int32_t mode;
        const char16_t* name;
        const char* text;
    };
    for (const Case& c : {Case{kIPSettingModeAutomatic, u"", "Auto Setting Mode"},
                          Case{kIPSettingModeCustom, u"Studio", "Custom: Studio"},
                          Case{kIPSettingModeCustom, u"", "Custom Setting Mode"},
                          Case{kIPSettingModeCustom, u"Caf\u00e9", "Custom Setting Mode"},
                          Case{kIPSettingModeCustom, u"Why?", "Custom Setting Mode"},
                          Case{kIPSettingModeRawFile, u"Studio", "KVR Setting Mode"},
                          Case{0, u"", "Unknown Setting Mode"}})
        EXPECT_EQ(Utf8FromWide(SaveSettingModeText(c.mode, FString(c.name))), c.text);
}

TEST_F(IPSaveManagerTest, A48BitTiffIsWrittenInStripsWithItsThumbnailTagsAndProfile)
{
    PictureWorker worker(600, 1200);
    IPManagerData request;
    Prepare(request, "out.tif", 1, kRGB48);
    std::vector<double> progress;   // as reported while the save ran
    std::vector<double> atRequests; // when each develop was asked for
    worker.onDevelop = [&](int) { atRequests.push_back(request.m_Result.m_dProgress); };
    ASSERT_EQ(Save(worker, request, &progress), kIPStatusDone) << ResultText(request);

    // The thumbnail in sRGB 24-bit first, then strips of 500, 500 and 200 rows
    // with two rows of context where the picture has them.
    ASSERT_EQ(worker.m_Develops.size(), 4u);
    EXPECT_EQ(worker.m_Develops[0].size.width, 160);
    EXPECT_EQ(worker.m_Develops[0].size.height, 160);
    EXPECT_EQ(worker.m_Develops[0].colorSpace, 2);
    EXPECT_EQ(worker.m_Develops[0].format, kRGB24);
    const int32_t strips[3][2] = {{0, 502}, {498, 1002}, {998, 1200}};
    for (int i = 0; i < 3; ++i) {
        const PictureWorker::Develop& strip = worker.m_Develops[size_t(i) + 1];
        EXPECT_EQ(strip.crop.top, strips[i][0]);
        EXPECT_EQ(strip.crop.bottom, strips[i][1]);
        EXPECT_EQ(strip.crop.right, 600);
        EXPECT_EQ(strip.size.height, 1200);
        EXPECT_EQ(strip.format, kRGB48);
    }
    // The thumbnail is half the work; each strip's share follows its rows.
    ASSERT_EQ(atRequests.size(), 4u);
    EXPECT_DOUBLE_EQ(atRequests[0], 0.0);
    EXPECT_DOUBLE_EQ(atRequests[1], 0.5);
    EXPECT_DOUBLE_EQ(atRequests[2], 0.7);
    EXPECT_DOUBLE_EQ(atRequests[3], 0.9);
    EXPECT_DOUBLE_EQ(progress.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_TRUE(std::all_of(progress.begin(), progress.end(), [](double p) { return p >= 0 && p <= 1; }));
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"out.tif"});

    // Every row in its place.
    FTiffImageReader reader(UrlOf("out.tif"));
    uint32_t columns = 0, rows = 0;
    int32_t type = 0;
    reader.GetDimensions(columns, rows, type);
    ASSERT_EQ(columns, 600u);
    ASSERT_EQ(rows, 1200u);
    ASSERT_EQ(type, FPixmap::PIXEL_48_RGB);
    TestPixmap<FPixelClass48RGB> pixels(600, 1200);
    reader.ReadImage(pixels.get());
    int wrong = 0;
    for (int32_t y = 0; y < 1200; ++y)
        for (int32_t x = 0; x < 600; ++x) {
            const FPixelClass48RGB& p = pixels.At(x, y);
            const uint16_t want[3] = {uint16_t(PictureValue(x, y, 0, {600, 1200}, 65535)),
                                      uint16_t(PictureValue(x, y, 1, {600, 1200}, 65535)),
                                      uint16_t(PictureValue(x, y, 2, {600, 1200}, 65535))};
            wrong += p.r != want[0] || p.g != want[1] || p.b != want[2];
        }
    EXPECT_EQ(wrong, 0);

    // The settings in the maker note, the thumbnail, the private tag and the
    // sRGB profile among the tags.
    FPropTree props(nullptr, "read");
    reader.GetProperties(&props);
    EXPECT_EQ(Value(props, "rpSettingMode"), "Custom: Studio");
    EXPECT_EQ(Value(props, "rpQuality"), "11");
    EXPECT_EQ(Value(props, "rpColorSpace"), "2");
    EXPECT_EQ(Value(props, "rpMNSoftware"), "Lumitra4 4.1.2.0007");
    const std::map<uint16_t, TiffEntry> tags = ReadTiffDirectory(FileBytes("out.tif"));
    for (uint16_t tag : {34377, 34665, 34675, 37717})
        EXPECT_EQ(tags.count(tag), 1u) << tag;
    const Bytes& icc = tags.at(34675).data;
    cmsHPROFILE embedded = cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size()));
    ASSERT_NE(embedded, nullptr);
    char description[128] = {};
    cmsGetProfileInfoASCII(embedded, cmsInfoDescription, "en", "US", description, sizeof description);
    EXPECT_NE(std::string(description).find("sRGB"), std::string::npos) << description;
    cmsCloseProfile(embedded);

    if (ToolAvailable("tiffinfo")) {
        EXPECT_EQ(RunTool("tiffinfo " + PathOf("out.tif").string() + " >/dev/null 2>&1").status, 0);
    }
}

TEST_F(IPSaveManagerTest, AJpegInSrgbCarriesItsExifAndThumbnailButNoProfile)
{
    PictureWorker worker(1200, 800);
    IPManagerData request;
    Prepare(request, "out.jpg", 2, kRGB24, 1200, 800);
    request.m_bAccurateDCT = true;
    ASSERT_EQ(Save(worker, request), kIPStatusDone) << ResultText(request);
    EXPECT_EQ(worker.m_Develops.size(), 3u); // the thumbnail and two strips

    const Bytes file = FileBytes("out.jpg");
    bool exif = false, icc = false;
    for (const JpegMarker& marker : ReadJpegMarkers(file)) {
        exif = exif || (marker.code == 0xE1 && marker.data.size() > 4 && std::memcmp(marker.data.data(), "Exif", 4) == 0);
        icc = icc || marker.code == 0xE2;
    }
    EXPECT_TRUE(exif);
    EXPECT_FALSE(icc);

    FJPEGImageReader reader(UrlOf("out.jpg"));
    FPropTree props(nullptr, "read");
    reader.GetProperties(&props);
    EXPECT_EQ(Value(props, "rpSettingMode"), "Custom: Studio");
    EXPECT_EQ(Value(props, "rpQuality"), "11");

    const DecodedJpeg decoded = DecodeJpeg(file, 0);
    ASSERT_EQ(decoded.columns, 1200u);
    ASSERT_EQ(decoded.rows, 800u);
    double total = 0;
    for (uint32_t y = 0; y < decoded.rows; ++y)
        for (uint32_t x = 0; x < decoded.columns; ++x)
            for (int c = 0; c < 3; ++c)
                total += std::abs(int(decoded.pixels[(size_t(y) * decoded.columns + x) * 3 + size_t(c)]) -
                                  int(PictureValue(int32_t(x), int32_t(y), c, {1200, 800}, 255)));
    EXPECT_LT(total / (1200.0 * 800 * 3), 1.0);

    if (ToolAvailable("djpeg")) {
        EXPECT_EQ(RunTool("djpeg " + PathOf("out.jpg").string() + " >/dev/null 2>&1").status, 0);
    }
}

TEST_F(IPSaveManagerTest, TheProfileOfTheOutputSpaceIsEmbeddedAndAMissingOneRefusedWhenRequired)
{
    struct Case {
        int32_t fileType;
        int32_t colorSpace;
        bool allowNoProfile;
        int32_t status;
        const char* profile; // a word of the embedded profile's description, "" for none
    };
    for (const Case& c : {Case{2, 3, false, kIPStatusDone, "Adobe"}, Case{1, 11, false, kIPStatusDone, "ProPhoto"},
                          Case{1, 5, true, kIPStatusDone, ""}, Case{1, 5, false, kIPStatusError, ""}}) {
        SCOPED_TRACE(testing::Message() << "file type " << c.fileType << ", colour space " << c.colorSpace);
        PictureWorker worker(120, 80);
        IPManagerData request;
        const std::string name = c.fileType == 1 ? "p.tif" : "p.jpg";
        Prepare(request, name, c.fileType, kRGB24, 120, 80);
        request.m_iColorSpace = c.colorSpace;
        request.m_bAllowNoProfile = c.allowNoProfile;
        ASSERT_EQ(Save(worker, request), c.status) << ResultText(request);
        if (c.status != kIPStatusDone) {
            EXPECT_EQ(request.m_Result.m_eError, kIPErrorProfileMissing);
            EXPECT_EQ(ResultText(request), "IPSaveManager::priSaveWriteProperties: Color profile missing.");
            EXPECT_TRUE(FolderNames().empty());
            continue;
        }
        Bytes icc;
        if (c.fileType == 1) {
            const auto tags = ReadTiffDirectory(FileBytes(name));
            if (tags.count(34675))
                icc = tags.at(34675).data;
        } else {
            for (const JpegMarker& marker : ReadJpegMarkers(FileBytes(name)))
                if (marker.code == 0xE2 && marker.data.size() > 14)
                    icc.insert(icc.end(), marker.data.begin() + 14, marker.data.end());
        }
        if (*c.profile == 0) {
            EXPECT_TRUE(icc.empty());
        } else {
            cmsHPROFILE embedded = cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size()));
            ASSERT_NE(embedded, nullptr);
            char description[128] = {};
            cmsGetProfileInfoASCII(embedded, cmsInfoDescription, "en", "US", description, sizeof description);
            EXPECT_NE(std::string(description).find(c.profile), std::string::npos) << description;
            cmsCloseProfile(embedded);
        }
        std::filesystem::remove(PathOf(name));
    }
}

TEST_F(IPSaveManagerTest, RequestsThatCannotBeSavedAreRefusedBeforeAnyFileExists)
{
    struct Case {
        const char* what;
        std::function<void(IPManagerData&)> spoil;
        int32_t error;
    };
    const std::vector<Case> cases = {
        {"display pixels", [](IPManagerData& r) { r.m_eOutputFormat = kDisplay; }, kIPErrorBadParameter},
        {"unknown output format", [](IPManagerData& r) { r.m_eOutputFormat = 7; }, kIPErrorBadParameter},
        {"unknown file type", [](IPManagerData& r) { r.m_iFileType = 3; }, kIPErrorBadParameter},
        {"48-bit JPEG", [](IPManagerData& r) { r.m_iFileType = 2; }, kIPErrorBadParameter},
        {"no output file", [](IPManagerData& r) { r.m_sOutputPath.Empty(); }, kIPErrorBadParameter},
        {"zero size", [](IPManagerData& r) { r.m_OutputSize.Set(0, 0); }, kIPErrorBadParameter},
        {"empty crop", [](IPManagerData& r) { r.m_Crop.Set(10, 10, 10, 50); }, kIPErrorBadParameter},
        {"inverted crop", [](IPManagerData& r) { r.m_Crop.Set(0, 500, 600, 100); }, kIPErrorBadParameter},
        {"crop outside", [](IPManagerData& r) { r.m_Crop.Set(0, 0, 601, 1200); }, kIPErrorBadParameter},
        {"not a save", [](IPManagerData& r) { r.m_eKind = kIPRequestDevelop; }, kIPErrorUnsupportedRequest},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PictureWorker worker(600, 1200);
        IPManagerData request;
        Prepare(request, "refused.tif", 1, kRGB48);
        c.spoil(request);
        IPSaveManager saver(&worker);
        saver.Request(&request);
        EXPECT_EQ(request.m_Result.m_eStatus, kIPStatusError);
        EXPECT_EQ(request.m_Result.m_eError, c.error) << ResultText(request);
        EXPECT_FALSE(saver.IsBusy());
        EXPECT_TRUE(worker.m_Develops.empty());
        EXPECT_TRUE(FolderNames().empty());
    }
}

TEST_F(IPSaveManagerTest, AFailedOrCancelledSaveLeavesNoFileAndKeepsTheOldOne)
{
    const std::string old = "the picture saved before";
    struct Case {
        const char* what;
        int failAt;          // the develop that fails (0 the thumbnail)
        int cancelAt;        // the develop during which the caller cancels
        uint64_t sizeLimit;  // bytes a file may grow to; 0 for no limit
        int32_t status;
    };
    for (const Case& c : {Case{"thumbnail fails", 0, -1, 0, kIPStatusError},
                          Case{"middle strip fails", 2, -1, 0, kIPStatusError},
                          Case{"cancelled at the middle strip", -1, 2, 0, kIPStatusCancelled},
                          Case{"cancelled at the last strip", -1, 3, 0, kIPStatusCancelled},
                          Case{"disk full at the middle strip", -1, -1, 2500000, kIPStatusError}}) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(PathOf("kept.tif"), old);
        PictureWorker worker(600, 1200);
        worker.failAt = c.failAt;
        IPManagerData request;
        Prepare(request, "kept.tif", 1, kRGB48);
        worker.onDevelop = [&](int index) {
            if (index == c.cancelAt)
                request.m_Result.m_bCancel = true;
        };
        std::unique_ptr<FileSizeLimit> limit;
        if (c.sizeLimit)
            limit = std::make_unique<FileSizeLimit>(c.sizeLimit);
        EXPECT_EQ(Save(worker, request), c.status) << ResultText(request);
        limit.reset();
        if (c.sizeLimit) { // 4.3 MB of rows: the limit is met after the first strip
            EXPECT_GE(worker.m_Develops.size(), 3u);
        }
        EXPECT_EQ(ReadFileBytes(PathOf("kept.tif")), old);
        EXPECT_EQ(FolderNames(), std::vector<std::string>{"kept.tif"});
        std::filesystem::remove(PathOf("kept.tif"));

        // Without an old file nothing at all is left.
        PictureWorker again(600, 1200);
        again.failAt = c.failAt;
        IPManagerData fresh;
        Prepare(fresh, "new.tif", 1, kRGB48);
        again.onDevelop = [&](int index) {
            if (index == c.cancelAt)
                fresh.m_Result.m_bCancel = true;
        };
        if (c.sizeLimit)
            limit = std::make_unique<FileSizeLimit>(c.sizeLimit);
        EXPECT_EQ(Save(again, fresh), c.status) << ResultText(fresh);
        limit.reset();
        EXPECT_TRUE(FolderNames().empty());
    }
}

TEST_F(IPSaveManagerTest, AFileThatCannotBeWrittenEndsTheSaveAndALockedOneIsNeverReplaced)
{
    PictureWorker worker(120, 80);
    IPManagerData nowhere;
    Prepare(nowhere, "missing-folder/out.tif", 1, kRGB24, 120, 80);
    EXPECT_EQ(Save(worker, nowhere), kIPStatusError);
    EXPECT_EQ(nowhere.m_Result.m_eError, kIPErrorException);
    EXPECT_EQ(ResultText(nowhere), "IPSaveManager::priProcessIdle: caught exception!");

    WriteFileBytes(PathOf("locked.tif"), "locked");
    ASSERT_EQ(chmod(PathOf("locked.tif").c_str(), 0444), 0);
    IPManagerData locked;
    Prepare(locked, "locked.tif", 1, kRGB24, 120, 80);
    EXPECT_EQ(Save(worker, locked), kIPStatusError);
    EXPECT_EQ(ReadFileBytes(PathOf("locked.tif")), "locked");
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"locked.tif"});

    // A size the picture's shape does not allow gives strips short of rows.
    PictureWorker square(120, 120);
    IPManagerData misfit;
    Prepare(misfit, "misfit.tif", 1, kRGB24, 120, 80);
    EXPECT_EQ(Save(square, misfit), kIPStatusError);
    EXPECT_EQ(misfit.m_Result.m_eError, kIPErrorBadParameter) << ResultText(misfit);
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"locked.tif"});
}

} // namespace
