#include "toolkit/DecodedPicture.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

std::atomic<std::uint64_t> g_MaxPictureBytes{std::uint64_t{1} << 30};

// Taps of one output position of a separable resampling: weights in 1/2^14.
struct Taps {
  int first = 0;
  std::vector<int> weights;
};
constexpr int kWeightBits = 14;

std::vector<Taps> MakeTaps(int sourceSize, int targetSize) {
  std::vector<Taps> all(static_cast<size_t>(targetSize));
  const double scale = double(sourceSize) / targetSize;
  const double support = std::max(1.0, scale); // tent of the footprint when shrinking
  for (int i = 0; i < targetSize; ++i) {
    const double centre = (i + 0.5) * scale - 0.5;
    const int first = std::max(0, static_cast<int>(std::floor(centre - support)) + 1);
    const int last = std::min(sourceSize - 1, static_cast<int>(std::ceil(centre + support)) - 1);
    std::vector<double> w;
    double sum = 0;
    for (int s = first; s <= last; ++s) {
      const double weight = std::max(0.0, 1.0 - std::abs(s - centre) / support);
      w.push_back(weight);
      sum += weight;
    }
    Taps& taps = all[static_cast<size_t>(i)];
    if (sum <= 0) { // a footprint between two samples: take the nearest
      taps.first = std::clamp(static_cast<int>(std::lround(centre)), 0, sourceSize - 1);
      taps.weights = {1 << kWeightBits};
      continue;
    }
    taps.first = first;
    int given = 0;
    for (double weight : w) {
      taps.weights.push_back(static_cast<int>(std::lround(weight / sum * (1 << kWeightBits))));
      given += taps.weights.back();
    }
    // The rounding remainder goes to the largest tap, so flat areas stay flat.
    auto largest = std::max_element(taps.weights.begin(), taps.weights.end());
    *largest += (1 << kWeightBits) - given;
  }
  return all;
}

BYTE Normalise(int value) {
  return static_cast<BYTE>(std::clamp((value + (1 << (kWeightBits - 1))) >> kWeightBits, 0, 255));
}

} // namespace

std::uint64_t GetMaxPictureBytes() { return g_MaxPictureBytes.load(); }
void SetMaxPictureBytes(std::uint64_t bytes) { g_MaxPictureBytes.store(bytes); }

DecodedPicture AllocatePicture(std::int64_t width, std::int64_t height) {
  DecodedPicture picture;
  if (width <= 0 || height <= 0 || width > std::numeric_limits<std::int32_t>::max() ||
      height > std::numeric_limits<std::int32_t>::max()) {
    return picture;
  }
  const std::uint64_t bytes = std::uint64_t(width) * std::uint64_t(height) * 4;
  if (bytes > GetMaxPictureBytes() || bytes > std::numeric_limits<DWORD>::max()) {
    return picture;
  }
  picture.bits.reset(NewDibBits(static_cast<std::size_t>(bytes)));
  picture.width = static_cast<int>(width);
  picture.height = static_cast<int>(height);
  return picture;
}

DecodedPicture ResamplePicture(const DecodedPicture& source, int width, int height) {
  if (!source) {
    return {};
  }
  if (width == source.width && height == source.height) {
    DecodedPicture copy = AllocatePicture(width, height);
    if (copy) {
      std::memcpy(copy.bits.get(), source.bits.get(), source.ByteSize());
    }
    return copy;
  }
  DecodedPicture target = AllocatePicture(width, height);
  if (!target) {
    return target;
  }
  const std::vector<Taps> across = MakeTaps(source.width, width);
  const std::vector<Taps> down = MakeTaps(source.height, height);
  // Source rows resampled across, kept in a ring as long as the vertical taps
  // need them: each is resampled once, and memory stays at one tap window.
  std::size_t window = 1;
  for (const Taps& taps : down) {
    window = std::max(window, taps.weights.size());
  }
  const std::size_t rowInts = static_cast<std::size_t>(width) * 3;
  std::vector<int> ring(window * rowInts);
  std::vector<int> held(window, -1);
  auto ResampledRow = [&](int y) -> const int* {
    int* out = &ring[static_cast<std::size_t>(y) % window * rowInts];
    if (held[static_cast<std::size_t>(y) % window] == y) {
      return out;
    }
    const BYTE* in = source.Row(y);
    for (int x = 0; x < width; ++x) {
      const Taps& taps = across[static_cast<size_t>(x)];
      int sum[3] = {0, 0, 0};
      const BYTE* p = in + std::int64_t{taps.first} * 4;
      for (int w : taps.weights) {
        sum[0] += p[0] * w;
        sum[1] += p[1] * w;
        sum[2] += p[2] * w;
        p += 4;
      }
      out[3 * x] = Normalise(sum[0]);
      out[3 * x + 1] = Normalise(sum[1]);
      out[3 * x + 2] = Normalise(sum[2]);
    }
    held[static_cast<std::size_t>(y) % window] = y;
    return out;
  };
  std::vector<const int*> rows(window);
  for (int y = 0; y < height; ++y) {
    const Taps& taps = down[static_cast<size_t>(y)];
    for (size_t k = 0; k < taps.weights.size(); ++k) {
      rows[k] = ResampledRow(taps.first + static_cast<int>(k));
    }
    BYTE* out = target.Row(y);
    for (int x = 0; x < width; ++x) {
      int sum[3] = {0, 0, 0};
      for (size_t k = 0; k < taps.weights.size(); ++k) {
        const int* p = rows[k] + 3 * x;
        sum[0] += p[0] * taps.weights[k];
        sum[1] += p[1] * taps.weights[k];
        sum[2] += p[2] * taps.weights[k];
      }
      out[4 * x] = Normalise(sum[0]);
      out[4 * x + 1] = Normalise(sum[1]);
      out[4 * x + 2] = Normalise(sum[2]);
      out[4 * x + 3] = 0xFF;
    }
  }
  return target;
}

DecodedPicture ResamplePictureBilinear(const DecodedPicture& source, int width, int height) {
  if (!source) {
    return {};
  }
  DecodedPicture target = AllocatePicture(width, height);
  if (!target) {
    return target;
  }
  // Each target column (row) samples between a source column (row) and the
  // next, the next weighing weight / 256; pixel centres are lined up.
  struct Sample {
    int first, second, weight;
  };
  const auto samples = [](int sourceSize, int targetSize) {
    std::vector<Sample> all(static_cast<size_t>(targetSize));
    const double scale = double(sourceSize) / targetSize;
    for (int i = 0; i < targetSize; ++i) {
      const double at = std::clamp((i + 0.5) * scale - 0.5, 0.0, double(sourceSize - 1));
      const int first = static_cast<int>(at);
      all[static_cast<size_t>(i)] = {first, std::min(first + 1, sourceSize - 1),
                                     static_cast<int>(std::lround((at - first) * 256))};
    }
    return all;
  };
  const std::vector<Sample> across = samples(source.width, width);
  const std::vector<Sample> down = samples(source.height, height);
  for (int y = 0; y < height; ++y) {
    const Sample& row = down[static_cast<size_t>(y)];
    const BYTE* upper = source.Row(row.first);
    const BYTE* lower = source.Row(row.second);
    BYTE* out = target.Row(y);
    for (int x = 0; x < width; ++x, out += 4) {
      const Sample& column = across[static_cast<size_t>(x)];
      const BYTE* a = upper + 4 * column.first;
      const BYTE* b = upper + 4 * column.second;
      const BYTE* c = lower + 4 * column.first;
      const BYTE* d = lower + 4 * column.second;
      for (int k = 0; k < 3; ++k) {
        const int top = a[k] * (256 - column.weight) + b[k] * column.weight;
        const int bottom = c[k] * (256 - column.weight) + d[k] * column.weight;
        out[k] = static_cast<BYTE>((top * (256 - row.weight) + bottom * row.weight + 32768) >> 16);
      }
      out[3] = 0xFF;
    }
  }
  return target;
}

bool RotateFlipExchangesSize(int rotateFlipType) {
  return rotateFlipType == 1 || rotateFlipType == 3 || rotateFlipType == 5 || rotateFlipType == 7;
}

DecodedPicture RotateFlipPicture(const DecodedPicture& source, int rotateFlipType) {
  if (!source || rotateFlipType < 0 || rotateFlipType > 7) {
    return {};
  }
  const int w = source.width, h = source.height;
  const bool exchange = RotateFlipExchangesSize(rotateFlipType);
  DecodedPicture target = AllocatePicture(exchange ? h : w, exchange ? w : h);
  if (!target) {
    return target;
  }
  // The source pixel (column, row from the top) shown at target (x, y).
  auto sourceOf = [&](int x, int y, int& sx, int& sy) {
    switch (rotateFlipType) {
    case 0: sx = x, sy = y; break;
    case 1: sx = y, sy = h - 1 - x; break;
    case 2: sx = w - 1 - x, sy = h - 1 - y; break;
    case 3: sx = w - 1 - y, sy = x; break;
    case 4: sx = w - 1 - x, sy = y; break;
    case 5: sx = y, sy = x; break;
    case 6: sx = x, sy = h - 1 - y; break;
    default: sx = w - 1 - y, sy = h - 1 - x; break;
    }
  };
  // In tiles, so that the column walks of the quarter turns stay in the cache.
  constexpr int kTile = 64;
  for (int ty = 0; ty < target.height; ty += kTile) {
    for (int tx = 0; tx < target.width; tx += kTile) {
      const int yEnd = std::min(target.height, ty + kTile);
      const int xEnd = std::min(target.width, tx + kTile);
      for (int y = ty; y < yEnd; ++y) {
        std::uint32_t* out = reinterpret_cast<std::uint32_t*>(target.Row(y));
        for (int x = tx; x < xEnd; ++x) {
          int sx, sy;
          sourceOf(x, y, sx, sy);
          std::memcpy(&out[x], source.Row(sy) + std::int64_t{sx} * 4, 4);
        }
      }
    }
  }
  return target;
}

int RotateFlipTypeOfOrientation(int orientation) {
  static constexpr int kTypes[9] = {0, 0, 4, 2, 6, 5, 1, 7, 3};
  return orientation >= 1 && orientation <= 8 ? kTypes[orientation] : 0;
}
