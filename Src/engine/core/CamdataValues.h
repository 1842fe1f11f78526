#pragma once
// Camera data comes from the file, so its values are hostile input. Every
// value the engine takes from it into integer or fixed-point arithmetic goes
// through CheckedCamdataValue: a value that is not a finite number, or lies
// outside the range that makes sense for its quantity, makes the entry
// defective, and the stage treats a defective entry as it treats a missing
// one (its default, or no correction). The ranges refuse only what no camera
// writes, and they are narrow enough that no product a stage forms of such
// values can overflow, divide by zero or empty a list that is indexed.
#include "foundation/FValueTypes.h"

#include <cstdint>

struct CamdataRange {
    double lo;
    double hi;
    // NaN is never held.
    bool Holds(double value) const { return value >= lo && value <= hi; }
    bool Holds(const FDoubleTriple& v) const { return Holds(v.r) && Holds(v.g) && Holds(v.b); }
};

// The ranges, by quantity.
inline constexpr CamdataRange kCamdataIso{1.0, 1048576.0};           // CaptureISO, SensorISO
inline constexpr CamdataRange kCamdataFrameCount{0.0, 65535.0};      // BulbFrameCount
// Matrix and vector elements, coefficients, counts and offsets, strengths and weights.
inline constexpr CamdataRange kCamdataCoefficient{-65536.0, 65536.0};
inline constexpr CamdataRange kCamdataGainFactor{1.0 / 1024.0, 1024.0}; // gains that multiply the picture
inline constexpr CamdataRange kCamdataShift{0.0, 31.0};              // shifts of 32-bit sums
inline constexpr CamdataRange kCamdataIterations{0.0, 64.0};         // passes of a filter
inline constexpr CamdataRange kCamdataFilterRadius{0.0, 63.0};       // BilateralFilterRadius
inline constexpr CamdataRange kCamdataByte{0.0, 255.0};              // byte thresholds
inline constexpr CamdataRange kCamdataContrast{-2.0, 2.0};           // contrast compensations

// The value as T (an integer type truncates toward zero) when the range holds
// it, else fallback. The range must lie inside T's.
template <class T>
T CheckedCamdataValue(double value, const CamdataRange& range, T fallback)
{
    return range.Holds(value) ? static_cast<T>(value) : fallback;
}

// A triple is defective when any of its values is.
inline FDoubleTriple CheckedCamdataValue(const FDoubleTriple& value, const CamdataRange& range,
                                         const FDoubleTriple& fallback)
{
    return range.Holds(value) ? value : fallback;
}
