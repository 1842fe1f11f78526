#pragma once
// A synthetic camera: complete raw files ("PDXb", written through PdxbBuilder)
// of a known scene, with the ground truth a test needs to judge a development.
//
// The scene is a colour chart (six neutral patches of 3, 9, 18, 36, 59 and 90 %
// reflectance and twelve coloured patches), below it a counterpart of each
// colour, a smooth neutral gradient, a sharp black/white edge, a field of fine
// stripes and a small over-exposed highlight, on a softly textured background
// of many hues; the whole averages to grey, as a fair scene for an automatic
// white balance does. It is lit by daylight (D65) or by studio tungsten light
// (a black body at 3200 K, indoors: a brightness value near 3).
//
// The camera is a three-layer sensor whose response is a linear function of
// XYZ, so a development with the true neutral and CamToXYZ recovers the chart
// exactly, up to noise:
//
//   XYZ = CamToXYZ x diag(nativeNeutral / sceneNeutral) x cam / whiteCounts
//   cam = (raw - dark) x SpatialGain(x, y) x gainRatio
//
// (nativeNeutral: the camera's response to the D65 white; sceneNeutral: its
// response to the scene's light; XYZ with Y = 1 for a perfect white, adapted to
// D65). The stored frames are 12-bit (three planes of packed 12-bit samples)
// with a dark level near 64, a small column pattern, dark-shield rows and
// columns, vignetting that the camera data's SpatialGain table undoes, shot and
// read noise (variance a + b x signal, in counts, the values of the camera
// data's ColorNoiseModel) and a few hot pixels listed in BadPixels.
//
// Coordinates: the stored frames are storedColumns x storedRows. The developed
// output is the active area of the stored frame (the header's COLS x ROWS);
// patch rectangles are in output coordinates, right and bottom exclusive.
//
// Typical use:
//   SyntheticRaw shot = MakeSyntheticRaw({SyntheticShot::DaylightIso100, SyntheticSize::Small});
//   shot.file.WriteTo(path);            // or WriteSyntheticRaw(path, options)
//   for (const ChartPatch& p : shot.truth.patches) ... p.rect, p.lab, p.srgb ...
//
// Small files take well under a second to make; the two large sizes are for
// benchmarks and the sample folder (tools/make_samples). The same shot without
// a file (frames as pixmaps, raw - dark as a working image, the camera data
// parsed) is in SyntheticWorkingImage.h; CIEDE2000 and the colour conversions
// in ColorDifference.h.
//
// The camera data (SyntheticCalibration.cpp) is one table of every entry a
// development reads, by name, element type and shape; any entry can be written
// missing, zero, malformed or with every element one value (SyntheticOptions::defect).

#include "support/ColorDifference.h"
#include "support/PdxbBuilder.h"

#include "foundation/FValueTypes.h" // FIntRect

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// The three shots the camera makes.
enum class SyntheticShot {
    DaylightIso100,     // D65, ISO 100, white balance "Daylight"
    DaylightIso800Auto, // D65, ISO 800 (an eighth of the light), white balance "Auto"
    TungstenIso100,     // tungsten (3200 K), ISO 100, indoor exposure, white balance "Incandescent"
};

// Stored frame sizes.
enum class SyntheticSize {
    Small,  // 480 x 360 (fast tests)
    Medium, // 2304 x 1536
    Large,  // 4704 x 3136
    Tiny,   // 64 x 48 (robustness tests and fuzzing: too small for the chart's patches to be measured)
};

// What the builder does to one calibration entry (bad-input files).
enum class CalibrationDefect {
    None,
    Missing,   // left out
    Zero,      // every element 0; a list without pairs; an empty text
    Malformed, // the wrong shape or a hostile value (see CalibrationEntry::malformed)
    Value,     // every element SyntheticOptions::defectValue, as the element type stores it
};

struct SyntheticOptions {
    SyntheticShot shot = SyntheticShot::DaylightIso100;
    SyntheticSize size = SyntheticSize::Small;
    uint32_t seed = 1;
    bool noise = true;              // shot and read noise (hot pixels and column pattern stay)
    bool previews = true;           // the large JPEG preview and the 221 x 147 JPEG thumbnail
    bool darkSubtracted = false;    // one dark-subtracted frame (kind 3, signed) in place of raw + dark frame
    bool plainCamfile = false;      // camera data stored plain (camfile type 1), not HuffmanM4-coded (type 4)
    bool perIlluminantTables = false; // CCMatrix_Flag 1: the per-illuminant colour corrections are used
    uint32_t rotation = 0;          // the header's ROTATION (0, 90, 180 or 270); the frames stay as stored
    // At most one calibration entry (by name, as in SyntheticCalibration) made defective.
    std::string defectEntry;
    CalibrationDefect defect = CalibrationDefect::None;
    double defectValue = 0; // CalibrationDefect::Value
    bool previewOnly = false; // with previews: the large JPEG preview without the small thumbnail
};

// One patch of the chart.
struct ChartPatch {
    std::string name;
    FIntRect rect;           // output coordinates, right and bottom exclusive
    bool neutral = false;
    double reflectance = 0;  // neutral patches only
    ColorTriple linearSrgb;  // the true colour, linear sRGB (D65)
    ColorTriple srgb;        // encoded sRGB, 0..1
    ColorTriple xyz;         // D65-adapted, Y = 1 for a perfect white
    ColorTriple lab;         // CIELAB (D65)
};

struct SyntheticTruth {
    SyntheticShot shot = SyntheticShot::DaylightIso100;
    uint32_t storedColumns = 0, storedRows = 0; // raw and dark frame
    uint32_t outputColumns = 0, outputRows = 0; // developed output (header COLS x ROWS)
    FIntRect activeArea;  // the output's place in the stored frame (right, bottom exclusive)
    FIntRect keepArea;    // the stored frame's place on the sensor (right, bottom exclusive)
    FIntRect shieldTop;   // dark-shield rows, stored-frame coordinates (right, bottom exclusive)
    FIntRect shieldBottom;
    std::array<int32_t, 4> shieldColumns{}; // first..last, first..last (inclusive) dark-shield columns

    std::vector<ChartPatch> patches; // the six neutral patches (3 % to 90 %), then the twelve colours
    // Below the chart, one for each colour (in the same order), of the same
    // area: colour + counterpart = a grey of the colour's brightest channel.
    std::vector<ChartPatch> counterparts;
    // Output coordinates, right and bottom exclusive.
    FIntRect gradient;  // reflectance 0 at its left edge rising linearly to 1 at its right edge
    FIntRect edge;      // 3 % left of edgeColumn, 90 % from it on
    int32_t edgeColumn = 0;
    FIntRect detail;    // stripes of 10 % and 60 %, periods 2, 3, 4 and 6 pixels in four bands
    FIntRect highlight; // bounding box of the over-exposed disc (clipped in every channel)
    double backgroundReflectance = 0.18; // the background's mean grey; see BackgroundAt

    std::string whiteBalance;   // WB_DESC as the camera wrote it
    std::string illuminant;     // the light's name in the white-balance lists ("Daylight", "Incandescent")
    double captureIso = 100, sensorIso = 100;
    double exposureSeconds = 0; // EXPTIME (microseconds) and SHUTTER (seconds) as the camera wrote them
    double gainRatio = 1;       // capture ISO / sensor ISO: dark-subtracted counts x gainRatio = ISO 100 counts
    ColorTriple sceneNeutral;   // camera RGB of the scene's white, green 1: the true neutral
    ColorTriple nativeNeutral;  // camera RGB of the D65 white, green 1
    ColorMatrix9 camToXYZ{};    // CamToXYZ as written (camera RGB to XYZ, D65 white)
    double whiteCounts = 0;     // ISO 100 green counts of a perfect white, before vignetting
    ColorTriple darkLevel;      // mean dark level per channel (counts)
    int32_t saturation = 4000;  // raw counts at which every channel clips
    ColorTriple readVariance;   // noise variance a + b x signal, counts^2 (ColorNoiseModel)
    ColorTriple shotVariance;
    // Hot pixels, stored-frame coordinates: those in both frames cancel in
    // the dark subtraction; raw-only ones stand at 3900 and are the ones
    // BadPixels marks bad enough to replace.
    std::vector<std::pair<int32_t, int32_t>> hotPixelsBoth, hotPixelsRawOnly;

    // SpatialGain at a stored-frame pixel (the table interpolated the way the
    // correction kernel reads it): the vignetting the camera applied is 1 / gain.
    ColorTriple SpatialGainAt(int32_t x, int32_t y) const;
    // The scene's linear sRGB (D65-adapted) at an output pixel.
    ColorTriple SceneAt(int32_t x, int32_t y) const;
    // The background at an output pixel, linear sRGB: a soft texture of
    // brightness and hue around a grey of backgroundReflectance.
    ColorTriple BackgroundAt(int32_t x, int32_t y) const;

    std::vector<float> spatialGainTable; // rows x columns x 3
    uint32_t spatialGainRows = 0, spatialGainColumns = 0;
};

struct SyntheticRaw {
    PdxbFile file;                // the complete raw file
    SyntheticTruth truth;
    // The frames as stored, R, G, B per pixel, row after row (storedColumns x
    // storedRows). With darkSubtracted the file holds raw - dark (signed) in
    // darkSubtractedFrame, and raw and dark stay empty.
    std::vector<uint16_t> raw, dark;
    std::vector<int16_t> darkSubtractedFrame;
    std::vector<uint8_t> camdata; // the camera data as a development reads it (decoded)
    std::vector<uint8_t> previewJpeg, thumbnailJpeg;
};

// Everything about one shot. Deterministic for given options.
SyntheticRaw MakeSyntheticRaw(const SyntheticOptions& options = {});
// Writes the raw file and gives its truth.
SyntheticTruth WriteSyntheticRaw(const std::filesystem::path& path, const SyntheticOptions& options = {});
// The truth alone (no frames are made).
SyntheticTruth MakeSyntheticTruth(const SyntheticOptions& options = {});

// The capture properties the camera writes into the file (name, value).
std::vector<std::pair<std::string, std::string>> SyntheticCaptureProperties(const SyntheticTruth& truth);

// The truth as text: sizes, areas, neutrals, CamToXYZ and one line per patch
// (rectangle, sRGB 0..255, CIELAB).
std::string DescribeTruth(const SyntheticTruth& truth);

// Names used for files and tools: "daylight-iso100", "daylight-iso800-auto", "tungsten-iso100"; "480x360", ...
std::string ShotName(SyntheticShot shot);
std::string SizeName(SyntheticSize size);

// The camera's response to an illuminant of its white-balance lists
// ("Daylight", "Sunlight", "Shade", "Overcast", "Incandescent", "Fluorescent",
// "Flash"), green 1.
ColorTriple SyntheticCameraNeutral(const std::string& illuminant);

// XYZ (Y = 1) of a black body (a Planckian radiator) at the temperature.
ColorTriple BlackBodyXyz(double kelvin);

// ---- Camera data

enum class CalibrationType { Int16, UInt16, Int32, UInt32, UInt8, Float, List, Text };

// One entry of the camera data: name, element type and shape as a development reads them.
struct CalibrationEntry {
    std::string name;
    CalibrationType type = CalibrationType::Float;
    std::vector<uint32_t> dims;                               // matrices
    std::vector<double> values;                               // matrices, first dimension outermost
    std::vector<std::pair<std::string, std::string>> pairs;   // lists: name -> entry name
    std::string text;                                         // texts
    bool required = false; // a development turns black, NaN, red or fails without it
    // The malformed form of a matrix: empty means the first dimension one
    // short. A malformed list names entries that do not exist; a malformed
    // text is 300 bytes without the closing word.
    std::vector<uint32_t> malformedDims;
    std::vector<double> malformedValues;
};

// A value as an entry of the type stores it: a float keeps it (beyond the
// float range it becomes an infinity); an integer type holds it to its range,
// NaN giving 0.
double CalibrationStoredValue(CalibrationType type, double value);

// The camera data of a shot, in the order it is written: the one table of
// every entry the camera provides. Defects of the options are applied.
std::vector<CalibrationEntry> SyntheticCalibration(const SyntheticOptions& options);
// The names of the required entries (each can be made missing, zero or malformed).
std::vector<std::string> RequiredCalibrationEntries();
// The camera-data container (a "FCMb" camfile) holding the entries.
std::vector<uint8_t> BuildCalibration(const std::vector<CalibrationEntry>& entries);

} // namespace testsupport
