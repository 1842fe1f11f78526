#pragma once
// An engine for the develop tests that counts every request it is handed (so
// a test sees which stages a develop reruns), and a stage 2 of the tests' own
// that a test can stop at a row: it works in place row by row, honours the
// cancel flag between rows and continues from its resume block. It stands in
// for the real stage 2 where a test must control where the stage stops, and
// everywhere while the real one is not built yet.
//
// DevelopDirectly runs the same stages on one engine without the managers
// (the test support's direct development, framed as the request asks): what
// a develop through the managers must equal.

#include "engine/core/FIPEngine2.h"
#include "engine/stages/Stage2.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "managers/DevelopSettings.h"
#include "managers/IPManagerData.h"
#include "support/EngineDriver.h"
#include "support/SyntheticDevelopment.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

// Lets a test run its own handler in place of the engine's, and the engine's
// own handlers from it.
class FIPEngine2TestAccess {
public:
    static void SetHandler(FIPEngine2& engine, std::function<void(FIPERequest&)> handler)
    {
        engine.m_TestHandler = std::move(handler);
    }
    static void Dispatch(FIPEngine2& engine, FIPERequest& request) { engine.priDispatch(&request); }
};

namespace testsupport {

// Requests handed to the engines, by type, over every engine that shares it.
class EngineCounts {
public:
    void Count(int32_t type)
    {
        if (type >= 0 && type < int32_t(m_Counts.size()))
            ++m_Counts[size_t(type)];
    }
    int Of(int32_t type) const { return m_Counts[size_t(type)].load(); }
    int Total() const
    {
        int total = 0;
        for (const auto& count : m_Counts)
            total += count.load();
        return total;
    }
    void Reset()
    {
        for (auto& count : m_Counts)
            count = 0;
    }

private:
    std::array<std::atomic<int>, 7> m_Counts{};
};

// Where the tests' stage 2 stops: at holdAtRow it waits until released or
// cancelled.
struct Stage2Hold {
    std::atomic<int> holdAtRow{-1};
    std::atomic<bool> reached{false};
    std::atomic<bool> released{false};
    std::atomic<int> rowsDone{0};
    std::atomic<int> firstRow{-1}; // the row the last run started from
};

// The tests' stage 2: each stage-1 value v becomes v / 2 + 100, the Retinex
// image the mean of a pixel's three, the reference image a copy; the
// automatic values are fixed.
inline void TestStage2(FIPERequestStage2& request, Stage2Hold* hold)
{
    FPixmap& image = *request.m_pStage1Image;
    FIPEResumeState& resume = request.m_ResumeState;
    uint32_t row = 0;
    if (resume.ResumeOrRestart(FIPEResumeState::kTagStage2, 4))
        row = resume.m_aWords[FIPEResumeState::kWordPosition];
    if (hold)
        hold->firstRow = int(row);
    for (; row < uint32_t(image.m_iRows); ++row) {
        if (hold && int(row) == hold->holdAtRow.load()) {
            hold->reached = true;
            while (!hold->released.load() && !request.IsCancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (request.IsCancelled()) {
            resume.m_aWords[FIPEResumeState::kWordPosition] = row;
            request.Finish(kIPStatusCancelled);
            return;
        }
        auto* pixels = reinterpret_cast<int16_t*>(image.GetRow(int32_t(row)));
        auto* retinex = reinterpret_cast<int16_t*>(request.m_pRtnxImage->GetRow(int32_t(row)));
        for (int32_t x = 0; x < image.m_iColumns; ++x) {
            int32_t sum = 0;
            for (int k = 0; k < 3; ++k) {
                pixels[3 * x + k] = int16_t(pixels[3 * x + k] / 2 + 100);
                sum += pixels[3 * x + k];
            }
            retinex[x] = int16_t(sum / 3);
        }
        std::memcpy(request.m_pStage2PreMatImage->GetRow(int32_t(row)), pixels, size_t(image.m_iColumns) * 6);
        if (hold)
            ++hold->rowsDone;
        request.SetProgress(double(row + 1) / image.m_iRows);
    }
    request.m_dAutoExposure = 0.25;
    request.m_dAutoShadow = -0.5;
    request.m_dAutoContrast = 0.125;
    request.m_dAutoHighlight = 0.75;
    request.m_dAutoSaturation = 0.0625;
    request.m_dFillLight = 0.5;
    request.m_adAutoColorGain = FDoubleTriple(1.1, 1.0, 0.9);
    request.m_bRommWorkingSpace = false;
    request.Finish(kIPStatusDone);
}

// The engine's stages, counted; stage 2 is the tests' own when a hold is
// given. An observer given with the engine's own stage 2
// sees the head of each of its steps (and may wait there).
class CountingEngine final : public FIIPEngine2 {
public:
    CountingEngine(EngineCounts& counts, Stage2Hold* hold, Stage2StepObserver observer = {}) : m_Counts(counts)
    {
        const bool testStage2 = hold != nullptr;
        FIPEngine2TestAccess::SetHandler(m_Engine, [this, hold, testStage2,
                                                    observer = std::move(observer)](FIPERequest& request) {
            if (request.GetType() == kIPERequestStage2 && testStage2)
                TestStage2(static_cast<FIPERequestStage2&>(request), hold);
            else if (request.GetType() == kIPERequestStage2 && observer)
                DevelopStage2(static_cast<FIPERequestStage2&>(request), observer);
            else
                FIPEngine2TestAccess::Dispatch(m_Engine, request);
        });
    }
    void Request(FIPERequest* request) override
    {
        if (request)
            m_Counts.Count(request->GetType());
        m_Engine.Request(request);
    }
    void Idle() override { m_Engine.Idle(); }

private:
    EngineCounts& m_Counts;
    FIPEngine2 m_Engine;
};

// The pixel bytes of an image, row padding left out.
inline std::vector<uint8_t> PixelBytes(const FPixmap& pixmap, int32_t bytesPerPixel)
{
    std::vector<uint8_t> bytes;
    const size_t rowBytes = size_t(pixmap.m_iColumns) * size_t(bytesPerPixel);
    bytes.reserve(rowBytes * size_t(std::max(pixmap.m_iRows, 0)));
    for (int32_t y = 0; y < pixmap.m_iRows; ++y)
        bytes.insert(bytes.end(), pixmap.GetRow(y), pixmap.GetRow(y) + rowBytes);
    return bytes;
}

inline int32_t BytesPerPixel(int32_t outputFormat)
{
    return outputFormat == kDisplay ? 4 : outputFormat == kRGB24 ? 3 : 6;
}

// The managers' settings in the direct development's terms: the frame a
// request asks for (its output size fitted to the picture, its crop clamped
// to it, the picture's turn and the output format's pixel type) and what it
// asks of the development. No frame when the request's size or crop is
// refused.
inline std::optional<DevelopFrame> DevelopFrameOf(const IPManagerData& request, const FPropTree& props)
{
    DevelopFrame frame;
    frame.rotation = props.GetInt(FString("ROTATION"), 0);
    const int32_t columns = props.GetInt(FString("COLS"), 0), rows = props.GetInt(FString("ROWS"), 0);
    if (!FitOutputSize(request.m_OutputSize, columns, rows, frame.rotation, frame.outputSize) ||
        !ClampCropToOutput(request.m_Crop, frame.outputSize, frame.crop))
        return std::nullopt;
    frame.outputPixelType = PixelTypeOfOutputFormat(request.m_eOutputFormat);
    return frame;
}

inline DevelopSettings DevelopSettingsOf(const IPManagerData& request, const FCamdata* camdata,
                                         const FPropTree& props)
{
    DevelopSettings settings;
    settings.whiteBalance = Utf8FromWide(request.m_sWBDesc);
    settings.neutral = request.m_CustomNeutral;
    settings.chromaNoise = request.m_dChromaNoise;
    settings.lumaNoise = request.m_dLumaNoise;
    settings.exposure = request.m_dExposure;
    settings.shadow = request.m_dShadow;
    settings.contrast = request.m_dContrast;
    settings.highlight = request.m_dHighlight;
    settings.colorGain = request.m_ColorAdjust;
    settings.contrastCompensation = ColorModeContrastCompensation(camdata, props);
    settings.modelToneOffsets = UsesModelToneOffsets(props);
    settings.fillLight = request.m_dFillLight;
    settings.sharpness = request.m_dSharpness;
    settings.saturation = request.m_dSaturation;
    settings.colorSpace = request.m_iColorSpace;
    return settings;
}

// The shot developed on the engine as the managers should develop the
// request, from the file's properties; what a develop through the managers
// must equal. Made once, it develops again with other settings of the same
// frame (Redevelop).
class DirectDevelopment {
public:
    DirectDevelopment(const SyntheticRaw& shot, const FPropTree& props, const IPManagerData& request)
        : DirectDevelopment(shot, props, DevelopFrameOf(request, props))
    {
    }

    // The developed picture's pixel bytes; empty when a stage fails or the
    // frame was refused. The request's frame must be the one this was made for.
    std::vector<uint8_t> Run(FIIPEngine2& engine, const IPManagerData& request)
    {
        if (!m_bFramed)
            return {};
        m_Development.settings = DevelopSettingsOf(request, m_Development.Camdata(), m_Props);
        m_Development.UseEngine(engine);
        if (m_Development.DevelopAll() != kIPStatusDone)
            return {};
        return m_Development.OutputBytes();
    }

private:
    DirectDevelopment(const SyntheticRaw& shot, const FPropTree& props, const std::optional<DevelopFrame>& frame)
        : m_Props(props), m_bFramed(frame.has_value()),
          m_Development(shot, {}, {}, frame.value_or(DevelopFrame{}), &props)
    {
    }

    const FPropTree& m_Props;
    bool m_bFramed;
    SyntheticDevelopment m_Development;
};

inline std::vector<uint8_t> DevelopDirectly(FIIPEngine2& engine, const SyntheticRaw& shot, const FPropTree& props,
                                            const IPManagerData& settings)
{
    return DirectDevelopment(shot, props, settings).Run(engine, settings);
}

} // namespace testsupport
