#pragma once
// Colour transforms between ICC profile files, made with Little CMS once and
// shared: a transform is kept for each pair of profile contents and pixel
// format, and any number of threads may convert through it at once (it is
// made without Little CMS's one-pixel cache, the one thing that is not
// thread-safe). Qt-free.

#include "platform/core/Host.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform::core {

class ColorTransform {
public:
  ColorTransform(void* transform, PixelFormat format);
  ~ColorTransform();
  ColorTransform(const ColorTransform&) = delete;
  ColorTransform& operator=(const ColorTransform&) = delete;
  // Converts rows of width pixels (B, G, R or B, G, R, x; the fourth byte is
  // copied); source and destination may be the same memory.
  void Apply(const std::uint8_t* source, std::ptrdiff_t sourceStride, std::uint8_t* destination,
             std::ptrdiff_t destinationStride, int width, int rows) const;
  PixelFormat Format() const { return m_format; }

private:
  void* m_transform;
  PixelFormat m_format;
};

// The shared transform from the source profile to the destination profile
// (native paths; empty: sRGB) for Bgr24 or Bgrx32 pixels, with the
// perceptual intent. Null when both profiles have the same contents (nothing
// to convert) or when either cannot be read as a profile.
std::shared_ptr<const ColorTransform> CachedColorTransform(const std::u16string& sourceProfile,
                                                           const std::u16string& destinationProfile,
                                                           PixelFormat format);
// How many transforms the cache holds (for tests).
std::size_t CachedColorTransformCount();

} // namespace platform::core
