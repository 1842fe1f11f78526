// The browsed-file entry: shooting information formatted into display texts,
// read through a manager that answers from a list of properties.

#include "managers/FImageFileListEntry.h"

#include "foundation/FPropTree.h"
#include "managers/FIPManager.h"
#include "managers/IPManagerData.h"
#include "support/TempFileTest.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace testsupport;

namespace {

using Properties = std::vector<std::pair<const char*, const char*>>;

// Answers every request from its list: properties requests with the list,
// after a few slices when asked to; a failing manager leaves the list empty.
class ListManager final : public FIPManager {
public:
    explicit ListManager(Properties properties, int32_t status = kIPStatusDone, int slices = 0)
        : m_Properties(std::move(properties)), m_iStatus(status), m_iSlices(slices)
    {
    }

    bool IsBusy() override { return m_pRequest != nullptr; }
    void Request(IPManagerData* request) override
    {
        m_Kinds.push_back(request->m_eKind);
        if (request->m_eKind == kIPRequestModifyProperties)
            m_Written.CopyPairs(request->m_pImageProps);
        m_pRequest = request;
        m_iLeft = m_iSlices;
        request->m_Result.m_eStatus = kIPStatusPending;
        Idle();
    }
    void Idle() override
    {
        if (!m_pRequest || m_iLeft-- > 0)
            return;
        if (m_iStatus == kIPStatusDone && m_pRequest->m_eKind == kIPRequestProperties)
            for (const auto& [key, value] : m_Properties)
                m_pRequest->m_pImageProps->AddPair(key, value);
        if (m_iStatus == kIPStatusError)
            m_pRequest->m_Result.Fail(kIPErrorFileIO, "unreadable");
        else
            m_pRequest->m_Result.Finish(m_iStatus);
        m_pRequest = nullptr;
    }

    std::vector<int32_t> m_Kinds;
    FPropTree m_Written{nullptr, "written"};

private:
    Properties m_Properties;
    int32_t m_iStatus;
    int m_iSlices;
    int m_iLeft = 0;
    IPManagerData* m_pRequest = nullptr;
};

class FImageFileListEntryTest : public TempFileTest {
protected:
    FString ExistingFile(const std::string& name)
    {
        WriteFileBytes(PathOf(name), "x");
        return UrlOf(name);
    }

    FImageFileListEntry Read(const Properties& properties, const std::string& name = "image.kvr")
    {
        FImageFileListEntry entry;
        entry.SetURL(ExistingFile(name));
        ListManager manager(properties);
        EXPECT_TRUE(entry.GetProps(&manager));
        return entry;
    }
};

using Field = std::function<FString(const FImageFileListEntry&)>;
const Field kShutter = [](const FImageFileListEntry& e) { return e.GetShutter(); };
const Field kExposure = [](const FImageFileListEntry& e) { return e.GetExposureComp(); };
const Field kFocal = [](const FImageFileListEntry& e) { return e.GetFocalLength(); };
const Field kCamera = [](const FImageFileListEntry& e) { return e.GetCameraModel(); };
const Field kSetting = [](const FImageFileListEntry& e) { return e.GetSettingMode(); };
const Field kSerial = [](const FImageFileListEntry& e) { return e.GetSerialNumber(); };

TEST_F(FImageFileListEntryTest, PropertyValuesBecomeTheirDisplayTexts)
{
    struct Case {
        Properties properties;
        Field field;
        const char* text;
    };
    const std::vector<Case> cases = {
        {{{"SH_DESC", "s"}, {"SHUTTER", "30.1234"}}, kShutter, "BULB"},
        {{{"SH_DESC", "s"}, {"SHUTTER", "0.28"}}, kShutter, "0.3"},
        {{{"SH_DESC", "s"}, {"SHUTTER", "0.27"}}, kShutter, "1/4"},
        {{{"SH_DESC", "s"}, {"SHUTTER", "3.96"}}, kShutter, "4.0"},
        {{{"SH_DESC", "s"}, {"SHUTTER", "4.0"}}, kShutter, "4"},
        {{{"SH_DESC", "s"}, {"SHUTTER", "0.004"}}, kShutter, "1/250"},
        {{{"SH_DESC", "s"}, {"SHUTTER", "2.5"}}, kShutter, "2.5"},
        {{{"SH_DESC", "s"}, {"SHUTTER", "30"}}, kShutter, "30"},
        // Zero and negative times, and texts that are no number, keep SH_DESC.
        {{{"SH_DESC", "s"}, {"SHUTTER", "0"}}, kShutter, "s"},
        {{{"SH_DESC", "s"}, {"SHUTTER", "-0.004"}}, kShutter, "s"},
        {{{"SH_DESC", "s"}, {"SHUTTER", "1e-30"}}, kShutter, "s"},
        {{{"SH_DESC", "s"}, {"SHUTTER", "nan"}}, kShutter, "s"},
        {{{"SH_DESC", "s"}, {"SHUTTER", "fast"}}, kShutter, "s"},
        {{{"SH_DESC", "s"}}, kShutter, "s"},
        {{{"SH_DESC", "1/125"}, {"SHUTTER", "0.5"}}, kShutter, "1/125"},
        {{}, kShutter, " "},
        {{{"EXPNET", "0"}}, kExposure, "0"},
        {{{"EXPNET", "0.1"}}, kExposure, "+0.2"},
        {{{"EXPNET", "0.3"}}, kExposure, "+0.3"},
        {{{"EXPNET", "-0.65"}}, kExposure, "-0.7"},
        {{{"EXPNET", "1"}}, kExposure, "+1.0"},
        {{{"EXPNET", "plus one"}}, kExposure, "plus one"},
        {{}, kExposure, " "},
        {{{"FLENGTH", "30"}, {"LENSFRANGE", "18 to 50"}}, kFocal, "30 mm (18-50)"},
        {{{"FLENGTH", "30"}}, kFocal, "30 mm"},
        {{{"FLENGTH", "30"}, {"LENSFRANGE", "30"}}, kFocal, "30 mm"},
        {{{"FLENGTH", "30"}, {"LENSFRANGE", "18-50mm"}}, kFocal, "30 mm (18-50mm)"},
        {{{"LENSFRANGE", "18 to 50"}}, kFocal, " "},
        {{{"FLENGTH", " "}, {"LENSFRANGE", "18 to 50"}}, kFocal, " "},
        {{{"CAMMANUF", "Talvo"}, {"CAMMODEL", "Talvo KT5R"}}, kCamera, "Talvo KT5R"},
        {{{"CAMMANUF", "Talvo"}, {"CAMMODEL", "KT5R"}}, kCamera, "Talvo KT5R"},
        {{{"CAMMODEL", "KT5R"}}, kCamera, "KT5R"},
        {{{"CAMMANUF", "Talvo"}}, kCamera, "Talvo  "},
        {{}, kCamera, " "},
        {{{"rpSettingMode", "Auto Setting Mode"}}, kSetting, "Auto"},
        {{{"rpSettingMode", "Default Setting Mode"}}, kSetting, "Default"},
        {{{"rpSettingMode", "KVR Setting Mode"}}, kSetting, "Default"},
        {{{"rpSettingMode", "Custom Setting Mode"}}, kSetting, "Custom"},
        {{{"rpSettingMode", "Custom: Studio"}}, kSetting, "Custom: Studio"},
        {{}, kSetting, " "},
        {{{"CAMSERIAL", ""}}, kSerial, " "},
        {{{"CAMSERIAL", "A123"}}, kSerial, "A123"},
    };
    for (const Case& c : cases) {
        std::string what;
        for (const auto& [key, value] : c.properties)
            what += std::string(key) + "=\"" + value + "\" ";
        SCOPED_TRACE(what);
        EXPECT_EQ(Utf8FromWide(c.field(Read(c.properties))), c.text);
    }
}

TEST_F(FImageFileListEntryTest, StoredValuesAreReadAndMissingOnesTakeTheDefaultsOfTheFileKind)
{
    const FImageFileListEntry stored = Read({{"PROCESSABLE", "1"},
                                             {"MARKBITS", "1"},
                                             {"ROTATION", "270"},
                                             {"COLS", "2304"},
                                             {"ROWS", "1536"},
                                             {"rpExposureCompensation", "0.5000"},
                                             {"rpContrast", "-0.2500"},
                                             {"rpColorAdjust", "10C"},
                                             {"rpColorSpace", "3"},
                                             {"ISO", "100"}});
    EXPECT_TRUE(stored.IsProcessable());
    EXPECT_TRUE(stored.IsMarked());
    EXPECT_EQ(stored.GetRotation(), 270);
    EXPECT_EQ(stored.GetWidth(), 2304);
    EXPECT_EQ(stored.GetHeight(), 1536);
    EXPECT_DOUBLE_EQ(stored.GetExposure(), 0.5);
    EXPECT_DOUBLE_EQ(stored.GetContrast(), -0.25);
    EXPECT_DOUBLE_EQ(stored.GetShadow(), 0.0);
    EXPECT_NEAR(stored.GetColorAdjust().r, 0.7943, 1e-4);
    EXPECT_DOUBLE_EQ(stored.GetColorAdjust().g, 1.0);
    EXPECT_DOUBLE_EQ(stored.GetChromaNoise(), 0.5);
    EXPECT_EQ(stored.GetColorSpace(), 3);
    EXPECT_EQ(Utf8FromWide(stored.GetIso()), "100");

    // A list without PROCESSABLE: nothing stored, every text a space.
    const FImageFileListEntry empty = Read({});
    EXPECT_FALSE(empty.IsProcessable());
    for (double value : {empty.GetExposure(), empty.GetShadow(), empty.GetContrast(), empty.GetHighlight(),
                         empty.GetSaturation(), empty.GetSharpness(), empty.GetFillLight(), empty.GetColorAdjust().r,
                         empty.GetColorAdjust().g, empty.GetColorAdjust().b, empty.GetChromaNoise(),
                         empty.GetLumaNoise()})
        EXPECT_DOUBLE_EQ(value, kAdjustmentNotStored);
    EXPECT_EQ(empty.GetColorSpace(), -1);
    for (const FString* text : {&empty.GetTime(), &empty.GetDate(), &empty.GetExifTime(), &empty.GetExifDate(),
                                &empty.GetAperture(), &empty.GetIso(), &empty.GetWBDesc(), &empty.GetQuality()})
        EXPECT_EQ(Utf8FromWide(*text), " ");
}

TEST_F(FImageFileListEntryTest, AFileWhosePropertiesCannotBeReadIsFormattedFromAnEmptyList)
{
    FImageFileListEntry entry;
    entry.SetURL(ExistingFile("broken.kvr"));
    ListManager failing({{"ISO", "100"}}, kIPStatusError);
    EXPECT_TRUE(entry.GetProps(&failing));
    EXPECT_TRUE(entry.HasProperties());
    EXPECT_EQ(Utf8FromWide(entry.GetIso()), " ");
    EXPECT_DOUBLE_EQ(entry.GetExposure(), kAdjustmentNotStored);
    EXPECT_EQ(entry.GetColorSpace(), -1);

    // No manager, no URL, no file: nothing is read.
    FImageFileListEntry unnamed;
    ListManager manager({});
    EXPECT_FALSE(unnamed.GetProps(&manager));
    EXPECT_FALSE(entry.GetProps(nullptr));
    FImageFileListEntry missing;
    missing.SetURL(UrlOf("missing.kvr"));
    EXPECT_FALSE(missing.GetProps(&manager));
    EXPECT_TRUE(manager.m_Kinds.empty());
}

TEST_F(FImageFileListEntryTest, TheExtensionDecidesTheFileKind)
{
    struct Case {
        const char* name;
        const char* extension;
        bool tiff, jpeg, raw;
    };
    for (const Case& c : {Case{"a.JPG", "JPG", false, true, false}, Case{"a.Tiff", "Tiff", true, false, false},
                          Case{"a.b.kvr", "kvr", false, false, true}, Case{"a.jpe", "jpe", false, false, false},
                          Case{"README", "", false, false, false}}) {
        SCOPED_TRACE(c.name);
        FImageFileListEntry entry;
        EXPECT_FALSE(entry.SetURL(UrlOf(c.name)));
        EXPECT_EQ(Utf8FromWide(entry.GetFileName()), c.name);
        EXPECT_EQ(Utf8FromWide(entry.GetExtension()), c.extension);
        EXPECT_EQ(entry.IsTiff(), c.tiff);
        EXPECT_EQ(entry.IsJpeg(), c.jpeg);
        EXPECT_EQ(entry.IsProcessable(), c.raw);
    }
    FImageFileListEntry empty;
    EXPECT_TRUE(empty.SetURL(FString()));
    EXPECT_TRUE(IsJpegFileExtension(FString(".JPEG")));
    EXPECT_TRUE(IsRawFileExtension(FString("KVR")));
    EXPECT_FALSE(IsTiffFileExtension(FString(".tifff")));
    FImageFileListEntry camera;
    camera.SetURL(FString("CAMERA://card/a.kvr"));
    EXPECT_TRUE(camera.IsCameraScheme());
}

TEST_F(FImageFileListEntryTest, AMarkIsWrittenThroughTheManagerAndWaitedForWhenQueued)
{
    FImageFileListEntry entry;
    entry.SetURL(ExistingFile("queued.kvr"));
    // The manager queues the request for a few slices, as a busy pool does.
    ListManager queued({}, kIPStatusDone, 3);
    EXPECT_TRUE(entry.MarkImage(&queued, true));
    EXPECT_TRUE(entry.IsMarked());
    EXPECT_EQ(Utf8FromWide(*queued.m_Written.GetValue(FString("MARKBITS"), nullptr)), "1");

    ListManager refusing({}, kIPStatusError);
    EXPECT_FALSE(entry.MarkImage(&refusing, false));
    EXPECT_TRUE(entry.IsMarked());
    EXPECT_FALSE(FImageFileListEntry().MarkImage(&refusing, true));
}

} // namespace
