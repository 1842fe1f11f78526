#pragma once
// What stage 2 knows about a camera beyond its camera data: the camera class
// derived from the model name (model-specific handling the camera data does
// not express), the bits of SkipStepFlags that switch parts of the stage off,
// and the look-ups of the white-balance tables, which are read first under the
// model prefix "KT5_" and fall back to the plain names.
#include "engine/colour/ColorMatrix3x3.h"
#include "foundation/FString.h"
#include "foundation/FValueTypes.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class FCamdata;
class FPropTree;
struct CamdataRange;

// Bits of the camera data's SkipStepFlags.
enum Stage2SkipFlag : uint32_t {
    kSkipSpatialGain = 0x10,         // spatial gains forced to 1 (step 0)
    kSkipDriftModel = 0x40,          // drift model cleared before the row-offset pre-pass
    kSkipFlare = 0x80,               // flare offsets cleared
    kSkipBadPixels = 0x200,
    kSkipHighlight = 0x800,
    kSkipDespeckle = 0x4000,
    kSkipSmallChromaBlur = 0x8000,
    kSkipChromaBlur = 0x10000,
    kSkipColorNoise = 0x20000,       // colour-transform noise values cleared
    kSkipColorMatrix = 0x40000,      // colour matrix replaced by the identity
    kSkipLargeChromaBlur = 0x200000,
    kSkipFIR = 0x400000,
    kGreyWorldAutoWB = 0x1000000,    // grey-world estimator instead of the chroma-weighted one
    kAutoWBAlwaysWins = 0x2000000,   // the automatic result always replaces the gains; no illuminant search
};

// The camera class of a CAMMODEL text (1 to 10): the first model word found
// in the upper-cased text decides; an unknown model is class 1.
int CameraClassFromModel(const FString& model);

// A camera-data property list as name/value pairs (empty when missing).
using Stage2List = std::vector<std::pair<std::string, std::string>>;
Stage2List ReadStage2List(const FCamdata* camdata, const char* name);
// The list under "KT5_" + name, or the plain one when the prefixed one has no entries.
Stage2List ReadPrefixedStage2List(const FCamdata* camdata, const char* name);
// The value of the pair whose name equals key (ASCII case ignored, as camera-
// data names are); empty when there is none.
std::string Stage2ListValue(const Stage2List& list, const std::string& key);

// A 3 x 3 float matrix entry; zeros when missing, of another shape or
// defective (a value beyond kCamdataCoefficient, CamdataValues.h).
ColorMatrix3x3 ReadStage2Matrix(const FCamdata* camdata, const std::string& name);
// A three-float vector entry; zeros when missing, of another shape or defective.
FDoubleTriple ReadStage2Vector(const FCamdata* camdata, const std::string& name);
// The same with a default, and defective outside the range.
FDoubleTriple ReadStage2VectorOr(const FCamdata* camdata, const std::string& name, const CamdataRange& range,
                                 const FDoubleTriple& fallback);
// The matrix "KT5_" + matrixName with the gain "KT5_" + gainName; when the
// prefixed matrix's first element is 0, both plain entries instead.
void ReadPrefixedMatrixAndGain(const FCamdata* camdata, const std::string& matrixName, const std::string& gainName,
                               ColorMatrix3x3& matrix, FDoubleTriple& gain);

// A scalar that may be stored as int32, uint32 or float (truncated); false
// when the entry is of none of these.
bool ReadStage2FlexibleInt(const FCamdata* camdata, const char* name, int64_t& value);

// Case-insensitive ASCII comparison of whole texts.
bool Stage2EqualNoCase(const std::string& a, const std::string& b);
