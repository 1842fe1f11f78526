#pragma once
// Stage 2: the development of the linear, dark-subtracted stage-1 image into
// the working colour space, in place: sensor corrections, bad pixels, red
// sharpening, highlight neutralisation, despeckle, noise reduction, chroma
// blur, the colour transform, the Retinex base image and the automatic
// adjustment values. A machine of numbered steps that a cancelled run resumes
// from the request's resume block.
#include "engine/core/FIPERequest.h"
#include "foundation/FString.h"
#include "foundation/FValueTypes.h"

#include <cstdint>
#include <functional>
#include <string>

class FPixmap;

// The number of step indexes (0 .. 17); step 17 finishes the stage.
inline constexpr int kStage2StepCount = 18;

// Called at the head of every step, before the cancel flag is read, with the
// index of the step about to run.
using Stage2StepObserver = std::function<void(int step, FIPERequestStage2& request)>;

// Everything the handler does once its record has passed the null checks;
// ends the record. The observer (tests) sees every step head.
void DevelopStage2(FIPERequestStage2& request, const Stage2StepObserver& observer = {});

// The rows of the temp pixmap stage 2 needs for a W x H image (W taken as at
// least 1): ((H + 3) / 4 x ((W + 3) / 4) + W - 1) / W + 2.
int64_t Stage2TempRows(int32_t W, int32_t H);
// The temp pixmap's minimum: at least W wide and Stage2TempRows rows.
bool Stage2TempBufferFits(const FPixmap* temp, int32_t W, int32_t H);

// The cumulative progress at the end of step s (C[s]); C[-1] = 0.
double Stage2Progress(int step);

// The dump file of a step: empty for "DoNotDump", else the dump path without
// its last four characters, "-", the step name and ".tif".
FString Stage2DumpName(const char* stepName, const FString& dumpPath);
// The file name of the dump after step index s ("DoNotDump" beyond the table).
const char* Stage2DumpStepName(int stepIndex);

// Writes a 48-bit signed RGB pixmap as a 16-bit TIFF (each component + 0x8000).
void DumpStage2Image(const FPixmap& image, const FString& url);

// The bad-pixel badness threshold for an exposure of t seconds between the
// levels L0 (at t0 and below) and L1 (beyond t1).
uint8_t BadPixelThreshold(double t, uint32_t L0, uint32_t L1, double t0, double t1);

// The saturation levels the highlight neutralisation uses for a camera class:
// T after the class's adjustment (t: exposure seconds, mb: matrix boost,
// gainRatio: r).
FIntTriple HighlightSaturationLevels(const FIntTriple& T, int cameraClass, double t, double mb, double gainRatio);

// The dark-shield columns first..last, first..last (inclusive) for an image W
// wide when the camera data has none.
void DefaultDarkShieldColumns(int32_t W, int32_t (&columns)[4]);
