#include "toolkit/CET_ImageFilter.h"

#include "toolkit/CET_Dib.h"
#include "toolkit/CET_FilterData.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

// The five HSV tables (integer division truncates throughout).
struct HsvTables {
  int chroma[256][256];  // [s][v] = s * v / 255 raised to the next whole number
  int ramp[360][258];    // [h][c] = the rising or falling part of chroma c at hue h
  int saturation[256][256]; // [max][min]
  int rising[256][256];  // [d][r] = d * 60 / r
  int falling[256][256]; // [d][r] = d * 59 / r

  HsvTables() {
    for (int s = 0; s < 256; ++s) {
      for (int v = 0; v < 256; ++v) {
        chroma[s][v] = (s * v + 254) / 255;
      }
    }
    for (int h = 0; h < 360; ++h) {
      const int k = h <= 60 ? h : h < 120 ? 120 - h : h <= 180 ? h - 120 : h < 240 ? 240 - h : h <= 300 ? h - 240 : 359 - h;
      for (int c = 0; c < 258; ++c) {
        ramp[h][c] = (k * c + 59) / 60;
      }
    }
    for (int a = 0; a < 256; ++a) {
      for (int b = 0; b < 256; ++b) {
        saturation[a][b] = a == 0 ? 0 : std::clamp((a - b) * 255 / a, 0, 255);
        rising[a][b] = b == 0 ? 0 : a * 60 / b;
        falling[a][b] = b == 0 ? 0 : a * 59 / b;
      }
    }
  }
};

const HsvTables& Tables() {
  static const std::unique_ptr<const HsvTables> tables = std::make_unique<HsvTables>();
  return *tables;
}

BYTE ClampByte(int v) { return static_cast<BYTE>(std::clamp(v, 0, 255)); }
BYTE ClampByte64(std::int64_t v) { return static_cast<BYTE>(std::clamp<std::int64_t>(v, 0, 255)); }

void ToHsv(const HsvTables& t, int r, int g, int b, int& hue, int& sat, int& value) {
  if (r == g && g == b) {
    hue = 0;
    sat = 0;
    value = r;
    return;
  }
  int largest, smallest;
  if (g < b && b < r) {
    hue = 360 - t.falling[b - g][r - g];
    largest = r, smallest = g;
  } else if (b <= g && g <= r && b < r) {
    hue = t.rising[g - b][r - b];
    largest = r, smallest = b;
  } else if (b < r && r < g) {
    hue = 120 - t.falling[r - b][g - b];
    largest = g, smallest = b;
  } else if (r <= b && b <= g && r < g) {
    hue = 120 + t.rising[b - r][g - r];
    largest = g, smallest = r;
  } else if (r < g && g < b) {
    hue = 240 - t.falling[g - r][b - r];
    largest = b, smallest = r;
  } else {
    hue = 240 + t.rising[r - g][b - g];
    largest = b, smallest = g;
  }
  // A red just past magenta can come out as 360: the same hue as 0, and the
  // one the ramp table holds.
  if (hue >= 360) {
    hue -= 360;
  }
  value = largest;
  sat = t.saturation[largest][smallest];
}

void ToRgb(const HsvTables& t, int hue, int sat, int value, int& r, int& g, int& b) {
  if (sat == 0) {
    r = g = b = value;
    return;
  }
  const int c = t.chroma[sat][value];
  const int low = value - c;
  const int ramp = t.ramp[hue][c];
  if (hue <= 60) {
    r = value, g = low + ramp, b = low;
  } else if (hue < 120) {
    r = low + ramp, g = value, b = low;
  } else if (hue <= 180) {
    r = low, g = value, b = low + ramp;
  } else if (hue < 240) {
    r = low, g = low + ramp, b = value;
  } else if (hue <= 300) {
    r = low + ramp, g = low, b = value;
  } else {
    r = value, g = low, b = low + ramp;
  }
}

// x + 0.4999999, truncated toward zero.
int Near(double x) { return static_cast<int>(x + 0.4999999); }

using ByteTable = std::array<BYTE, 256>;

struct FilterPlan {
  bool tone = false, hsv = false, levels = false, saturation = false, colour = false;
  ByteTable toneTable{}, levelTable{}, satTable{}, redTable{}, greenTable{}, blueTable{};
};

FilterPlan MakePlan(const CET_FilterData& s) {
  FilterPlan plan;
  plan.tone = s.HasExposure() || s.HasContrast();
  plan.hsv = s.HasSaturation() || s.HasHighlight() || s.HasShadow();
  plan.levels = s.HasHighlight() || s.HasShadow();
  plan.saturation = s.HasSaturation();
  plan.colour = s.HasColorAdjust();

  const double exposure = (s.m_nExposure * 0.5 + 200) / 200;
  const double contrast = (s.m_nContrast * 0.5 + 200) / 200;
  const double saturation = (s.m_nSaturation + 200.0) / 200;
  const int shadow = s.m_nShadow > 0 ? s.m_nShadow / 4 : s.m_nShadow;
  const int highlight = s.m_nHighlight < 0 ? s.m_nHighlight / 4 : s.m_nHighlight;
  constexpr double kCube = 255.0 * 255.0 * 255.0;
  const double kShadow = shadow / kCube;
  const double kHighlight = highlight / kCube;
  for (int i = 0; i < 256; ++i) {
    int t = i;
    if (s.HasExposure()) {
      t = std::clamp(Near(t * exposure), 0, 255);
    }
    if (s.HasContrast()) {
      t = std::clamp(static_cast<int>((t - 128) * contrast + 0.4999999 + 128), 0, 255);
    }
    plan.toneTable[i] = static_cast<BYTE>(t);

    t = i;
    if (s.HasHighlight()) {
      t = std::clamp(t + Near(double(i) * i * i * kHighlight), 0, 255);
    }
    if (s.HasShadow()) {
      const double room = 255 - t;
      t = std::clamp(t + Near(room * room * room * kShadow), 0, 255);
    }
    plan.levelTable[i] = static_cast<BYTE>(t);

    plan.satTable[i] = ClampByte(Near(i * saturation));
    plan.redTable[i] = ClampByte64(std::int64_t{i} - s.m_nCyan);
    plan.greenTable[i] = ClampByte64(std::int64_t{i} - s.m_nMagenta);
    plan.blueTable[i] = ClampByte64(std::int64_t{i} - s.m_nYellow);
  }
  return plan;
}

void FilterPixel(const HsvTables& tables, const FilterPlan& plan, BYTE* p) {
  if (plan.tone) {
    p[0] = plan.toneTable[p[0]];
    p[1] = plan.toneTable[p[1]];
    p[2] = plan.toneTable[p[2]];
  }
  if (plan.hsv) {
    int hue, sat, value;
    ToHsv(tables, p[2], p[1], p[0], hue, sat, value);
    if (plan.levels) {
      value = plan.levelTable[value];
    }
    if (plan.saturation) {
      sat = plan.satTable[sat];
    }
    int r, g, b;
    ToRgb(tables, hue, sat, value, r, g, b);
    p[0] = static_cast<BYTE>(b);
    p[1] = static_cast<BYTE>(g);
    p[2] = static_cast<BYTE>(r);
  }
  if (plan.colour) {
    p[0] = plan.blueTable[p[0]];
    p[1] = plan.greenTable[p[1]];
    p[2] = plan.redTable[p[2]];
  }
}

// The rows of a picture record as the filters walk them: padded to 4 bytes,
// and only as many as its pixel block really holds.
struct RowLayout {
  int width = 0;
  int bytesPerPixel = 0;
  std::int64_t stride = 0;
  int rows = 0;
};

RowLayout LayoutOf(const CET_Dib& dib) {
  RowLayout layout;
  layout.width = std::max(dib.GetWidth(), 0);
  layout.bytesPerPixel = dib.GetBitCount() / 8;
  layout.stride = DibRowBytes(layout.width, dib.GetBitCount());
  const std::int64_t held = layout.stride > 0 ? std::int64_t{dib.size} / layout.stride : 0;
  layout.rows = static_cast<int>(std::min<std::int64_t>(dib.GetHeight(), held));
  return layout;
}

bool IsFilterable(const CET_Dib& dib) { return dib.GetBitCount() == 24 || dib.GetBitCount() == 32; }

// Reports through the callback; false when it asked to cancel.
bool Report(FilterProgressCallback callback, void* user, int percentage) {
  return !callback || callback(percentage, user) != 0;
}

} // namespace

void CET_ImageFilter::BuildFilterTables() { Tables(); }

void CET_ImageFilter::RGBToHSV(BYTE red, BYTE green, BYTE blue, int& hue, int& saturation, int& value) {
  ToHsv(Tables(), red, green, blue, hue, saturation, value);
}

void CET_ImageFilter::HSVToRGB(BYTE* red, BYTE* green, BYTE* blue, int hue, int saturation, int value) {
  hue %= 360;
  if (hue < 0) {
    hue += 360;
  }
  int r, g, b;
  ToRgb(Tables(), hue, std::clamp(saturation, 0, 255), std::clamp(value, 0, 255), r, g, b);
  if (red) {
    *red = ClampByte(r);
  }
  if (green) {
    *green = ClampByte(g);
  }
  if (blue) {
    *blue = ClampByte(b);
  }
}

CET_Dib* CET_ImageFilter::FilterDib(const CET_Dib* picture, const CET_FilterData* settings,
                                     FilterProgressCallback callback, void* user) {
  if (!picture) {
    return nullptr;
  }
  auto copy = std::make_unique<CET_Dib>();
  copy->CopyFrom(picture);
  if (!IsFilterable(*copy) || !settings || !settings->IsSet()) {
    return copy.release();
  }
  const FilterPlan plan = MakePlan(*settings);
  const HsvTables& tables = Tables();
  const bool sharpenFollows = settings->HasSharpness();
  const bool anyPixelWork = plan.tone || plan.hsv || plan.colour;

  if (anyPixelWork) {
    const RowLayout layout = LayoutOf(*copy);
    // Reports end below 100 (or below 50 when sharpening takes the second half).
    const std::int64_t pixels = std::int64_t{layout.width} * layout.rows;
    const std::int64_t step = std::max<std::int64_t>(1, pixels / (sharpenFollows ? 50 : 100));
    std::int64_t done = 0, lastReport = 0;
    int percentage = 0;
    for (int y = 0; y < layout.rows; ++y) {
      BYTE* p = copy->bits + y * layout.stride;
      for (int x = 0; x < layout.width; ++x, p += layout.bytesPerPixel) {
        FilterPixel(tables, plan, p);
        if (++done - lastReport > step) {
          lastReport = done;
          if (!Report(callback, user, ++percentage)) {
            return nullptr;
          }
        }
      }
    }
  }

  if (sharpenFollows) {
    return SharpenDib(copy.get(), settings->m_nSharpness, callback, user, anyPixelWork ? 1 : 0);
  }
  return Report(callback, user, 100) ? copy.release() : nullptr;
}

CET_Dib* CET_ImageFilter::SharpenDib(const CET_Dib* picture, int sharpness, FilterProgressCallback callback,
                                      void* user, int continued) {
  if (!picture) {
    return nullptr;
  }
  auto result = std::make_unique<CET_Dib>();
  result->CopyFrom(picture);
  if (!IsFilterable(*result)) {
    return result.release();
  }
  // 64-bit, so no sharpness can overflow the difference term.
  const std::int64_t amount = static_cast<std::int64_t>(sharpness * 2.56);
  std::vector<BYTE> sharp(256 * 256);
  for (int i = 0; i < 256; ++i) {
    for (int j = 0; j < 256; ++j) {
      const std::int64_t v = (((i - j) * amount) >> 8) + i;
      sharp[i * 256 + j] = static_cast<BYTE>(std::clamp<std::int64_t>(v, 0, 255));
    }
  }

  const RowLayout layout = LayoutOf(*result);
  // Reports end below 100: a step of rows is at least one row.
  const std::int64_t step = std::max(1, layout.rows / (continued ? 50 : 100));
  int percentage = 0;
  if (continued) {
    percentage = 50;
    if (!Report(callback, user, percentage)) {
      return nullptr;
    }
  }
  const BYTE* source = picture->bits;
  const std::int64_t stride = layout.stride;
  const int bpp = layout.bytesPerPixel;
  int lastReport = 0;
  for (int y = 1; y < layout.rows - 1; ++y) {
    const BYTE* up = source + (y - 1) * stride;
    const BYTE* centre = source + y * stride;
    const BYTE* down = source + (y + 1) * stride;
    BYTE* out = result->bits + y * stride;
    for (int x = 1; x < layout.width - 1; ++x) {
      const std::int64_t o = std::int64_t{x} * bpp;
      for (int k = 0; k < 3; ++k) {
        const int around = (up[o + k] + down[o + k] + centre[o - bpp + k] + centre[o + bpp + k]) / 4;
        out[o + k] = sharp[centre[o + k] * 256 + around];
      }
    }
    if (y - lastReport > step) {
      lastReport = y;
      if (!Report(callback, user, ++percentage)) {
        return nullptr;
      }
    }
  }
  return Report(callback, user, 100) ? result.release() : nullptr;
}
