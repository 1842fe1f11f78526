#include "managers/IPManagerLabels.h"

#include "foundation/FPropTree.h"
#include "managers/IPManagerData.h"

namespace {

FString Formatted(const char* format, double value)
{
    FString text;
    text.Format(format, value);
    return text;
}

FString Property(const FPropTree& tree, const char* key)
{
    const FString empty;
    return *tree.GetValue(FString(key), &empty);
}

struct Pieces {
    FString base, camfile, s2, geometry, t, g, r;
};

Pieces PiecesOf(const IPManagerData& request, const FPropTree& props, const FString& uniqueId)
{
    Pieces p;
    p.base = request.m_sURL;
    p.base += "-";
    p.base += uniqueId;

    if (request.m_sCamfileURL.GetLength() > 0) {
        p.camfile = "-";
        p.camfile += request.m_sCamfileURL;
    }

    p.s2 = Property(props, "WB_DESC");
    p.s2 += Property(props, "CM_DESC");
    p.s2 += "-";
    p.s2 += Formatted(",%g", request.m_dChromaNoise);
    p.s2 += Formatted(",%g", request.m_dLumaNoise);
    // Stage 2 also takes the request's own white balance and neutral.
    if (request.m_sWBDesc.GetLength() > 0) {
        p.s2 += "-WB-";
        p.s2 += request.m_sWBDesc;
    }
    const FDoubleTriple& neutral = request.m_CustomNeutral;
    if (neutral.r != -1.0 || neutral.g != -1.0 || neutral.b != -1.0) {
        FString text;
        text.Format("-Neutral-%g,%g,%g", neutral.r, neutral.g, neutral.b);
        p.s2 += text;
    }

    const int rotation = props.GetInt(FString("ROTATION"), 0);
    p.geometry.Format(",%dx%d,%dx%d,%dx%d,%d", request.m_Crop.left, request.m_Crop.top, request.m_Crop.right,
                      request.m_Crop.bottom, request.m_OutputSize.width, request.m_OutputSize.height, rotation);

    p.t.Format(",%g,%g,%g,%g,%g,%g,%g,%d", request.m_dShadow, request.m_dContrast, request.m_dExposure,
               request.m_dHighlight, request.m_ColorAdjust.r, request.m_ColorAdjust.g, request.m_ColorAdjust.b,
               props.GetInt(FString("ISO"), 100));
    p.t += Property(props, "CM_DESC");
    FString model = Property(props, "CAMMODEL");
    p.t += model;
    // The tone table tests the model in capitals, so the label does too.
    model.MakeUpper();
    if (model.Find(FString("KT6M")))
        p.t += Property(props, "FIRMVERS");
    // The colour mode's contrast compensation comes from the camera data.
    p.t += p.camfile;
    FString flags;
    flags.Format("-PipeFlags-%d-", request.m_iPipeFlags);
    p.t += flags;

    p.g.Format(",%d,%d", request.m_iColorSpace, request.m_eOutputFormat);

    p.r = Formatted(",%g", request.m_dFillLight);
    p.r += flags;
    return p;
}

FString Join(std::initializer_list<const FString*> parts)
{
    FString text;
    for (const FString* part : parts)
        text += *part;
    return text;
}

} // namespace

FIPManagerLabels BuildIPManagerLabels(const IPManagerData& request, const FPropTree& captureProps,
                                      const FString& uniqueId)
{
    const Pieces p = PiecesOf(request, captureProps, uniqueId);
    const FString stage1("-Stage1Out"), stage2("-Stage2Out-"), stage2Rtnx("-Stage2RtnxOut-"),
        stage2RefKV("-Stage2RefKVOut-"), stage3("-Stage3-"), stage3L("-Stage3L-"), stage3Rtnx("-Stage3Rtnx-"),
        stage4("-Stage4-"), tone("ToneLUT-"), gamma("GammaLUT-"), rtnx("RtnxLUT-");
    FString finish;
    finish.Format(",%g,%g", request.m_dSharpness, request.m_dSaturation);

    FIPManagerLabels labels;
    labels.m_sStage1Out = Join({&p.base, &stage1});
    labels.m_sStage2Out = Join({&p.base, &p.camfile, &stage2, &p.s2});
    labels.m_sStage2OutRtnx = Join({&p.base, &p.camfile, &stage2Rtnx, &p.s2});
    labels.m_sStage2OutRefKV = Join({&p.base, &p.camfile, &stage2RefKV, &p.s2});
    labels.m_sStage3Out = Join({&p.base, &p.camfile, &stage3, &p.s2, &p.geometry});
    // The lightness detail is made from the stage-2 picture too, so it takes
    // the camera-data piece like its siblings.
    labels.m_sStage3OutL = Join({&p.base, &p.camfile, &stage3L, &p.s2, &p.geometry});
    labels.m_sStage3OutRtnx = Join({&p.base, &p.camfile, &stage3Rtnx, &p.s2, &p.geometry});
    labels.m_sToneLUT = Join({&tone, &p.t});
    labels.m_sGammaLUT = Join({&gamma, &p.g});
    labels.m_sRtnxLUT = Join({&rtnx, &p.r});
    labels.m_sStage4Out =
        Join({&p.base, &p.camfile, &stage4, &p.s2, &p.geometry, &p.t, &p.g, &p.r, &finish});
    return labels;
}

FString PropertiesLabel(const FString& url, const FString& uniqueId)
{
    FString label = url;
    label += "-";
    label += uniqueId;
    label += "-Properties";
    return label;
}
