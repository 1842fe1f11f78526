#include "engine/TransformColor.h"

#include "engine/GlobalLUTs.h"
#include "foundation/FAssert.h"
#include "foundation/FException.h"
#include "foundation/FPath.h"
#include "foundation/FSCDiskWin.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>
#include <type_traits>
#include <vector>

namespace {

constexpr uint32_t kLockTimeoutMs = 100;
// Far above any RGB profile; a larger file is not one of ours.
constexpr std::streamoff kMaxProfileBytes = 16 << 20;
constexpr int32_t kDetailShift = 14;
// The Retinex gain is Q8: linear values times the gain stay below 2^23.
constexpr int64_t kRetinexLimit = 0x800000;

std::mutex& ProgramPathLock()
{
    static std::mutex lock;
    return lock;
}

FString& ProgramPathOverride()
{
    static FString path;
    return path;
}

const char16_t* ProfileFileName(int32_t colorSpace)
{
    switch (colorSpace) {
    case 3:
        return u"AdobeRGB1998.icc";
    case 4:
        return u"AppleRGB.icc";
    case 8:
        return u"ColorMatchRGB.icc";
    case 11:
    case kColorSpaceProPhotoSecondIssue:
        return u"ProPhotoRGB.icc";
    default:
        return u"sRGB.icc";
    }
}

std::vector<char> ReadProfileFile(const FString& path)
{
    std::string native;
    if (!PathToNative(path, native))
        return {};
    std::ifstream file(native, std::ios::binary | std::ios::ate);
    if (!file)
        return {};
    const std::streamoff size = file.tellg();
    if (size <= 0 || size > kMaxProfileBytes)
        return {};
    std::vector<char> bytes(static_cast<size_t>(size));
    file.seekg(0);
    if (!file.read(bytes.data(), size))
        return {};
    return bytes;
}

// A table read with a value's low 32 bits cut down by the table's mask. The
// tables of a development all have 65536 entries; for them the mask is the
// low 16 bits themselves, which spares the inner loop a register per table.
template <bool kFull64K>
class TableView {
public:
    TableView(const int16_t* table, uint32_t mask) : m_pTable(table), m_iMask(mask) {}
    explicit TableView(const FLUT16& table) : TableView(table.m_pTable, table.m_iMask) {}
    int32_t operator[](int64_t value) const
    {
        if constexpr (kFull64K)
            return m_pTable[static_cast<uint16_t>(value)];
        else
            return m_pTable[static_cast<uint32_t>(value) & m_iMask];
    }

private:
    const int16_t* const m_pTable;
    const uint32_t m_iMask;
};

// ColorMatrix3x3Fixed::Apply, one row at a time, for the inner loop.
class FixedMatrix {
public:
    explicit FixedMatrix(const ColorMatrix3x3Fixed& matrix)
        : m_iShift(matrix.iFractionBits), m_iHalf(m_iShift > 0 ? int64_t{1} << (m_iShift - 1) : 0)
    {
        std::copy(matrix.m, matrix.m + 9, m_aElements);
    }
    // The row's result, cut to an int as Apply does.
    int32_t Row(int row, const int64_t in[3]) const
    {
        const int64_t* e = m_aElements + 3 * row;
        return static_cast<int32_t>((e[0] * in[0] + e[1] * in[1] + e[2] * in[2] + m_iHalf) >> m_iShift);
    }

private:
    int64_t m_aElements[9];
    const int m_iShift;
    const int64_t m_iHalf;
};

struct RowChainTables {
    const FLUT16RGB& tone;
    const FLUT16& retinex;
    const FLUT16& gamma;
    const FLUT16& cube;
    const FLUT16& inverseCube;

    bool AllFull64K() const
    {
        for (uint32_t mask : {tone.m_iMask, retinex.m_iMask, gamma.m_iMask, cube.m_iMask, inverseCube.m_iMask})
            if (mask != 0xFFFF)
                return false;
        return true;
    }
};

template <bool kFull64K, bool kWithRetinex>
void RunRowChain(const FPixelClass48SRGB* color, const FPixelClass16SMono* lightness,
                 const FPixelClass16SMono* retinex, int32_t pixelCount, int64_t k, const RowChainTables& tables,
                 const ColorMatrix3x3Fixed& saturation, uint16_t* out)
{
    using View = TableView<kFull64K>;
    // Local copies: the output's stores may alias the tables' 16-bit entries,
    // which would otherwise make every look-up reload its table.
    const uint32_t toneMask = tables.tone.m_iMask;
    const View toneR(tables.tone.m_pRed, toneMask), toneG(tables.tone.m_pGreen, toneMask),
        toneB(tables.tone.m_pBlue, toneMask);
    const View gains(tables.retinex), gamma(tables.gamma), cube(tables.cube), inverseCube(tables.inverseCube);
    const FixedMatrix matrix(saturation);
    const auto applyGain = [&](int64_t value, int64_t gain) -> int64_t {
        const int64_t linear = inverseCube[value] * gain;
        return linear < kRetinexLimit ? cube[linear >> 8] : cube[0x7FFF];
    };
    for (int32_t x = 0; x < pixelCount; ++x) {
        const int64_t detail = (k * lightness[x].v) >> kDetailShift;
        int64_t r = color[x].r + detail;
        int64_t g = color[x].g + detail;
        int64_t b = color[x].b + detail;
        if constexpr (kWithRetinex) {
            const int64_t gain = gains[retinex[x].v];
            r = applyGain(r, gain);
            g = applyGain(g, gain);
            b = applyGain(b, gain);
        }
        const int64_t toned[3] = {toneR[r], toneG[g], toneB[b]};
        for (int c = 0; c < 3; ++c)
            out[3 * x + c] = static_cast<uint16_t>(gamma[matrix.Row(c, toned)]);
    }
}

uint32_t LittleCMSFormat(int32_t pixelType)
{
    switch (pixelType) {
    case FPixmap::PIXEL_24_RGB:
        return TYPE_RGB_8;
    case FPixmap::PIXEL_48_RGB:
        return TYPE_RGB_16;
    case FPixmap::PIXEL_32_BGRA:
        return TYPE_BGRA_8;
    default:
        return 0;
    }
}

bool Matches(const FPixmap* image, int32_t pixelType, const FPixmap& output)
{
    return image->GetPixelType() == pixelType && image->m_iColumns == output.m_iColumns &&
           image->m_iRows == output.m_iRows;
}

// What the conversion reads and writes must exist and agree with the output,
// whose rows receive exactly the colour image's columns.
void CheckImages(const FPixmap* colorImage, const FPixmap* lightnessImage, const FPixmap* retinexImage,
                 const FPixmap* outImage)
{
    if (!colorImage || !lightnessImage || !outImage)
        throw FExceptionPixelProc2("FPixelProc2::ProcessToOutput: image pointer is NULL.");
    if (LittleCMSFormat(outImage->GetPixelType()) == 0)
        throw FExceptionPixelProc2("FPixelProc2::ProcessToOutput: unknown output pixel type.");
    if (!Matches(colorImage, FPixmap::PIXEL_48S_RGB, *outImage) ||
        !Matches(lightnessImage, FPixmap::PIXEL_16S_MONO, *outImage) ||
        (retinexImage && !Matches(retinexImage, FPixmap::PIXEL_16S_MONO, *outImage)))
        throw FExceptionPixelProc2("FPixelProc2::ProcessToOutput: input images do not match the output.");
}

void SetOpaque(FPixelClass32BGRA* row, int32_t pixelCount)
{
    for (int32_t x = 0; x < pixelCount; ++x)
        row[x].a = 255;
}

} // namespace

// ---- Profiles

FString ColorProfileFolder()
{
    FString program;
    {
        std::lock_guard<std::mutex> lock(ProgramPathLock());
        program = ProgramPathOverride();
    }
    if (program.GetLength() == 0)
        GetProgramPath(program);
    return PathJoin(ProgramDataFolder(program), FString(u"icc"));
}

void SetColorProfileProgramPath(const FString& programPath)
{
    std::lock_guard<std::mutex> lock(ProgramPathLock());
    ProgramPathOverride() = programPath;
}

cmsHPROFILE OpenColorSpaceProfile(int32_t colorSpace)
{
    if (colorSpace == kColorSpaceXYZ)
        return cmsCreateXYZProfile();
    const std::vector<char> bytes = ReadProfileFile(PathJoin(ColorProfileFolder(), FString(ProfileFileName(colorSpace))));
    cmsHPROFILE profile =
        bytes.empty() ? nullptr : cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size()));
    if (!profile)
        DebugPrintf("OpenColorSpaceProfile: no profile for colour space %d\n", colorSpace);
    return profile;
}

// ---- The cache

class FGlobalTransformClass::Lock {
public:
    explicit Lock(FMutex& mutex) : m_Mutex(mutex)
    {
        if (!m_Mutex.Lock(kLockTimeoutMs))
            throw FExceptionPixelProc2("FGlobalTransformClass: error acquiring MUTEX");
    }
    ~Lock() { m_Mutex.Unlock(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    FMutex& m_Mutex;
};

FGlobalTransformClass& FGlobalTransformClass::Instance()
{
    static FGlobalTransformClass instance;
    return instance;
}

FGlobalTransformClass::~FGlobalTransformClass()
{
    for (const TransformNode& node : m_Transforms)
        if (node.hTransform)
            cmsDeleteTransform(node.hTransform);
    for (const ProfileNode& node : m_Profiles)
        if (node.hProfile)
            cmsCloseProfile(node.hProfile);
}

cmsHTRANSFORM FGlobalTransformClass::GetColorTransform(int32_t inSpace, uint32_t inFormat, int32_t outSpace,
                                                       uint32_t outFormat)
{
    Lock lock(GlobalTransformMutex);
    if (cmsHTRANSFORM found = FindTransform(inSpace, inFormat, outSpace, outFormat))
        return found;
    cmsHPROFILE in = FindOrOpenProfile(inSpace);
    cmsHPROFILE out = FindOrOpenProfile(outSpace);
    // Without the one-pixel cache: it gives the same values but costs a
    // compare and two copies per pixel, and developed pictures hardly ever
    // repeat a pixel.
    cmsHTRANSFORM transform =
        in && out ? cmsCreateTransform(in, inFormat, out, outFormat, 0, cmsFLAGS_NOCACHE) : nullptr;
    AddTransform(transform, inSpace, inFormat, outSpace, outFormat);
    return transform;
}

size_t FGlobalTransformClass::TransformsCreated()
{
    Lock lock(GlobalTransformMutex);
    return m_iTransformsCreated;
}

cmsHTRANSFORM FGlobalTransformClass::FindTransform(int32_t inSpace, uint32_t inFormat, int32_t outSpace,
                                                   uint32_t outFormat) const
{
    for (const TransformNode& node : m_Transforms)
        if (node.iInSpace == inSpace && node.iInFormat == inFormat && node.iOutSpace == outSpace &&
            node.iOutFormat == outFormat && node.hTransform)
            return node.hTransform;
    return nullptr;
}

void FGlobalTransformClass::AddTransform(cmsHTRANSFORM transform, int32_t inSpace, uint32_t inFormat,
                                         int32_t outSpace, uint32_t outFormat)
{
    m_Transforms.push_front({transform, inSpace, inFormat, outSpace, outFormat});
    ++m_iTransformsCreated;
}

cmsHPROFILE FGlobalTransformClass::FindOrOpenProfile(int32_t colorSpace)
{
    for (const ProfileNode& node : m_Profiles)
        if (node.iColorSpace == colorSpace && node.hProfile)
            return node.hProfile;
    cmsHPROFILE profile = OpenColorSpaceProfile(colorSpace);
    AddProfile(profile, colorSpace);
    return profile;
}

void FGlobalTransformClass::AddProfile(cmsHPROFILE profile, int32_t colorSpace)
{
    m_Profiles.push_front({profile, colorSpace});
}

// ---- Output conversion

void ProcessOutputRow(const FPixelClass48SRGB* color, const FPixelClass16SMono* lightness,
                      const FPixelClass16SMono* retinex, int32_t pixelCount, int32_t detailStrengthQ14,
                      const FLUT16RGB& toneLUT, const FLUT16& retinexLUT, const ColorMatrix3x3Fixed& saturation,
                      const FLUT16& gammaLUT, const FLUT16& cubeRoot, const FLUT16& inverseCubeRoot, uint16_t* out)
{
    const RowChainTables tables{toneLUT, retinexLUT, gammaLUT, cubeRoot, inverseCubeRoot};
    const auto run = [&](auto full64K, auto withRetinex) {
        RunRowChain<decltype(full64K)::value, decltype(withRetinex)::value>(
            color, lightness, retinex, pixelCount, detailStrengthQ14, tables, saturation, out);
    };
    const bool full64K = tables.AllFull64K();
    if (full64K && retinex)
        run(std::true_type{}, std::true_type{});
    else if (full64K)
        run(std::true_type{}, std::false_type{});
    else if (retinex)
        run(std::false_type{}, std::true_type{});
    else
        run(std::false_type{}, std::false_type{});
}

void FPixelProc2::ProcessToOutput(const FPixmap* colorImage, const FPixmap* lightnessImage,
                                  const FPixmap* retinexImage, double sharpness, const FLUT16RGB& toneLUT,
                                  const FLUT16& retinexLUT, const ColorMatrix3x3& saturation, const FLUT16& gammaLUT,
                                  int32_t workingSpace, int32_t outputSpace, FPixmap* outImage)
{
    CheckImages(colorImage, lightnessImage, retinexImage, outImage);
    ColorMatrix3x3Fixed fixedSaturation;
    fixedSaturation.iFractionBits = 12;
    fixedSaturation.Set(saturation);

    const int32_t outType = outImage->GetPixelType();
    cmsHTRANSFORM hTransform = GetColorTransform(workingSpace, TYPE_RGB_16, outputSpace, LittleCMSFormat(outType));
    if (!hTransform)
        AssertionFailed("TransformColor", __LINE__, "hTransform != NULL", 0, 0);

    const FLUT16& cubeRoot = GetCubeRootLUT();
    const FLUT16& inverseCubeRoot = GetInverseCubeRootLUT();
    const int32_t columns = colorImage->m_iColumns;
    const int32_t detailStrength = TruncateToInt((sharpness + 1) * 16384);
    std::vector<uint16_t> buffer(static_cast<size_t>(std::max(columns, 0)) * 3);
    for (int32_t y = 0; y < outImage->m_iRows && columns > 0; ++y) {
        const auto* retinexRow =
            retinexImage ? reinterpret_cast<const FPixelClass16SMono*>(retinexImage->GetRow(y)) : nullptr;
        ProcessOutputRow(reinterpret_cast<const FPixelClass48SRGB*>(colorImage->GetRow(y)),
                         reinterpret_cast<const FPixelClass16SMono*>(lightnessImage->GetRow(y)), retinexRow, columns,
                         detailStrength, toneLUT, retinexLUT, fixedSaturation, gammaLUT, cubeRoot, inverseCubeRoot,
                         buffer.data());
        cmsDoTransform(hTransform, buffer.data(), outImage->GetRow(y), static_cast<cmsUInt32Number>(columns));
        // Little CMS leaves the fourth byte alone; the display shows it as alpha.
        if (outType == FPixmap::PIXEL_32_BGRA)
            SetOpaque(reinterpret_cast<FPixelClass32BGRA*>(outImage->GetRow(y)), columns);
    }
}
