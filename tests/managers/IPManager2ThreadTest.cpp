// The per-image worker on raw files written by the test builder and read
// through the real loaders, with its engine and loader threads running.

#include "managers/IPManager2.h"

#include "foundation/FCache.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "managers/IPMCacheEntry.h"
#include "managers/IPManagerLabels.h"
#include "ManagerTestFiles.h"
#include "support/SyntheticCamera.h"

#include <sys/stat.h>

#include <memory>

using namespace testsupport;

namespace {

class IPManager2Test : public PdxbFileTest {
protected:
    FString WriteRaw(const RawFileLayout& layout = {}, const std::string& name = "image.kvr")
    {
        return Write(BuildManagerRawFile(layout), name);
    }

    // The capture properties and identity the worker sees for the file.
    std::unique_ptr<FPropTree> PropertiesOf(const FString& url)
    {
        IPManagerData request;
        request.SetURL(url);
        request.m_eKind = kIPRequestProperties;
        EXPECT_EQ(RunRequest(m_Worker, request), kIPStatusDone) << ResultText(request);
        auto tree = std::make_unique<FPropTree>(nullptr, "copy");
        tree->CopyPairs(request.m_pImageProps);
        return tree;
    }

    // A pixmap entry under the label, marked done, left unlocked in the cache.
    void PrefillDone(const FString& label, int32_t pixelType, int32_t width, int32_t height,
                     void (*fill)(FICacheObject*) = nullptr)
    {
        FICacheObject* entry = GetPixmapCacheEntry(label, pixelType, width, height);
        ASSERT_NE(entry, nullptr);
        if (fill)
            fill(entry);
        SetEntryDone(PixmapEntryHeader(entry)->m_bDone, true);
        entry->Unlock();
    }

    FIPManagerLabels LabelsOf(const FString& url, const IPManagerData& request)
    {
        auto props = PropertiesOf(url);
        return BuildIPManagerLabels(request, *props, FString(Value(*props, "UNIQUEID").c_str()));
    }

    IPManager2 m_Worker;
};

void FillStage2(FICacheObject* entry)
{
    FPixmapEntryHeader& header = *PixmapEntryHeader(entry);
    header.m_dAutoExposure = 0.25;
    header.m_dAutoShadow = 0.5;
    header.m_dAutoContrast = -0.75;
    header.m_dAutoHighlight = 1.0;
    header.m_dAutoSaturation = 0.125;
    header.m_dFillLight = 1.5;
    header.m_adAutoColorGain[0] = 1.25;
    header.m_adAutoColorGain[1] = 1.0;
    header.m_adAutoColorGain[2] = 0.75;
    const FPixmap& image = *header.m_pPixmap;
    for (int y = 0; y < image.m_iRows; ++y) {
        auto* row = reinterpret_cast<int16_t*>(image.GetRow(y));
        for (int x = 0; x < image.m_iColumns; ++x) {
            row[3 * x] = 1000;
            row[3 * x + 1] = 2000;
            row[3 * x + 2] = 500;
        }
    }
}

void FillNoRed(FICacheObject* entry)
{
    FillStage2(entry);
    const FPixmap& image = *PixmapEntryHeader(entry)->m_pPixmap;
    for (int y = 0; y < image.m_iRows; ++y)
        for (int x = 0; x < image.m_iColumns; ++x)
            reinterpret_cast<int16_t*>(image.GetRow(y))[3 * x] = 0;
}

} // namespace

TEST_F(IPManager2Test, PropertiesAreReadOnceThenServedFromTheCacheUntilAModify)
{
    const FString url = WriteRaw();
    EXPECT_EQ(Value(*PropertiesOf(url), "ISO"), "200");

    // The file changes behind the worker's back, keeping its identity: the
    // cached properties are still served.
    RawFileLayout changed;
    changed.properties = {{u"CAMMODEL", u"KT5R"}, {u"ISO", u"400"}};
    WriteRaw(changed);
    EXPECT_EQ(Value(*PropertiesOf(url), "ISO"), "200");

    IPManagerData modify;
    modify.SetURL(url);
    modify.m_eKind = kIPRequestModifyProperties;
    modify.m_pImageProps->AddPair("WB_DESC", "Shade");
    ASSERT_EQ(RunRequest(m_Worker, modify), kIPStatusDone) << ResultText(modify);

    auto reread = PropertiesOf(url);
    EXPECT_EQ(Value(*reread, "ISO"), "400");
    EXPECT_EQ(Value(*reread, "WB_DESC"), "Shade");
}

TEST_F(IPManager2Test, AModifyOfALockedFileFailsAndLeavesItAsItWas)
{
    const FString url = WriteRaw();
    const std::string before = ReadFileBytes(PathOf("image.kvr"));
    ASSERT_EQ(chmod(PathOf("image.kvr").c_str(), 0444), 0);

    IPManagerData modify;
    modify.SetURL(url);
    modify.m_eKind = kIPRequestModifyProperties;
    modify.m_pImageProps->AddPair("ROTATION", "90");
    EXPECT_EQ(RunRequest(m_Worker, modify), kIPStatusError);
    EXPECT_EQ(modify.m_Result.m_eError, kIPErrorModifyFailed);
    EXPECT_EQ(ReadFileBytes(PathOf("image.kvr")), before);
}

TEST_F(IPManager2Test, FilesThatCannotBeReadFailWithTheLoadersCodes)
{
    WriteFileBytes(PathOf("garbage.kvr"), std::string(600, 'x'));
    struct Case {
        std::string name;
        int32_t error;
    };
    const Case cases[] = {{"missing.kvr", kIPErrorFileNotFound}, {"garbage.kvr", kIPErrorJPEG}};
    for (const Case& c : cases) {
        for (int32_t kind : {kIPRequestProperties, kIPRequestDevelop, kIPRequestIlluminants}) {
            IPManagerData request;
            request.SetURL(UrlOf(c.name));
            request.m_eKind = kind;
            // A develop that would be refused for its own settings never reaches the file.
            request.m_OutputSize.Set(24, 16);
            request.m_Crop.Set(0, 0, 24, 16);
            request.m_eOutputFormat = kDisplay;
            EXPECT_EQ(RunRequest(m_Worker, request), kIPStatusError) << c.name << " kind " << kind;
            EXPECT_EQ(request.m_Result.m_eError, c.error) << c.name << " kind " << kind << ": " << ResultText(request);
            EXPECT_FALSE(m_Worker.IsBusy());
        }
    }
    // Camera data whose coded header is broken: the list request fails as the
    // loader reports it, and nothing stays pending or held.
    PdxbFile file = BuildManagerRawFile({});
    const uint64_t camfile = file.sectionOffsets[3];
    for (uint64_t i = camfile + 16; i < camfile + 16 + 44; ++i)
        file.bytes[i] = 0xFF;
    IPManagerData lists;
    lists.SetURL(Write(file, "broken.kvr"));
    lists.m_eKind = kIPRequestIlluminants;
    EXPECT_EQ(RunRequest(m_Worker, lists), kIPStatusError);
    EXPECT_EQ(lists.m_Result.m_eError, kIPErrorJPEG) << ResultText(lists);
    EXPECT_FALSE(m_Worker.IsBusy());

    // The worker goes on with a good file.
    EXPECT_EQ(Value(*PropertiesOf(WriteRaw()), "ISO"), "200");
}

TEST_F(IPManager2Test, IlluminantAndColourModeListsComeFromTheCameraData)
{
    struct Case {
        const char* name;
        bool illuminantList;
        bool autoNeutral;
        int32_t kind;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"illuminants", true, true, kIPRequestIlluminants, {"Daylight", "Tungsten", "Auto"}},
        {"no automatic neutral", true, false, kIPRequestIlluminants, {"Daylight", "Tungsten"}},
        {"corrections instead", false, true, kIPRequestIlluminants, {"Flash", "Auto"}},
        {"colour modes", true, true, kIPRequestColorModes, {"Standard", "Vivid"}},
    };
    for (const Case& c : cases) {
        RawFileLayout layout;
        layout.illuminantList = c.illuminantList;
        layout.autoNeutral = c.autoNeutral;
        IPManagerData request;
        request.SetURL(WriteRaw(layout, std::string(c.name) + ".kvr"));
        request.m_eKind = c.kind;
        ASSERT_EQ(RunRequest(m_Worker, request), kIPStatusDone) << c.name << ": " << ResultText(request);
        EXPECT_EQ(Keys(*request.m_pImageProps), c.expected) << c.name;
        for (const std::string& key : c.expected)
            EXPECT_EQ(Value(*request.m_pImageProps, key.c_str()), "") << c.name;
    }

    IPManagerData noList;
    noList.SetURL(WriteRaw());
    noList.m_eKind = kIPRequestColorModes;
    delete noList.m_pImageProps;
    noList.m_pImageProps = nullptr;
    EXPECT_EQ(RunRequest(m_Worker, noList), kIPStatusError);
    EXPECT_EQ(noList.m_Result.m_eError, kIPErrorBadParameter);
}

TEST_F(IPManager2Test, AnAutomaticAdjustmentWithItsDevelopmentCachedOnlyLoadsTheCameraData)
{
    const FString url = WriteRaw();
    IPManagerData request;
    request.SetURL(url);
    request.m_eKind = kIPRequestAutoAdjust;
    const FIPManagerLabels labels = LabelsOf(url, request);
    PrefillDone(labels.m_sStage2Out, FPixmap::PIXEL_48S_RGB, 24, 16, FillStage2);
    PrefillDone(labels.m_sStage2OutRtnx, FPixmap::PIXEL_16S_MONO, 24, 16);
    PrefillDone(labels.m_sStage2OutRefKV, FPixmap::PIXEL_48S_RGB, 24, 16);

    ASSERT_EQ(RunRequest(m_Worker, request), kIPStatusDone) << ResultText(request);
    EXPECT_EQ(m_Worker.GetStartState(), IPManager2::kStateCompleteAutoAdjust);
    EXPECT_EQ(request.m_dExposure, 0.25);
    EXPECT_EQ(request.m_dShadow, 0.5);
    EXPECT_EQ(request.m_dContrast, -0.75);
    EXPECT_EQ(request.m_dHighlight, 1.0);
    EXPECT_EQ(request.m_dSaturation, 0.125);
    EXPECT_EQ(request.m_dFillLight, 1.5);
    EXPECT_EQ(request.m_ColorAdjust.r, 1.25);
    EXPECT_EQ(request.m_ColorAdjust.b, 0.75);
    EXPECT_EQ(request.m_dChromaNoise, 0.5);
}

TEST_F(IPManager2Test, NeutralAtAPointBalancesThePickedPatchAndRefusesADarkChannel)
{
    const FString url = WriteRaw();
    IPManagerData request;
    request.SetURL(url);
    request.m_eKind = kIPRequestNeutralAtPoint;
    request.m_OutputSize.Set(640, 480); // always developed at 100 x 100
    // The labels of the size the worker develops at.
    IPManagerData atSize;
    atSize.CopyRequestFrom(request);
    atSize.m_OutputSize.Set(100, 100);
    atSize.m_Crop.Set(0, 0, 100, 100);
    const FIPManagerLabels labels = LabelsOf(url, atSize);
    PrefillDone(labels.m_sStage2Out, FPixmap::PIXEL_48S_RGB, 24, 16, FillStage2);
    PrefillDone(labels.m_sStage2OutRtnx, FPixmap::PIXEL_16S_MONO, 24, 16);
    PrefillDone(labels.m_sStage2OutRefKV, FPixmap::PIXEL_48S_RGB, 24, 16);

    request.m_PickPoint = FIntPoint(16, 10); // patch 12..20 x 6..14, all lit
    ASSERT_EQ(RunRequest(m_Worker, request), kIPStatusDone) << ResultText(request);
    EXPECT_EQ(m_Worker.GetStartState(), IPManager2::kStateCompleteNeutralAtPoint);
    const double luma = 0.55 * 2000 + 0.3 * 1000 + 0.15 * 500;
    EXPECT_DOUBLE_EQ(request.m_ColorAdjust.r, luma / 1000);
    EXPECT_DOUBLE_EQ(request.m_ColorAdjust.g, luma / 2000);
    EXPECT_DOUBLE_EQ(request.m_ColorAdjust.b, luma / 500);
    EXPECT_EQ(request.m_OutputSize.width, 100);

    // A patch without red would need an infinite gain: refused.
    PrefillDone(labels.m_sStage2Out, FPixmap::PIXEL_48S_RGB, 24, 16, FillNoRed);
    IPManagerData dark;
    dark.SetURL(url);
    dark.m_eKind = kIPRequestNeutralAtPoint;
    dark.m_PickPoint = FIntPoint(2, 2); // the patch clamps to (0, 0, 6, 6)
    EXPECT_EQ(RunRequest(m_Worker, dark), kIPStatusError);
    EXPECT_EQ(dark.m_Result.m_eError, kIPErrorBadParameter);
}

TEST_F(IPManager2Test, DevelopmentsStartAfterTheLastResultTheCacheHolds)
{
    struct Case {
        const char* name;
        bool stage1, stage2, stage3, stage4;
        int startState;
    };
    const Case cases[] = {
        {"nothing cached", false, false, false, false, IPManager2::kStateFindImages},
        {"stage 1", true, false, false, false, IPManager2::kStateStage2},
        {"stage 2", true, true, false, false, IPManager2::kStateStage3},
        {"stage 3", true, true, true, false, IPManager2::kStateLoadCamfile},
        {"stage 4", true, true, true, true, IPManager2::kStateCompleteDevelop},
    };
    for (const Case& c : cases) {
        const FString url = WriteRaw({}, std::string(c.name) + ".kvr");
        IPManagerData request;
        request.SetURL(url);
        request.m_eKind = kIPRequestDevelop;
        request.m_OutputSize.Set(24, 16);
        request.m_Crop.Set(0, 0, 24, 16);
        request.m_eOutputFormat = kDisplay;
        const FIPManagerLabels labels = LabelsOf(url, request);
        if (c.stage1)
            PrefillDone(labels.m_sStage1Out, FPixmap::PIXEL_48S_RGB, 24, 16);
        if (c.stage2)
            for (const FString* label : {&labels.m_sStage2Out, &labels.m_sStage2OutRtnx, &labels.m_sStage2OutRefKV})
                PrefillDone(*label, FPixmap::PIXEL_48S_RGB, 24, 16);
        if (c.stage3)
            for (const FString* label : {&labels.m_sStage3Out, &labels.m_sStage3OutL, &labels.m_sStage3OutRtnx})
                PrefillDone(*label, FPixmap::PIXEL_48S_RGB, 24, 16);
        if (c.stage4)
            PrefillDone(labels.m_sStage4Out, FPixmap::PIXEL_32_BGRA, 24, 16);

        RunRequest(m_Worker, request);
        EXPECT_EQ(m_Worker.GetStartState(), c.startState) << c.name;
        EXPECT_FALSE(m_Worker.IsBusy()) << c.name;
    }
}

TEST_F(IPManager2Test, KindsWithoutAHandlerAndBusyWorkersAreRefused)
{
    IPManagerData none;
    none.m_eKind = kIPRequestNone;
    m_Worker.Request(&none);
    EXPECT_EQ(none.m_Result.m_eStatus, kIPStatusDone);
    EXPECT_FALSE(m_Worker.IsBusy());

    IPManagerData unknown;
    unknown.m_eKind = 5;
    m_Worker.Request(&unknown);
    EXPECT_EQ(unknown.m_Result.m_eStatus, kIPStatusError);
    EXPECT_EQ(unknown.m_Result.m_eError, kIPErrorUnsupportedRequest);
    EXPECT_EQ(ResultText(unknown), "");

    IPManagerData noList;
    noList.SetURL(WriteRaw());
    noList.m_eKind = kIPRequestProperties;
    delete noList.m_pImageProps;
    noList.m_pImageProps = nullptr;
    m_Worker.Request(&noList);
    EXPECT_EQ(noList.m_Result.m_eError, kIPErrorBadParameter);
    EXPECT_EQ(ResultText(noList), "IPManager2::priHandlePropertiesRequest: Property list ptr is NULL.");
}

TEST_F(IPManager2Test, AWorkerDestroyedDuringALoadEndsItsRequestCancelled)
{
    RawFileLayout layout;
    layout.camfilePadding = 3 << 20;
    IPManagerData request;
    request.SetURL(WriteRaw(layout));
    request.m_eKind = kIPRequestColorModes;
    {
        IPManager2 worker;
        worker.Request(&request);
    }
    EXPECT_NE(request.m_Result.m_eStatus, kIPStatusPending);
}


TEST_F(IPManager2Test, TheSyntheticCamerasFileAnswersItsListsPropertiesAndCachedAdjustment)
{
    SyntheticOptions options;
    options.noise = false;
    const FString url = Write(MakeSyntheticRaw(options).file, "synthetic.kvr");

    IPManagerData illuminants;
    illuminants.SetURL(url);
    illuminants.m_eKind = kIPRequestIlluminants;
    ASSERT_EQ(RunRequest(m_Worker, illuminants), kIPStatusDone) << ResultText(illuminants);
    EXPECT_EQ(Keys(*illuminants.m_pImageProps),
              (std::vector<std::string>{"Daylight", "Sunlight", "Shade", "Overcast", "Incandescent", "Fluorescent",
                                        "Flash", "Auto", "Custom"}));
    IPManagerData modes;
    modes.SetURL(url);
    modes.m_eKind = kIPRequestColorModes;
    ASSERT_EQ(RunRequest(m_Worker, modes), kIPStatusDone) << ResultText(modes);
    EXPECT_EQ(Keys(*modes.m_pImageProps), std::vector<std::string>{"Standard"});

    auto props = PropertiesOf(url);
    EXPECT_EQ(Value(*props, "CAMMODEL"), "TALVO KT9");
    EXPECT_EQ(Value(*props, "WB_DESC"), "Daylight");

    IPManagerData adjust;
    adjust.SetURL(url);
    adjust.m_eKind = kIPRequestAutoAdjust;
    adjust.m_sWBDesc = FString("Shade"); // part of what stage 2 is labelled by
    const FIPManagerLabels labels = LabelsOf(url, adjust);
    PrefillDone(labels.m_sStage2Out, FPixmap::PIXEL_48S_RGB, 24, 16, FillStage2);
    PrefillDone(labels.m_sStage2OutRtnx, FPixmap::PIXEL_16S_MONO, 24, 16);
    PrefillDone(labels.m_sStage2OutRefKV, FPixmap::PIXEL_48S_RGB, 24, 16);
    ASSERT_EQ(RunRequest(m_Worker, adjust), kIPStatusDone) << ResultText(adjust);
    EXPECT_EQ(adjust.m_dFillLight, 1.5);

    // Without the request's white balance the stage-2 result is another one.
    IPManagerData asShot;
    asShot.SetURL(url);
    asShot.m_eKind = kIPRequestAutoAdjust;
    RunRequest(m_Worker, asShot);
    EXPECT_EQ(m_Worker.GetStartState(), IPManager2::kStateFindImages);
}

TEST_F(IPManager2Test, ARequestItsCallerEndsDuringALoadLeavesTheWorkerReadyForTheNext)
{
    RawFileLayout layout;
    layout.camfilePadding = 3 << 20;
    const FString url = WriteRaw(layout);
    IPManagerData modes;
    modes.SetURL(url);
    modes.m_eKind = kIPRequestColorModes;
    m_Worker.Request(&modes);
    if (modes.m_Result.IsPending()) {
        modes.m_Result.m_eStatus = kIPStatusCancelled; // the caller gives up
        m_Worker.Idle();
        EXPECT_FALSE(m_Worker.IsBusy());
    }
    EXPECT_EQ(Value(*PropertiesOf(url), "ISO"), "200");
    // The cancelled load is loaded again for the next list.
    IPManagerData again;
    again.SetURL(url);
    again.m_eKind = kIPRequestColorModes;
    EXPECT_EQ(RunRequest(m_Worker, again), kIPStatusDone) << ResultText(again);
}
