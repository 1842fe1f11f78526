#pragma once
// The one direct development of the test support: a synthetic camera shot
// developed through engine requests, the way an image manager submits them:
// stage 1 (raw and dark frame), stage 2, stage 3 into the frame asked for,
// the tone table, and stage 4. By default the whole picture at the shot's
// output size, unturned, into 24-bit sRGB, with no user adjustment, the
// Retinex gain table neutral (strength 0) and the managers' gamma table (ROMM,
// 16 bits). The manager tests frame it as a request does
// (managers/DevelopTestEngine.h). Header only: the engine tests and
// benchmarks link the engine, the support library does not.

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
#include "support/TestPixmap.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
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
    // Gives the pixels back; get() is null until the next Resize.
    void Release()
    {
        std::vector<Pixel>().swap(pixels);
        pixmap.reset();
    }
    bool Empty() const { return !pixmap; }
    FPixmapTemplate<Pixel>* get() const { return pixmap.get(); }
    Pixel& At(int32_t x, int32_t y) { return pixels[size_t(y) * size_t(pixmap->m_iColumns) + size_t(x)]; }

    std::vector<Pixel> pixels;
    std::unique_ptr<FPixmapTemplate<Pixel>> pixmap;
};

// What a development is asked for; it may change between runs.
struct DevelopSettings {
    std::string whiteBalance;                // empty: the picture's own
    FDoubleTriple neutral{-1.0, -1.0, -1.0}; // camera gains; -1s: none
    double chromaNoise = 0.5;
    double lumaNoise = 0.5;
    double exposure = 0.0;
    double shadow = 0.0;
    double contrast = 0.0;
    double highlight = 0.0;
    FDoubleTriple colorGain{1.0};
    double contrastCompensation = 0.0; // of the picture's colour mode
    bool modelToneOffsets = false;
    double fillLight = 0.0; // the Retinex gain table's strength
    double sharpness = 0.0;
    double saturation = 0.0;
    int32_t colorSpace = kColorSpaceSRGB;
};

// Where stage 3 puts the picture and what stage 4 makes of it: fixed when the
// development is made, so that its images are made once.
struct DevelopFrame {
    FIntSize outputSize; // the whole (turned) picture scaled to this; 0 x 0: the shot's output size
    FIntRect crop;       // the part developed, in output-size coordinates; empty: all of it
    int32_t rotation = 0; // degrees
    int32_t outputPixelType = FPixmap::PIXEL_24_RGB;
    // Each image is made when its stage first needs it and freed once its
    // last reader is done, as the image managers hold them: the frames after
    // stage 1, the pre-matrix image after stage 2, the stage-2 and temp
    // images after stage 3 and the stage-3 images after stage 4. A stage may
    // then run only after the one before it (the frames: RestoreFrames).
    bool freeInputsOnceRead = false;
};

class SyntheticDevelopment {
public:
    // camdata: camera data to develop with in place of the shot's own (empty:
    // the shot's). props: the capture properties as a manager read them from
    // the shot's file (null: the shot's own).
    explicit SyntheticDevelopment(const SyntheticRaw& shot, DevelopSettings asked = {},
                                  std::vector<uint8_t> camdata = {}, const DevelopFrame& frame = {},
                                  const FPropTree* props = nullptr)
        : settings(std::move(asked)), m_Shot(shot),
          m_Camdata(camdata.empty() ? shot.camdata : std::move(camdata)), W(int32_t(shot.truth.storedColumns)),
          H(int32_t(shot.truth.storedRows))
    {
        m_pCamdata = std::make_unique<FCamdata>(m_Camdata.data(), m_Camdata.size());
        SetColorProfileProgramPath(BuildTreeProgramPath());
        if (props)
            m_Props.CopyPairs(props);
        else
            for (const auto& [name, value] : SyntheticCaptureProperties(shot.truth))
                m_Props.AddPair(name.c_str(), value.c_str());
        RestoreFrames();
        priFrame(frame);
        if (!m_bFreeInputs) {
            working.Resize(W, H);
            priMakeStage2Images();
            priMakeStage3Images();
        }
    }

    // The raw and dark frames of the shot, as a load gives them.
    void RestoreFrames()
    {
        raw.Resize(W, H);
        dark.Resize(W, H);
        for (size_t i = 0; i < raw.pixels.size(); ++i) {
            raw.pixels[i] = {m_Shot.raw[3 * i], m_Shot.raw[3 * i + 1], m_Shot.raw[3 * i + 2]};
            dark.pixels[i] = {m_Shot.dark[3 * i], m_Shot.dark[3 * i + 1], m_Shot.dark[3 * i + 2]};
        }
    }

    // Runs on the caller's engine from now on (by default on one of its own).
    void UseEngine(FIIPEngine2& engine) { m_pEngineInUse = &engine; }

    const FCamdata* Camdata() const { return m_pCamdata.get(); }
    const FPropTree& Properties() const { return m_Props; }

    int32_t Stage1()
    {
        if (working.Empty())
            working.Resize(W, H);
        FIPERequestStage1 request;
        request.m_pRawImage = raw.get();
        request.m_pDarkImage = dark.get();
        request.m_pCambData = m_pCamdata.get();
        request.m_pOutImage = working.get();
        const int32_t status = Run(request);
        saturationLevel = request.m_aiSaturationLevel;
        darkLevel = request.m_aiDarkLevel;
        if (m_bFreeInputs) {
            raw.Release();
            dark.Release();
        }
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
        request.m_dISO = Iso();
        request.m_iExposureTime = m_Props.GetInt(FString("EXPTIME"), 0);
        request.m_dAperture = m_Props.GetDouble(FString("APERTURE"), 0.0);
        request.m_adNeutral = settings.neutral;
        request.m_sWhiteBalance = FString(settings.whiteBalance.c_str());
        request.m_aiSaturationLevel = saturationLevel;
        request.m_aiDarkLevel = darkLevel;
        request.m_dChromaNoise = settings.chromaNoise;
        request.m_dLumaNoise = settings.lumaNoise;
    }

    int32_t Stage2()
    {
        priMakeStage2Images();
        FIPERequestStage2 request;
        FillStage2(request);
        const int32_t status = Run(request);
        rommWorkingSpace = request.m_bRommWorkingSpace;
        if (m_bFreeInputs)
            preMatrix.Release();
        return status;
    }

    // Stage 3 into the frame.
    int32_t Stage3()
    {
        priMakeStage3Images();
        FIPERequestStage3 request;
        request.m_pStage2Image = working.get();
        request.m_pStage2ImageRtnx = retinex.get();
        request.m_iOutWidth = m_OutputSize.width;
        request.m_iOutHeight = m_OutputSize.height;
        request.m_rcCrop = m_Crop;
        request.m_iRotation = m_iRotation;
        request.m_dISO = Iso();
        request.m_iImageWidth = m_ImageSize.width;
        request.m_iImageHeight = m_ImageSize.height;
        request.m_pCambData = m_pCamdata.get();
        request.m_pTempData = temp.get();
        request.m_pOutImage = colour3.get();
        request.m_pOutImageL = lightness3.get();
        request.m_pOutImageRtnx = retinex3.get();
        const int32_t status = Run(request);
        if (m_bFreeInputs) {
            working.Release();
            retinex.Release();
            temp.Release();
        }
        return status;
    }

    // The tone table, then stage 4 into the frame's pixel type.
    int32_t Stage4()
    {
        FIPERequestGenerateToneLUT toneRequest;
        toneRequest.m_dExposure = settings.exposure;
        toneRequest.m_dShadow = settings.shadow;
        toneRequest.m_dContrast = settings.contrast;
        toneRequest.m_dHighlight = settings.highlight;
        toneRequest.m_adColorGain = settings.colorGain;
        toneRequest.m_dContrastCompensation = settings.contrastCompensation;
        toneRequest.m_bModelToneOffsets = settings.modelToneOffsets;
        toneRequest.m_dISO = Iso();
        toneRequest.m_pToneLUT = tone.data();
        if (const int32_t status = Run(toneRequest); status != kIPStatusDone)
            return status;
        FLUT16 gammaTable(gamma.data(), 65536);
        MakeGammaLUT(gammaTable, kColorSpaceProPhoto, 16);
        FLUT16 retinexTable(retinexGain.data(), 65536);
        MakeRetinexGainLUT(retinexTable, settings.fillLight, 256);
        if (!output.pixmap)
            priMakeOutput();
        FIPERequestStage4 request;
        request.m_pStage3Image = colour3.get();
        request.m_pStage3ImageL = lightness3.get();
        request.m_pStage3ImageRtnx = retinex3.get();
        request.m_pToneLUT = tone.data();
        request.m_pRtnxLUT = retinexGain.data();
        request.m_pGammaLUT = gamma.data();
        request.m_dSharpness = settings.sharpness;
        request.m_dSaturation = settings.saturation;
        request.m_iColorSpace = settings.colorSpace;
        request.m_pOutImage = output.get();
        request.m_bRommWorkingSpace = rommWorkingSpace;
        request.m_pCambData = m_pCamdata.get();
        const int32_t status = Run(request);
        if (m_bFreeInputs) {
            colour3.Release();
            lightness3.Release();
            retinex3.Release();
        }
        return status;
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
                const FPixelClass24RGB& p = Rgb(x, y);
                sum[0] += SrgbDecode(p.r / 255.0);
                sum[1] += SrgbDecode(p.g / 255.0);
                sum[2] += SrgbDecode(p.b / 255.0);
                ++n;
            }
        const ColorTriple linear{sum[0] / double(n), sum[1] / double(n), sum[2] / double(n)};
        return XyzToLab(LinearSrgbToXyz(linear));
    }

    // A pixel of a 24-bit output.
    const FPixelClass24RGB& Rgb(int32_t x, int32_t y) const
    {
        return *reinterpret_cast<const FPixelClass24RGB*>(output->GetRow(y) + size_t(x) * sizeof(FPixelClass24RGB));
    }
    // A 24-bit output's pixels, row after row.
    std::vector<FPixelClass24RGB> RgbPixels() const
    {
        std::vector<FPixelClass24RGB> pixels(size_t(output->m_iColumns) * size_t(output->m_iRows));
        std::memcpy(pixels.data(), output.bytes.data(), pixels.size() * sizeof(FPixelClass24RGB));
        return pixels;
    }
    // The output's pixel bytes, row padding left out.
    std::vector<uint8_t> OutputBytes() const { return output.Bytes(output->m_iColumns, output->m_iRows); }

    DevelopSettings settings;
    OwnedPixmap<FPixelClass48RGB> raw, dark;
    OwnedPixmap<FPixelClass48SRGB> working, preMatrix;
    OwnedPixmap<FPixelClass16SMono> retinex;
    OwnedPixmap<FPixelClass48SRGB> temp;
    OwnedPixmap<FPixelClass48SRGB> colour3;
    OwnedPixmap<FPixelClass16SMono> lightness3, retinex3;
    TestPixmap<> output; // of the frame's pixel type
    std::vector<int16_t> tone = std::vector<int16_t>(3 * 65536), gamma = std::vector<int16_t>(65536),
                         retinexGain = std::vector<int16_t>(65536);
    FIntTriple saturationLevel{0}, darkLevel{0};
    bool rommWorkingSpace = false;
    std::string lastError; // code and text of the last request that failed

private:
    // The output size (the shot's unless asked), the crop (all unless asked),
    // the turned picture's size and the output of the crop's size (lean: made
    // by stage 4).
    void priFrame(const DevelopFrame& frame)
    {
        m_bFreeInputs = frame.freeInputsOnceRead;
        const int32_t columns = int32_t(m_Shot.truth.outputColumns), rows = int32_t(m_Shot.truth.outputRows);
        const bool quarterTurn = frame.rotation == 90 || frame.rotation == 270;
        m_iRotation = frame.rotation;
        m_ImageSize = quarterTurn ? FIntSize(rows, columns) : FIntSize(columns, rows);
        m_OutputSize = frame.outputSize.width > 0 ? frame.outputSize : m_ImageSize;
        m_Crop = frame.crop.IsEmpty() ? FIntRect(0, 0, m_OutputSize.width, m_OutputSize.height) : frame.crop;
        m_iOutputPixelType = frame.outputPixelType;
        if (!m_bFreeInputs)
            priMakeOutput();
    }

    void priMakeOutput()
    {
        output = MakePixmap(m_iOutputPixelType, m_Crop.right - m_Crop.left, m_Crop.bottom - m_Crop.top);
    }

    // The images stage 2 writes, unless they are there.
    void priMakeStage2Images()
    {
        if (preMatrix.Empty())
            preMatrix.Resize(W, H);
        if (retinex.Empty())
            retinex.Resize(W, H);
        if (temp.Empty())
            temp.Resize(W, int32_t(Stage2TempRows(W, H)));
    }

    // The images of the crop's size that stage 3 writes, unless they are there.
    void priMakeStage3Images()
    {
        const int32_t w = m_Crop.right - m_Crop.left, h = m_Crop.bottom - m_Crop.top;
        if (colour3.Empty())
            colour3.Resize(w, h);
        if (lightness3.Empty())
            lightness3.Resize(w, h);
        if (retinex3.Empty())
            retinex3.Resize(w, h);
    }

    double Iso() const { return m_Props.GetDouble(FString("ISO"), 100.0); }

    int32_t Run(FIPERequest& request)
    {
        const int32_t status = RunEngineRequest(Engine(), request);
        if (status == kIPStatusError)
            lastError = std::to_string(request.m_iErrorCode) + " " + Utf8FromWide(request.m_sErrorText);
        return status;
    }

    FIIPEngine2& Engine()
    {
        if (m_pEngineInUse)
            return *m_pEngineInUse;
        if (!m_pEngine)
            m_pEngine.reset(CreateIPEngine2());
        return *m_pEngine;
    }

    const SyntheticRaw& m_Shot;
    std::vector<uint8_t> m_Camdata;
    std::unique_ptr<FCamdata> m_pCamdata;
    FPropTree m_Props{nullptr, "Properties"};
    int32_t W, H;
    bool m_bFreeInputs = false;
    int32_t m_iOutputPixelType = FPixmap::PIXEL_24_RGB;
    int32_t m_iRotation = 0;
    FIntSize m_ImageSize, m_OutputSize;
    FIntRect m_Crop;
    std::unique_ptr<FIIPEngine2> m_pEngine;
    FIIPEngine2* m_pEngineInUse = nullptr;
};

} // namespace testsupport
