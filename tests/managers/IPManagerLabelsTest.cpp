#include "managers/IPManagerLabels.h"

#include "foundation/FPropTree.h"
#include "managers/IPManagerData.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using testsupport::Utf8FromWide;

namespace {

struct LabelInputs {
    IPManagerData request;
    FPropTree props{nullptr, "props"};
    FString id{"ID1"};

    LabelInputs()
    {
        request.SetURL(FString("disk://C/p/a.kvr"));
        request.m_OutputSize.Set(600, 400);
        request.m_Crop.Set(0, 0, 600, 400);
        request.m_eOutputFormat = kDisplay;
        props.AddPair("WB_DESC", "Daylight");
        props.AddPair("CM_DESC", "Standard");
        props.AddPair("ROTATION", "0");
        props.AddPair("ISO", "200");
        props.AddPair("CAMMODEL", "KT6M");
        props.AddPair("FIRMVERS", "1.2");
    }
};

// One letter per label that differs between the two setups, in the order
// 1 (stage 1), 2 (the three stage-2 labels), 3 (stage 3), L (stage-3
// lightness), R (stage-3 Retinex), 4 (stage 4), T, G, X (the tone, gamma and
// Retinex tables).
std::string Changed(const LabelInputs& a, const LabelInputs& b)
{
    const FIPManagerLabels x = BuildIPManagerLabels(a.request, a.props, a.id);
    const FIPManagerLabels y = BuildIPManagerLabels(b.request, b.props, b.id);
    std::string letters;
    auto note = [&](const FString& p, const FString& q, char letter) {
        if (p != q)
            letters += letter;
    };
    note(x.m_sStage1Out, y.m_sStage1Out, '1');
    if (x.m_sStage2Out != y.m_sStage2Out || x.m_sStage2OutRtnx != y.m_sStage2OutRtnx ||
        x.m_sStage2OutRefKV != y.m_sStage2OutRefKV)
        letters += '2';
    note(x.m_sStage3Out, y.m_sStage3Out, '3');
    note(x.m_sStage3OutL, y.m_sStage3OutL, 'L');
    note(x.m_sStage3OutRtnx, y.m_sStage3OutRtnx, 'R');
    note(x.m_sStage4Out, y.m_sStage4Out, '4');
    note(x.m_sToneLUT, y.m_sToneLUT, 'T');
    note(x.m_sGammaLUT, y.m_sGammaLUT, 'G');
    note(x.m_sRtnxLUT, y.m_sRtnxLUT, 'X');
    return letters;
}

} // namespace

TEST(IPManagerLabelsTest, EveryInputChangesExactlyTheLabelsOfWhatItShapes)
{
    struct Case {
        const char* name;
        std::function<void(LabelInputs&)> change;
        const char* changed;
    };
    const Case cases[] = {
        {"nothing", [](LabelInputs&) {}, ""},
        {"another file", [](LabelInputs& s) { s.request.SetURL(FString("disk://C/p/b.kvr")); }, "123LR4"},
        {"another identity", [](LabelInputs& s) { s.id = FString("ID2"); }, "123LR4"},
        {"chroma noise", [](LabelInputs& s) { s.request.m_dChromaNoise = 0.6; }, "23LR4"},
        {"luma noise", [](LabelInputs& s) { s.request.m_dLumaNoise = 0.25; }, "23LR4"},
        {"white balance of the file", [](LabelInputs& s) { s.props.SetValue(FString("WB_DESC"), FString("Shade")); }, "23LR4"},
        {"white balance of the request", [](LabelInputs& s) { s.request.m_sWBDesc = FString("Shade"); }, "23LR4"},
        {"custom neutral", [](LabelInputs& s) { s.request.m_CustomNeutral = FDoubleTriple(1.5, 1, 2); }, "23LR4"},
        {"colour mode", [](LabelInputs& s) { s.props.SetValue(FString("CM_DESC"), FString("Vivid")); }, "23LR4T"},
        {"external camera data", [](LabelInputs& s) { s.request.m_sCamfileURL = FString("disk://C/p/c.cam"); }, "23LR4T"},
        {"crop", [](LabelInputs& s) { s.request.m_Crop.Set(0, 0, 300, 400); }, "3LR4"},
        {"output size", [](LabelInputs& s) { s.request.m_OutputSize.Set(300, 200); }, "3LR4"},
        {"rotation", [](LabelInputs& s) { s.props.SetValue(FString("ROTATION"), FString("90")); }, "3LR4"},
        {"exposure", [](LabelInputs& s) { s.request.m_dExposure = 0.5; }, "4T"},
        {"shadow", [](LabelInputs& s) { s.request.m_dShadow = 0.5; }, "4T"},
        {"contrast", [](LabelInputs& s) { s.request.m_dContrast = 0.5; }, "4T"},
        {"highlight", [](LabelInputs& s) { s.request.m_dHighlight = 0.5; }, "4T"},
        {"colour adjust", [](LabelInputs& s) { s.request.m_ColorAdjust = FDoubleTriple(1, 0.9, 1); }, "4T"},
        {"ISO", [](LabelInputs& s) { s.props.SetValue(FString("ISO"), FString("400")); }, "4T"},
        {"firmware of the KT6M", [](LabelInputs& s) { s.props.SetValue(FString("FIRMVERS"), FString("1.1")); }, "4T"},
        {"camera model", [](LabelInputs& s) { s.props.SetValue(FString("CAMMODEL"), FString("HV25")); }, "4T"},
        {"colour space", [](LabelInputs& s) { s.request.m_iColorSpace = 11; }, "4G"},
        {"output format", [](LabelInputs& s) { s.request.m_eOutputFormat = kRGB48; }, "4G"},
        {"fill light", [](LabelInputs& s) { s.request.m_dFillLight = 0.5; }, "4X"},
        {"pipe flags", [](LabelInputs& s) { s.request.m_iPipeFlags = 2; }, "4TX"},
        {"sharpness", [](LabelInputs& s) { s.request.m_dSharpness = 0.5; }, "4"},
        {"saturation", [](LabelInputs& s) { s.request.m_dSaturation = 0.5; }, "4"},
        {"kind", [](LabelInputs& s) { s.request.m_eKind = kIPRequestAutoAdjust; }, ""},
        {"dump path", [](LabelInputs& s) { s.request.m_sOutputPath = FString("disk://C/p/out.tif"); }, ""},
    };
    for (const Case& c : cases) {
        LabelInputs base, changed;
        c.change(changed);
        EXPECT_EQ(Changed(base, changed), c.changed) << c.name;
    }
}

TEST(IPManagerLabelsTest, FirmwareCountsOnlyForTheModelWhoseToneDependsOnIt)
{
    LabelInputs base, other;
    for (LabelInputs* s : {&base, &other})
        s->props.SetValue(FString("CAMMODEL"), FString("kt6m-b")); // tested in capitals
    other.props.SetValue(FString("FIRMVERS"), FString("1.1"));
    EXPECT_EQ(Changed(base, other), "4T");

    for (LabelInputs* s : {&base, &other})
        s->props.SetValue(FString("CAMMODEL"), FString("KT5R"));
    EXPECT_EQ(Changed(base, other), "");
}

TEST(IPManagerLabelsTest, LabelsReadAsTheirPieces)
{
    LabelInputs s;
    const FIPManagerLabels labels = BuildIPManagerLabels(s.request, s.props, s.id);
    EXPECT_EQ(Utf8FromWide(labels.m_sStage1Out), "disk://C/p/a.kvr-ID1-Stage1Out");
    EXPECT_EQ(Utf8FromWide(labels.m_sStage2Out), "disk://C/p/a.kvr-ID1-Stage2Out-DaylightStandard-,0.5,0.5");
    EXPECT_EQ(Utf8FromWide(labels.m_sStage3Out),
              "disk://C/p/a.kvr-ID1-Stage3-DaylightStandard-,0.5,0.5,0x0,600x400,600x400,0");
    EXPECT_EQ(Utf8FromWide(labels.m_sToneLUT), "ToneLUT-,0,0,0,0,0,0,0,200StandardKT6M1.2-PipeFlags-0-");
    EXPECT_EQ(Utf8FromWide(labels.m_sGammaLUT), "GammaLUT-,2,1");
    EXPECT_EQ(Utf8FromWide(labels.m_sRtnxLUT), "RtnxLUT-,0-PipeFlags-0-");
}
