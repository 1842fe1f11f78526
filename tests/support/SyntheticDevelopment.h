#pragma once
// A whole development of a synthetic camera shot through engine requests, the
// way an image manager submits them: stage 1 (raw and dark frame), stage 2,
// stage 3 at the output's full size, the tone table, and stage 4 into 24-bit
// sRGB. Default settings: no user adjustment, the Retinex gain table neutral
// (strength 0), the managers' gamma table (ROMM, 16 bits). Header only: the
// engine tests and benchmarks link the engine, the support library does not.

#include "engine/analysis/Retinex.h"
#include "engine/colour/ColorSpaces.h"
#include "engine/colour/ToneLUT.h"
#include "engine/colour/TransformColor.h"
#include "engine/core/FIPEngine2.h"
#include "engine/stages/Stage2.h"
#include "fileio/container/CambData.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "support/BuildTree.h"
#include "support/ColorDifference.h"
#include "support/EngineDriver.h"
#include "support/SyntheticCamera.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// A pixmap header over pixels of its own.
template <class Pixel>
struct OwnedPixmap {
    OwnedPixmap() = default;
    OwnedPixmap(int32_t columns, int32_t rows) { Resize(columns, rows); }
    void Resize(int32_t columns, int32_t rows)
    {
        pixels.assign(size_t(columns) * size_t(rows), Pixel{});
        pixmap = std::make_unique<FPixmapTemplate<Pixel>>(pixels.data(), columns, rows, 0);
    }
    FPixmapTemplate<Pixel>* get() const { return pixmap.get(); }
    Pixel& At(int32_t x, int32_t y) { return pixels[size_t(y) * size_t(pixmap->m_iColumns) + size_t(x)]; }

    std::vector<Pixel> pixels;
    std::unique_ptr<FPixmapTemplate<Pixel>> pixmap;
};

struct DevelopSettings {
    std::string whiteBalance; // empty: the picture's own
    double chromaNoise = 0.5;
    double lumaNoise = 0.5;
};

class SyntheticDevelopment {
public:
    // camdata: camera data to develop with in place of the shot's own (empty: the shot's).
    explicit SyntheticDevelopment(const SyntheticRaw& shot, DevelopSettings settings = {},
                                  std::vector<uint8_t> camdata = {})
        : m_Shot(shot), m_Settings(std::move(settings)), m_Camdata(camdata.empty() ? shot.camdata : std::move(camdata)),
          W(int32_t(shot.truth.storedColumns)), H(int32_t(shot.truth.storedRows))
    {
        m_pCamdata = std::make_unique<FCamdata>(m_Camdata.data(), m_Camdata.size());
        SetColorProfileProgramPath(BuildTreeProgramPath());
        for (const auto& [name, value] : SyntheticCaptureProperties(shot.truth))
            m_Props.AddPair(name.c_str(), value.c_str());
        raw.Resize(W, H);
        dark.Resize(W, H);
        for (size_t i = 0; i < raw.pixels.size(); ++i) {
            raw.pixels[i] = {shot.raw[3 * i], shot.raw[3 * i + 1], shot.raw[3 * i + 2]};
            dark.pixels[i] = {shot.dark[3 * i], shot.dark[3 * i + 1], shot.dark[3 * i + 2]};
        }
        working.Resize(W, H);
        preMatrix.Resize(W, H);
        retinex.Resize(W, H);
        temp.Resize(W, int32_t(Stage2TempRows(W, H)));
    }

    const FCamdata* Camdata() const { return m_pCamdata.get(); }
    const FPropTree& Properties() const { return m_Props; }

    int32_t Stage1()
    {
        FIPERequestStage1 request;
        request.m_pRawImage = raw.get();
        request.m_pDarkImage = dark.get();
        request.m_pCambData = m_pCamdata.get();
        request.m_pOutImage = working.get();
        const int32_t status = Run(request);
        saturationLevel = request.m_aiSaturationLevel;
        darkLevel = request.m_aiDarkLevel;
        return status;
    }

    // A stage-2 request over this development's images.
    void FillStage2(FIPERequestStage2& request) const
    {
        request.m_pStage1Image = working.get();
        request.m_pStage2PreMatImage = preMatrix.get();
        request.m_pRtnxImage = retinex.get();
        request.m_pTempData = temp.get();
        request.m_pCambData = m_pCamdata.get();
        request.m_pCaptureProps = &m_Props;
        request.m_dISO = m_Shot.truth.captureIso;
        request.m_iExposureTime = int32_t(m_Shot.truth.exposureSeconds * 1e6 + 0.5);
        request.m_dAperture = 5.6;
        request.m_sWhiteBalance = FString(m_Settings.whiteBalance.c_str());
        request.m_aiSaturationLevel = saturationLevel;
        request.m_aiDarkLevel = darkLevel;
        request.m_dChromaNoise = m_Settings.chromaNoise;
        request.m_dLumaNoise = m_Settings.lumaNoise;
    }

    int32_t Stage2()
    {
        FIPERequestStage2 request;
        FillStage2(request);
        const int32_t status = Run(request);
        rommWorkingSpace = request.m_bRommWorkingSpace;
        return status;
    }

    // Stage 3 at the output's full size, the tone table and stage 4 into sRGB.
    int32_t Stage3()
    {
        const int32_t w = int32_t(m_Shot.truth.outputColumns), h = int32_t(m_Shot.truth.outputRows);
        colour3.Resize(w, h);
        lightness3.Resize(w, h);
        retinex3.Resize(w, h);
        FIPERequestStage3 request;
        request.m_pStage2Image = working.get();
        request.m_pStage2ImageRtnx = retinex.get();
        request.m_iOutWidth = w;
        request.m_iOutHeight = h;
        request.m_rcCrop = FIntRect(0, 0, w, h);
        request.m_dISO = m_Shot.truth.captureIso;
        request.m_iImageWidth = w;
        request.m_iImageHeight = h;
        request.m_pCambData = m_pCamdata.get();
        request.m_pTempData = temp.get();
        request.m_pOutImage = colour3.get();
        request.m_pOutImageL = lightness3.get();
        request.m_pOutImageRtnx = retinex3.get();
        return Run(request);
    }

    int32_t Stage4()
    {
        tone.assign(3 * 65536, 0);
        FIPERequestGenerateToneLUT toneRequest;
        toneRequest.m_adColorGain = FDoubleTriple(1.0);
        toneRequest.m_dISO = m_Shot.truth.captureIso;
        toneRequest.m_pToneLUT = tone.data();
        if (const int32_t status = Run(toneRequest); status != kIPStatusDone)
            return status;
        gamma.assign(65536, 0);
        FLUT16 gammaTable(gamma.data(), 65536);
        MakeGammaLUT(gammaTable, kColorSpaceProPhoto, 16);
        retinexGain.assign(65536, 0);
        FLUT16 retinexTable(retinexGain.data(), 65536);
        MakeRetinexGainLUT(retinexTable, 0.0, 256);
        output.Resize(colour3.get()->m_iColumns, colour3.get()->m_iRows);
        FIPERequestStage4 request;
        request.m_pStage3Image = colour3.get();
        request.m_pStage3ImageL = lightness3.get();
        request.m_pStage3ImageRtnx = retinex3.get();
        request.m_pToneLUT = tone.data();
        request.m_pRtnxLUT = retinexGain.data();
        request.m_pGammaLUT = gamma.data();
        request.m_iColorSpace = kColorSpaceSRGB;
        request.m_pOutImage = output.get();
        request.m_bRommWorkingSpace = rommWorkingSpace;
        request.m_pCambData = m_pCamdata.get();
        return Run(request);
    }

    // Every stage in turn; the status of the first that does not finish.
    int32_t DevelopAll()
    {
        for (int32_t (SyntheticDevelopment::*stage)() : {&SyntheticDevelopment::Stage1, &SyntheticDevelopment::Stage2,
                                                         &SyntheticDevelopment::Stage3, &SyntheticDevelopment::Stage4})
            if (const int32_t status = (this->*stage)(); status != kIPStatusDone)
                return status;
        return kIPStatusDone;
    }

    // The mean CIELAB (D65) of an output rectangle, inset by a margin.
    ColorTriple MeanLab(const FIntRect& rect, int32_t margin = 4) const
    {
        double sum[3] = {0, 0, 0};
        int64_t n = 0;
        for (int32_t y = rect.top + margin; y < rect.bottom - margin; ++y)
            for (int32_t x = rect.left + margin; x < rect.right - margin; ++x) {
                const FPixelClass24RGB& p = output.pixels[size_t(y) * size_t(output.get()->m_iColumns) + size_t(x)];
                sum[0] += SrgbDecode(p.r / 255.0);
                sum[1] += SrgbDecode(p.g / 255.0);
                sum[2] += SrgbDecode(p.b / 255.0);
                ++n;
            }
        const ColorTriple linear{sum[0] / double(n), sum[1] / double(n), sum[2] / double(n)};
        return XyzToLab(LinearSrgbToXyz(linear));
    }

    OwnedPixmap<FPixelClass48RGB> raw, dark;
    OwnedPixmap<FPixelClass48SRGB> working, preMatrix;
    OwnedPixmap<FPixelClass16SMono> retinex;
    OwnedPixmap<FPixelClass48SRGB> temp;
    OwnedPixmap<FPixelClass48SRGB> colour3;
    OwnedPixmap<FPixelClass16SMono> lightness3, retinex3;
    OwnedPixmap<FPixelClass24RGB> output;
    std::vector<int16_t> tone, gamma, retinexGain;
    FIntTriple saturationLevel{0}, darkLevel{0};
    bool rommWorkingSpace = false;
    std::string lastError; // code and text of the last request that failed

private:
    int32_t Run(FIPERequest& request)
    {
        const int32_t status = RunEngineRequest(Engine(), request);
        if (status == kIPStatusError)
            lastError = std::to_string(request.m_iErrorCode) + " " + Utf8FromWide(request.m_sErrorText);
        return status;
    }

    FIIPEngine2& Engine()
    {
        if (!m_pEngine)
            m_pEngine.reset(CreateIPEngine2());
        return *m_pEngine;
    }

    const SyntheticRaw& m_Shot;
    DevelopSettings m_Settings;
    std::vector<uint8_t> m_Camdata;
    std::unique_ptr<FCamdata> m_pCamdata;
    FPropTree m_Props{nullptr, "Properties"};
    int32_t W, H;
    std::unique_ptr<FIIPEngine2> m_pEngine;
};

} // namespace testsupport
