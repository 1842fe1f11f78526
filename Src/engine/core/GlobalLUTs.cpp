#include "engine/core/GlobalLUTs.h"

#include "engine/core/CacheLock.h"
#include "foundation/FException.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t kTableSize = 65536;
constexpr uint32_t kFirstNegativeIndex = 61440; // input -4096

// 0.2^3 in double precision: one unit in the last place above the double
// nearest 0.008, so that the curve's offset is exactly the cube of its knee.
const double kCubeOffset = 0.2 * 0.2 * 0.2;

int16_t RoundHalfAwayToInt16(double value)
{
    const double rounded = std::round(value);
    return static_cast<int16_t>(std::clamp(rounded, -32768.0, 32767.0));
}

int16_t CubeRootEntry(uint32_t index)
{
    if (index < kFirstNegativeIndex)
        return static_cast<int16_t>(std::trunc(4096.0 * std::cbrt(index / 4096.0 + kCubeOffset) + 0.5));
    // Negative inputs: a parabola that meets the cube root at 0 with its value
    // (819.2) and slope, falling to 0 near -197.
    const double slope = (1.0 / 3.0) * std::pow(kCubeOffset, -2.0 / 3.0);
    const double input = static_cast<double>(index) - kTableSize;
    const double level = std::max(0.0, 0.5 * (819.2 + 4096.0 * (0.2 + slope * input / 4096.0)));
    return std::max<int16_t>(0, RoundHalfAwayToInt16(level * level / 819.2));
}

int16_t InverseCubeRootEntry(uint32_t index)
{
    if (index < 819) // the tangent of the cubic at 0.2, down to -98
        return RoundHalfAwayToInt16(4096.0 * 0.12 * (index / 4096.0 - 0.2));
    if (index < kFirstNegativeIndex) {
        const double x = index / 4096.0;
        return RoundHalfAwayToInt16(std::min(32767.0, 4096.0 * (x * x * x - kCubeOffset)));
    }
    return 0;
}

std::unique_ptr<FLUT16> BuildTable(int16_t (*entry)(uint32_t))
{
    auto table = std::make_unique<FLUT16>(kTableSize);
    for (uint32_t i = 0; i < kTableSize; ++i)
        table->m_pTable[i] = entry(i);
    return table;
}

bool UsableChannel(double strength, double normaliser)
{
    return std::isfinite(strength) && std::isfinite(normaliser) && strength > 0 && normaliser > 0;
}

// Exactly equal, NaN matching NaN: a NaN that equalled nothing would add a
// table to the cache on every call.
bool SameParameters(const FDoubleTriple& a, const FDoubleTriple& b)
{
    const auto same = [](double x, double y) { return x == y || (std::isnan(x) && std::isnan(y)); };
    return same(a.r, b.r) && same(a.g, b.g) && same(a.b, b.b);
}

uint32_t ChromaWeightTableSize(double step)
{
    const double f = std::trunc(6.2853 / step);
    for (uint32_t size = 512; size < 8192; size *= 2)
        if (f <= size)
            return size;
    return 8192;
}

// One channel of a chroma-weight table: a tanh soft limiter faded out by a
// raised cosine, odd around 0, indexed by a difference through the mask.
void FillChromaWeightChannel(int16_t* table, uint32_t size, double step, double strength, double normaliser)
{
    const int32_t half = static_cast<int32_t>(size / 2);
    if (!UsableChannel(strength, normaliser))
        return; // the table was created all zero
    for (int32_t k = 0; k < half; ++k) {
        const double angle = k * step;
        const double window = angle < 3.1416 ? (std::cos(angle) + 1.0) / 2.0 : 0.0;
        const double value = std::trunc(strength * std::tanh(k * normaliser / strength) * window + 0.5);
        table[k] = static_cast<int16_t>(std::clamp(value, -32767.0, 32767.0));
    }
    for (int32_t k = 1; k < half; ++k)
        table[size - k] = static_cast<int16_t>(-table[k]);
    table[half] = table[half + 1]; // entry -h repeats entry -h + 1
}

} // namespace

class FGlobalLUTsClass::Lock : public FCacheLock {
public:
    explicit Lock(FMutex& mutex) : FCacheLock(mutex, "FGlobalLUTsClass: error acquiring MUTEX") {}
};

FGlobalLUTsClass& FGlobalLUTsClass::Instance()
{
    static FGlobalLUTsClass instance;
    return instance;
}

const FLUT16& FGlobalLUTsClass::GetCubeRootLUT()
{
    Lock lock(m_Mutex);
    if (!m_pCubeRootLUT)
        m_pCubeRootLUT = BuildTable(CubeRootEntry);
    return *m_pCubeRootLUT;
}

const FLUT16& FGlobalLUTsClass::GetInverseCubeRootLUT()
{
    Lock lock(m_Mutex);
    if (!m_pInvCubeRootLUT)
        m_pInvCubeRootLUT = BuildTable(InverseCubeRootEntry);
    return *m_pInvCubeRootLUT;
}

const FLUT16RGB& FGlobalLUTsClass::GetChromaWeightLUT(const FDoubleTriple& strengths, const FDoubleTriple& normalisers)
{
    Lock lock(m_Mutex);
    for (const auto& entry : m_ChromaWeightLUTs)
        if (SameParameters(entry->strengths, strengths) && SameParameters(entry->normalisers, normalisers))
            return entry->table;

    double ratio = 0.0;
    for (int c = 0; c < 3; ++c)
        if (UsableChannel(strengths[c], normalisers[c]))
            ratio = std::max(ratio, strengths[c] / normalisers[c]);
    // Without a usable channel every entry is 0 and the size is the smallest.
    const double step = ratio > 0 ? 0.25 / ratio : 6.2853;
    const uint32_t size = ChromaWeightTableSize(step);

    auto entry = std::make_unique<ChromaWeightLUTEntry>();
    entry->strengths = strengths;
    entry->normalisers = normalisers;
    entry->table = FLUT16RGB(size);
    int16_t* channels[3] = {entry->table.m_pRed, entry->table.m_pGreen, entry->table.m_pBlue};
    for (int c = 0; c < 3; ++c)
        FillChromaWeightChannel(channels[c], size, step, strengths[c], normalisers[c]);
    m_ChromaWeightLUTs.push_back(std::move(entry));
    return m_ChromaWeightLUTs.back()->table;
}
