#include "engine/colour/TransformColor.h"

#include "engine/core/CacheLock.h"
#include "engine/core/GlobalLUTs.h"
#include "engine/core/RowBandLoop.h"
#include "foundation/FAssert.h"
#include "foundation/FException.h"
#include "foundation/FPath.h"
#include "foundation/FSCDiskWin.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Far above any RGB profile; a larger file is not one of ours.
constexpr std::streamoff kMaxProfileBytes = 16 << 20;
constexpr int32_t kDetailShift = 14;
// The Retinex gain is Q8: linear values times the gain stay below 2^23.
constexpr int64_t kRetinexLimit = 0x800000;
constexpr int64_t kComposeMinimumPixels = 4 * 65536;

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

// A table read with a value's low 32 bits cut down by the table's mask.
class TableView {
public:
    TableView(const int16_t* table, uint32_t mask) : m_pTable(table), m_iMask(mask) {}
    explicit TableView(const FLUT16& table) : TableView(table.m_pTable, table.m_iMask) {}
    int32_t operator[](int64_t value) const { return m_pTable[static_cast<uint32_t>(value) & m_iMask]; }

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

// The chain for tables of any size, one pixel at a time.
template <bool kWithRetinex>
void RunRowChain(const FPixelClass48SRGB* color, const FPixelClass16SMono* lightness,
                 const FPixelClass16SMono* retinex, int32_t pixelCount, int64_t k, const RowChainTables& tables,
                 const ColorMatrix3x3Fixed& saturation, uint16_t* out)
{
    // Local copies: the output's stores may alias the tables' 16-bit entries,
    // which would otherwise make every look-up reload its table.
    const uint32_t toneMask = tables.tone.m_iMask;
    const TableView toneR(tables.tone.m_pRed, toneMask), toneG(tables.tone.m_pGreen, toneMask),
        toneB(tables.tone.m_pBlue, toneMask);
    const TableView gains(tables.retinex), gamma(tables.gamma), cube(tables.cube), inverseCube(tables.inverseCube);
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

// The chain for tables of 65536 entries, which a development always has:
// every index is a value's low 16 bits. A row is run in short pieces, each in
// three passes: the look-ups up to the tone table into three planes, the
// saturation matrix over the planes in vector registers, and the gamma
// look-ups into the output. When a whole picture is converted, the tone
// tables are composed once with the cube-root table that the Retinex step
// ends with, which spares one look-up per channel: tone[cube[i]] is a table
// of i like any other.
class FullTableRowChain {
public:
    FullTableRowChain(const RowChainTables& tables, const ColorMatrix3x3Fixed& saturation, int64_t detailStrength,
                      bool composeToneWithCubeRoot)
        : m_Tables(tables), m_iDetailStrength(detailStrength), m_Saturation(saturation),
          m_bNarrowMatrix(FitsNarrowMatrix(saturation))
    {
        for (int c = 0; c < 3; ++c)
            m_pTone[c] = c == 0 ? tables.tone.m_pRed : (c == 1 ? tables.tone.m_pGreen : tables.tone.m_pBlue);
        if (composeToneWithCubeRoot) {
            m_ToneOfCube.resize(3 * kEntries);
            for (int c = 0; c < 3; ++c)
                for (uint32_t i = 0; i < kEntries; ++i)
                    m_ToneOfCube[c * kEntries + i] = m_pTone[c][static_cast<uint16_t>(tables.cube.m_pTable[i])];
        }
        if (m_bNarrowMatrix) {
            for (int i = 0; i < 9; ++i)
                m_aNarrowElements[i] = static_cast<int16_t>(saturation.m[i]);
        }
    }

    // Any number of threads may run rows at once: the planes are each call's own.
    void Run(const FPixelClass48SRGB* color, const FPixelClass16SMono* lightness, const FPixelClass16SMono* retinex,
             int32_t pixelCount, uint16_t* out) const
    {
        Planes planes;
        for (int32_t start = 0; start < pixelCount; start += kPiece) {
            const int32_t count = std::min(kPiece, pixelCount - start);
            if (retinex && !m_ToneOfCube.empty())
                ToneWithRetinex<true>(color + start, lightness + start, retinex + start, count, planes);
            else if (retinex)
                ToneWithRetinex<false>(color + start, lightness + start, retinex + start, count, planes);
            else
                Tone(color + start, lightness + start, count, planes);
            if (m_bNarrowMatrix)
                SaturateNarrow(count, planes);
            else
                SaturateWide(count, planes);
            Gamma(count, planes, out + 3 * size_t(start));
        }
    }

private:
    static constexpr uint32_t kEntries = 65536;
    // Short enough that the planes stay in the first-level cache beside the tables' hot entries.
    static constexpr int32_t kPiece = 256;

    // A piece of a row after the tone tables and after the saturation matrix.
    struct Planes {
        int16_t toned[3][kPiece];
        uint16_t saturated[3][kPiece];
    };

    // The matrix in 16-bit elements whose sums of products with any 16-bit
    // values stay inside 32 bits, as the vector pass computes them.
    static bool FitsNarrowMatrix(const ColorMatrix3x3Fixed& m)
    {
        if (m.iFractionBits < 1 || m.iFractionBits > 15)
            return false;
        for (int row = 0; row < 3; ++row) {
            int64_t bound = int64_t{1} << (m.iFractionBits - 1);
            for (int c = 0; c < 3; ++c) {
                const int32_t e = m.m[3 * row + c];
                if (e < INT16_MIN || e > INT16_MAX)
                    return false;
                bound += int64_t{32768} * std::abs(e);
            }
            if (bound > INT32_MAX)
                return false;
        }
        return true;
    }

    // Only the low 16 bits of a sum reach a table, so the sums wrap freely
    // in unsigned arithmetic.
    uint32_t Detail(const FPixelClass16SMono& lightness) const
    {
        return static_cast<uint32_t>((m_iDetailStrength * lightness.v) >> kDetailShift);
    }
    static uint16_t Index(int16_t value, uint32_t detail) { return static_cast<uint16_t>(value + detail); }

    void Tone(const FPixelClass48SRGB* color, const FPixelClass16SMono* lightness, int32_t count,
              Planes& planes) const
    {
        const int16_t* const toneR = m_pTone[0];
        const int16_t* const toneG = m_pTone[1];
        const int16_t* const toneB = m_pTone[2];
        for (int32_t x = 0; x < count; ++x) {
            const uint32_t detail = Detail(lightness[x]);
            planes.toned[0][x] = toneR[Index(color[x].r, detail)];
            planes.toned[1][x] = toneG[Index(color[x].g, detail)];
            planes.toned[2][x] = toneB[Index(color[x].b, detail)];
        }
    }

    // The gain applied in the linear domain: the product of two 16-bit
    // values fits 32 bits.
    template <bool kComposed>
    void ToneWithRetinex(const FPixelClass48SRGB* color, const FPixelClass16SMono* lightness,
                         const FPixelClass16SMono* retinex, int32_t count, Planes& planes) const
    {
        const int16_t* const gains = m_Tables.retinex.m_pTable;
        const int16_t* const inverseCube = m_Tables.inverseCube.m_pTable;
        const int16_t* const cube = m_Tables.cube.m_pTable;
        const int16_t* tones[3];
        for (int c = 0; c < 3; ++c)
            tones[c] = kComposed ? m_ToneOfCube.data() + c * kEntries : m_pTone[c];
        const auto tone = [&](int c, uint16_t value, int32_t gain) -> int16_t {
            // Every linear value from the limit up reads entry 0x7FFF, as the
            // limit less one does.
            const int32_t linear = std::min<int32_t>(inverseCube[value] * gain, kRetinexLimit - 1);
            const uint16_t index = static_cast<uint16_t>(linear >> 8);
            return kComposed ? tones[c][index] : tones[c][static_cast<uint16_t>(cube[index])];
        };
        for (int32_t x = 0; x < count; ++x) {
            const uint32_t detail = Detail(lightness[x]);
            const int32_t gain = gains[static_cast<uint16_t>(retinex[x].v)];
            planes.toned[0][x] = tone(0, Index(color[x].r, detail), gain);
            planes.toned[1][x] = tone(1, Index(color[x].g, detail), gain);
            planes.toned[2][x] = tone(2, Index(color[x].b, detail), gain);
        }
    }

    void SaturateNarrow(int32_t count, Planes& planes) const
    {
        const int16_t* const e = m_aNarrowElements;
        const int32_t shift = m_Saturation.iFractionBits;
        const int32_t half = 1 << (shift - 1);
        int32_t x = 0;
#if defined(__SSE2__)
        x = SaturateNarrowSSE2(count, planes);
#endif
        for (int row = 0; row < 3; ++row) {
            const int16_t e0 = e[3 * row], e1 = e[3 * row + 1], e2 = e[3 * row + 2];
            uint16_t* const result = planes.saturated[row];
            for (int32_t i = x; i < count; ++i)
                result[i] = static_cast<uint16_t>((e0 * planes.toned[0][i] + e1 * planes.toned[1][i] +
                                                   e2 * planes.toned[2][i] + half) >> shift);
        }
    }

#if defined(__SSE2__)
    // Eight pixels at a time: each row's sum is two multiply-adds of 16-bit
    // pairs, (t0, t1) . (e0, e1) and (t2, 1) . (e2, half), exact in 32 bits by
    // FitsNarrowMatrix; the result's low 16 bits are bits shift .. shift + 15
    // of the sum. Returns the pixels done.
    int32_t SaturateNarrowSSE2(int32_t count, Planes& planes) const
    {
        const int32_t shift = m_Saturation.iFractionBits;
        const int16_t half = static_cast<int16_t>(1 << (shift - 1));
        const __m128i up = _mm_cvtsi32_si128(16 - shift);
        const __m128i ones = _mm_set1_epi16(1);
        __m128i pairs01[3], pairs2h[3];
        for (int row = 0; row < 3; ++row) {
            const int16_t* e = m_aNarrowElements + 3 * row;
            pairs01[row] = _mm_set_epi16(e[1], e[0], e[1], e[0], e[1], e[0], e[1], e[0]);
            pairs2h[row] = _mm_set_epi16(half, e[2], half, e[2], half, e[2], half, e[2]);
        }
        int32_t x = 0;
        for (; x + 8 <= count; x += 8) {
            const __m128i t0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&planes.toned[0][x]));
            const __m128i t1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&planes.toned[1][x]));
            const __m128i t2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&planes.toned[2][x]));
            const __m128i low01 = _mm_unpacklo_epi16(t0, t1), high01 = _mm_unpackhi_epi16(t0, t1);
            const __m128i low2h = _mm_unpacklo_epi16(t2, ones), high2h = _mm_unpackhi_epi16(t2, ones);
            for (int row = 0; row < 3; ++row) {
                const __m128i low =
                    _mm_add_epi32(_mm_madd_epi16(low01, pairs01[row]), _mm_madd_epi16(low2h, pairs2h[row]));
                const __m128i high =
                    _mm_add_epi32(_mm_madd_epi16(high01, pairs01[row]), _mm_madd_epi16(high2h, pairs2h[row]));
                const __m128i packed = _mm_packs_epi32(_mm_srai_epi32(_mm_sll_epi32(low, up), 16),
                                                       _mm_srai_epi32(_mm_sll_epi32(high, up), 16));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(&planes.saturated[row][x]), packed);
            }
        }
        return x;
    }
#endif
    void SaturateWide(int32_t count, Planes& planes) const
    {
        const FixedMatrix matrix(m_Saturation);
        for (int32_t x = 0; x < count; ++x) {
            const int64_t toned[3] = {planes.toned[0][x], planes.toned[1][x], planes.toned[2][x]};
            for (int c = 0; c < 3; ++c)
                planes.saturated[c][x] = static_cast<uint16_t>(matrix.Row(c, toned));
        }
    }

    void Gamma(int32_t count, const Planes& planes, uint16_t* out) const
    {
        const int16_t* const gamma = m_Tables.gamma.m_pTable;
        for (int32_t x = 0; x < count; ++x)
            for (int c = 0; c < 3; ++c)
                out[3 * x + c] = static_cast<uint16_t>(gamma[planes.saturated[c][x]]);
    }

    const RowChainTables m_Tables;
    const int64_t m_iDetailStrength;
    const ColorMatrix3x3Fixed m_Saturation;
    const bool m_bNarrowMatrix;
    int16_t m_aNarrowElements[9] = {};
    const int16_t* m_pTone[3] = {};
    std::vector<int16_t> m_ToneOfCube;
};

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

class FGlobalTransformClass::Lock : public FCacheLock {
public:
    explicit Lock(FMutex& mutex) : FCacheLock(mutex, "FGlobalTransformClass: error acquiring MUTEX") {}
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
    if (tables.AllFull64K())
        FullTableRowChain(tables, saturation, detailStrengthQ14, false).Run(color, lightness, retinex, pixelCount, out);
    else if (retinex)
        RunRowChain<true>(color, lightness, retinex, pixelCount, detailStrengthQ14, tables, saturation, out);
    else
        RunRowChain<false>(color, lightness, retinex, pixelCount, detailStrengthQ14, tables, saturation, out);
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

    const RowChainTables tables{toneLUT, retinexLUT, gammaLUT, GetCubeRootLUT(), GetInverseCubeRootLUT()};
    const int32_t columns = colorImage->m_iColumns;
    const int32_t detailStrength = TruncateToInt((sharpness + 1) * 16384);
    // Composing the tone tables costs about as much as converting this many
    // pixels, which a development's pictures far exceed.
    const bool compose = retinexImage && int64_t{columns} * outImage->m_iRows >= kComposeMinimumPixels;
    std::optional<FullTableRowChain> fullTableChain;
    if (tables.AllFull64K())
        fullTableChain.emplace(tables, fixedSaturation, detailStrength, compose);
    // The rows are independent: they run in bands, each with a row buffer of its own.
    const int32_t rows = columns > 0 ? outImage->m_iRows : 0;
    RunInRowBands(static_cast<uint32_t>(std::max(rows, 0)), [&](uint32_t firstRow, uint32_t lastRow) {
        std::vector<uint16_t> buffer(static_cast<size_t>(columns) * 3);
        for (int32_t y = int32_t(firstRow); y <= int32_t(lastRow); ++y) {
            const auto* colorRow = reinterpret_cast<const FPixelClass48SRGB*>(colorImage->GetRow(y));
            const auto* lightnessRow = reinterpret_cast<const FPixelClass16SMono*>(lightnessImage->GetRow(y));
            const auto* retinexRow =
                retinexImage ? reinterpret_cast<const FPixelClass16SMono*>(retinexImage->GetRow(y)) : nullptr;
            if (fullTableChain)
                fullTableChain->Run(colorRow, lightnessRow, retinexRow, columns, buffer.data());
            else
                ProcessOutputRow(colorRow, lightnessRow, retinexRow, columns, detailStrength, toneLUT, retinexLUT,
                                 fixedSaturation, gammaLUT, tables.cube, tables.inverseCube, buffer.data());
            cmsDoTransform(hTransform, buffer.data(), outImage->GetRow(y), static_cast<cmsUInt32Number>(columns));
            // Little CMS leaves the fourth byte alone; the display shows it as alpha.
            if (outType == FPixmap::PIXEL_32_BGRA)
                SetOpaque(reinterpret_cast<FPixelClass32BGRA*>(outImage->GetRow(y)), columns);
        }
    }, RowBandCountFor(columns, rows));
}
