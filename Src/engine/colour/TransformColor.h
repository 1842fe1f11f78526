#pragma once
// The last pixel step of a development: the stage-3 images become output
// pixels. Each row runs through a fixed chain of integer table and matrix
// steps (lightness detail, Retinex gain, tone, saturation, gamma) into 16-bit
// RGB of the working colour space, which Little CMS converts into the output
// colour space and pixel type.
//
// The transforms and the ICC profiles they are built from are cached for the
// life of the process, one lock guarding the cache. A cached transform is used
// outside the lock by any number of threads (Little CMS only reads it).
//
// The profiles are files of the program's data folder ("icc" in the folder
// "resources" beside the executable), made at build time from the published
// colorimetry of each space.
#include "engine/colour/ColorMatrix3x3.h"
#include "foundation/FPixmap.h"
#include "foundation/FString.h"
#include "foundation/FSync.h"
#include "foundation/FValueTypes.h"

#include <lcms2.h>

#include <cstddef>
#include <cstdint>
#include <forward_list>

// Profile ids beyond the engine's colour spaces 0 to 11.
enum : int32_t {
    kColorSpaceProPhotoSecondIssue = 12, // the same colorimetry as 11
    kColorSpaceXYZ = 13,                 // the Little CMS XYZ profile
};

// The folder the profiles are read from.
FString ColorProfileFolder();
// Looks the data folder up as if the program file were programPath (tests and
// tools that run from elsewhere); an empty path restores the running program.
// Profiles already opened stay cached.
void SetColorProfileProgramPath(const FString& programPath);

// The profile of a colour-space id: Adobe RGB (1998) for 3, Apple RGB for 4,
// ColorMatch RGB for 8, ProPhoto RGB for 11 and 12, the XYZ profile for 13,
// sRGB for any other id. Null when the profile cannot be read.
cmsHPROFILE OpenColorSpaceProfile(int32_t colorSpace);

class FGlobalTransformClass {
public:
    // The process-wide cache, destroyed at process exit.
    static FGlobalTransformClass& Instance();

    FGlobalTransformClass() = default;
    FGlobalTransformClass(const FGlobalTransformClass&) = delete;
    FGlobalTransformClass& operator=(const FGlobalTransformClass&) = delete;
    // Deletes every cached transform and closes every cached profile.
    ~FGlobalTransformClass();

    // The cached transform for the four keys, created on first use (intent 0,
    // without Little CMS's one-pixel cache, which changes no value); null when Little CMS cannot build it (a later call tries
    // again). Throws FExceptionPixelProc2 "FGlobalTransformClass: error
    // acquiring MUTEX" when the cache stays locked for 100 ms.
    cmsHTRANSFORM GetColorTransform(int32_t inSpace, uint32_t inFormat, int32_t outSpace, uint32_t outFormat);

    // How many transforms were created, the failed attempts included.
    size_t TransformsCreated();

private:
    struct ProfileNode {
        cmsHPROFILE hProfile;
        int32_t iColorSpace;
    };
    struct TransformNode {
        cmsHTRANSFORM hTransform;
        int32_t iInSpace;
        uint32_t iInFormat;
        int32_t iOutSpace;
        uint32_t iOutFormat;
    };
    class Lock;

    // The callers hold the lock. Nodes are prepended, so the newest is found first.
    cmsHTRANSFORM FindTransform(int32_t inSpace, uint32_t inFormat, int32_t outSpace, uint32_t outFormat) const;
    void AddTransform(cmsHTRANSFORM transform, int32_t inSpace, uint32_t inFormat, int32_t outSpace,
                      uint32_t outFormat);
    cmsHPROFILE FindOrOpenProfile(int32_t colorSpace);
    void AddProfile(cmsHPROFILE profile, int32_t colorSpace);

    FMutex GlobalTransformMutex;
    std::forward_list<ProfileNode> m_Profiles;
    std::forward_list<TransformNode> m_Transforms;
    size_t m_iTransformsCreated = 0;
};

inline cmsHTRANSFORM GetColorTransform(int32_t inSpace, uint32_t inFormat, int32_t outSpace, uint32_t outFormat)
{
    return FGlobalTransformClass::Instance().GetColorTransform(inSpace, inFormat, outSpace, outFormat);
}

// The chain before the colour transform for one row of pixelCount pixels,
// into 16-bit R, G, B: the lightness detail times k / 16384 added to each
// channel, the Retinex gain (when a Retinex row is given) applied in the
// linear domain, the tone table, the saturation matrix (12 fraction bits) and
// the gamma table. Table look-ups index with the value and the table's mask.
void ProcessOutputRow(const FPixelClass48SRGB* color, const FPixelClass16SMono* lightness,
                      const FPixelClass16SMono* retinex, int32_t pixelCount, int32_t detailStrengthQ14,
                      const FLUT16RGB& toneLUT, const FLUT16& retinexLUT, const ColorMatrix3x3Fixed& saturation,
                      const FLUT16& gammaLUT, const FLUT16& cubeRoot, const FLUT16& inverseCubeRoot, uint16_t* out);

namespace FPixelProc2 {

// Converts the stage-3 images (colour PIXEL_48S_RGB; lightness and Retinex
// PIXEL_16S_MONO, the Retinex image may be null) into the output pixmap
// (PIXEL_24_RGB, PIXEL_48_RGB or the display's PIXEL_32_BGRA, whose alpha is
// set to 255), row by row from the top, from the working colour space into the
// output colour space. The lightness detail is added with strength
// sharpness + 1. Throws FExceptionPixelProc2 for another output type
// ("FPixelProc2::ProcessToOutput: unknown output pixel type."), for missing
// images or images whose type or size does not match, and an assertion
// failure when no transform can be built; nothing is written then.
void ProcessToOutput(const FPixmap* colorImage, const FPixmap* lightnessImage, const FPixmap* retinexImage,
                     double sharpness, const FLUT16RGB& toneLUT, const FLUT16& retinexLUT,
                     const ColorMatrix3x3& saturation, const FLUT16& gammaLUT, int32_t workingSpace,
                     int32_t outputSpace, FPixmap* outImage);

} // namespace FPixelProc2
