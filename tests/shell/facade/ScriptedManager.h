#pragma once
// A manager that answers a development handle from a script, so the facade's
// tests see exactly what a handle asks and can make any answer happen: the
// file's properties (a modify request writes into them, as into a file),
// failures, progress over several polls, cancellation, automatic values and
// result pictures of the requested size and format.

#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "managers/FIPMImage.h"
#include "managers/FIPManager.h"
#include "managers/IPManagerData.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/KVR_Text.h"
#include "support/TestPixmap.h"

#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

// A result image over a pixmap of its own; deleted at its last reference.
class OwnedResultImage final : public FIPMImage {
public:
    explicit OwnedResultImage(TestPixmap<> pixels) : m_Pixels(std::move(pixels)) {}
    FPixmap* GetPixmap() override { return m_Pixels.get(); }
    FPropTree* GetProperties() override { return nullptr; }
    void SetProperties(FPropTree* properties) override { delete properties; }
    FIHistogram* GetCachedHistogram() override { return nullptr; }
    FIHistogram* GetHistogram() override { return nullptr; }
    void AddRef() override { ++m_iRefs; }
    void Release() override
    {
        if (--m_iRefs == 0)
            delete this;
    }

private:
    ~OwnedResultImage() override = default;
    TestPixmap<> m_Pixels;
    int m_iRefs = 1;
};

// A rectangle's sides (left, top, right, bottom), to compare in one line.
inline std::array<int, 4> Sides(const FIntRect& r)
{
    return {r.left, r.top, r.right, r.bottom};
}

// What a handle asked for, copied when the request arrived.
struct SeenRequest {
    int32_t kind = 0;
    FIntSize outputSize;
    FIntRect crop;
    int32_t outputFormat = 0;
    int32_t colorSpace = 0;
    double exposure = 0, shadow = 0, contrast = 0, highlight = 0, saturation = 0, sharpness = 0, fillLight = 0;
    double chromaNoise = 0, lumaNoise = 0;
    FDoubleTriple colorAdjust, customNeutral;
    std::string whiteBalance;
    std::vector<std::pair<std::string, std::string>> properties; // the list handed over
};

// The scripted automatic pass's values as a settings record receives them
// (x 100 truncated, the gains 1, 1, 0.5 as densities), in the order of
// AutoFieldsOf.
inline constexpr std::array<int32_t, 9> kScriptedAutoFields = {25, -50, 12, 75, 6, 50, 0, 0, 30};
// Exposure, shadow, contrast, highlight, saturation, fill light, cyan, magenta, yellow.
inline std::array<int32_t, 9> AutoFieldsOf(const CKVR_FilterData& s)
{
    return {s.m_nExposure, s.m_nShadow,    s.m_nContrast, s.m_nHighlight, s.m_nSaturation,
            s.m_nFillLight, s.m_nCyan, s.m_nMagenta, s.m_nYellow};
}

class ScriptedManager final : public FIPManager {
public:
    // The "file".
    std::vector<std::pair<std::string, std::string>> properties{{"COLS", "400"}, {"ROWS", "300"}, {"ISO", "800"}};
    // A request of this kind fails with the text (error 5).
    int32_t failKind = kIPRequestNone;
    std::string failText = "scripted failure";
    // Progress after each poll of a develop or an automatic pass; empty: done
    // at the first poll. Each poll waits pause first.
    std::vector<double> developProgress, autoProgress;
    std::chrono::milliseconds pause{0};
    // Previews come back at this size (0 x 0: the size asked); no picture
    // when noPicture is set.
    FIntSize previewSize;
    bool noPicture = false;
    // The automatic pass's results.
    double autoExposure = 0.25, autoShadow = -0.5, autoContrast = 0.125, autoHighlight = 0.75,
           autoSaturation = 0.0625, autoFillLight = 0.5;
    FDoubleTriple autoGains{1.0, 1.0, 0.5};

    std::vector<SeenRequest> seen;

    bool IsBusy() override { return m_pRequest != nullptr; }

    void Request(IPManagerData* request) override
    {
        seen.push_back(Snapshot(*request));
        request->m_Result.m_eStatus = kIPStatusPending;
        request->m_Result.m_dProgress = 0.0;
        if (request->m_eKind == failKind) {
            request->m_Result.Fail(kIPErrorFileIO, failText.c_str());
            return;
        }
        switch (request->m_eKind) {
        case kIPRequestProperties:
            for (const auto& [key, value] : properties)
                request->m_pImageProps->AddPair(FString(key.c_str()), KVR_WideText(value.c_str()));
            request->m_Result.Finish(kIPStatusDone);
            return;
        case kIPRequestModifyProperties:
            properties = seen.back().properties;
            request->m_Result.Finish(kIPStatusDone);
            return;
        default:
            m_pRequest = request;
            m_iPoll = 0;
        }
    }

    void Idle() override
    {
        if (!m_pRequest)
            return;
        std::this_thread::sleep_for(pause);
        IPManagerData& request = *m_pRequest;
        if (request.m_Result.m_bCancel) {
            m_pRequest = nullptr;
            request.m_Result.Finish(kIPStatusCancelled);
            return;
        }
        const std::vector<double>& steps = request.m_eKind == kIPRequestAutoAdjust ? autoProgress : developProgress;
        if (m_iPoll < steps.size()) {
            request.m_Result.m_dProgress = steps[m_iPoll++];
            return;
        }
        m_pRequest = nullptr;
        if (request.m_eKind == kIPRequestAutoAdjust) {
            request.m_dExposure = autoExposure;
            request.m_dShadow = autoShadow;
            request.m_dContrast = autoContrast;
            request.m_dHighlight = autoHighlight;
            request.m_dSaturation = autoSaturation;
            request.m_dFillLight = autoFillLight;
            request.m_ColorAdjust = autoGains;
        } else if (!noPicture) {
            request.m_pResultImage = new OwnedResultImage(PictureFor(request));
        }
        request.m_Result.Finish(kIPStatusDone);
    }

    const SeenRequest& Last() const { return seen.back(); }
    int Count(int32_t kind) const
    {
        int n = 0;
        for (const SeenRequest& s : seen)
            n += s.kind == kind;
        return n;
    }

private:
    static SeenRequest Snapshot(const IPManagerData& r)
    {
        SeenRequest s;
        s.kind = r.m_eKind;
        s.outputSize = r.m_OutputSize;
        s.crop = r.m_Crop;
        s.outputFormat = r.m_eOutputFormat;
        s.colorSpace = r.m_iColorSpace;
        s.exposure = r.m_dExposure;
        s.shadow = r.m_dShadow;
        s.contrast = r.m_dContrast;
        s.highlight = r.m_dHighlight;
        s.saturation = r.m_dSaturation;
        s.sharpness = r.m_dSharpness;
        s.fillLight = r.m_dFillLight;
        s.chromaNoise = r.m_dChromaNoise;
        s.lumaNoise = r.m_dLumaNoise;
        s.colorAdjust = r.m_ColorAdjust;
        s.customNeutral = r.m_CustomNeutral;
        s.whiteBalance = r.m_sWBDesc.GetAscii();
        if (r.m_pImageProps)
            for (const FPropPair* p = r.m_pImageProps->GetFirstPair(); p; p = p->GetNext())
                s.properties.emplace_back(p->m_sKey.GetAscii(), p->m_sValue.GetAscii());
        return s;
    }

    TestPixmap<> PictureFor(const IPManagerData& request) const
    {
        FIntSize size(int(request.m_Crop.Width()), int(request.m_Crop.Height()));
        if (request.m_eKind == kIPRequestPreview && previewSize.width > 0)
            size = previewSize;
        return MakePixmap(PixelTypeOfOutputFormat(request.m_eOutputFormat), size.width, size.height, 7);
    }

    IPManagerData* m_pRequest = nullptr;
    size_t m_iPoll = 0;
};

} // namespace testsupport
