// A whole development (stages 1 to 4 through the engine) of the synthetic
// camera's 64 x 48 raw file whose camera-data values come from the input:
// the first byte picks the shot, each record of 7 bytes then sets one element
// or every element of a numeric entry (layout in support/FuzzSeedData.h).
// Whatever the values, the development ends, done or with an engine error.
#include "foundation/FException.h"
#include "support/FuzzSeedData.h"
#include "support/SyntheticDevelopment.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace {

using namespace testsupport;

constexpr size_t kRecordBytes = 7;
constexpr size_t kMostRecords = 64;

// The frames and the camera-data table of a shot, made once.
struct Shot {
    SyntheticRaw raw;
    std::vector<CalibrationEntry> table;
    std::vector<size_t> numeric;
};

const Shot& ShotOf(uint8_t first)
{
    static std::map<uint8_t, std::unique_ptr<Shot>> shots;
    std::unique_ptr<Shot>& shot = shots[first & 7];
    if (!shot) {
        const SyntheticOptions options = CamdataDevelopFuzzOptions(first);
        shot = std::make_unique<Shot>(Shot{MakeSyntheticRaw(options), SyntheticCalibration(options), {}});
        shot->numeric = CamdataDevelopFuzzEntries(shot->table);
    }
    return *shot;
}

double ValueOf(CalibrationType type, uint32_t bits)
{
    switch (type) {
    case CalibrationType::Int16: return int16_t(bits);
    case CalibrationType::UInt16: return uint16_t(bits);
    case CalibrationType::Int32: return int32_t(bits);
    case CalibrationType::UInt8: return uint8_t(bits);
    case CalibrationType::Float: return std::bit_cast<float>(bits);
    default: return bits;
    }
}

void Apply(std::vector<CalibrationEntry>& table, const std::vector<size_t>& numeric, const uint8_t* record)
{
    CalibrationEntry& entry = table[numeric[(record[0] | size_t(record[1]) << 8) % numeric.size()]];
    const uint32_t bits = uint32_t(record[3]) | uint32_t(record[4]) << 8 | uint32_t(record[5]) << 16 |
                          uint32_t(record[6]) << 24;
    const double value = ValueOf(entry.type, bits);
    const size_t element = record[2] % (entry.values.size() + 1);
    if (element == entry.values.size())
        std::fill(entry.values.begin(), entry.values.end(), value);
    else
        entry.values[element] = value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const Shot& shot = ShotOf(data[0]);
    std::vector<CalibrationEntry> table = shot.table;
    for (size_t i = 0; i < kMostRecords && 1 + (i + 1) * kRecordBytes <= size; ++i)
        Apply(table, shot.numeric, data + 1 + i * kRecordBytes);
    try {
        SyntheticDevelopment development(shot.raw, DevelopSettings{}, BuildCalibration(table));
        development.DevelopAll();
    } catch (const FException&) {
        // The camera data's container refused the table: nothing to develop.
    }
    return 0;
}
