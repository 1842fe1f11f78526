#include "toolkit/PictureColor.h"

#include "toolkit/PictureFileBytes.h"

#include <lcms2.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr std::uint64_t kMaxProfileBytes = 16u << 20;

struct ProfileCloser {
  void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using ProfilePtr = std::unique_ptr<void, ProfileCloser>;
struct TransformDeleter {
  void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using TransformPtr = std::unique_ptr<void, TransformDeleter>;

ProfilePtr OpenProfile(const FString& path) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, kMaxProfileBytes) || bytes.empty()) {
    return nullptr;
  }
  return ProfilePtr(cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size())));
}

bool IsColourPicture(const CET_Dib& dib) { return dib.GetBitCount() == 24 || dib.GetBitCount() == 32; }

// Rows of the record that its block really holds.
int HeldRows(const CET_Dib& dib) {
  const std::int64_t stride = DibRowBytes(dib.GetWidth(), dib.GetBitCount());
  return stride > 0 ? static_cast<int>(std::min<std::int64_t>(dib.GetHeight(), std::int64_t{dib.size} / stride)) : 0;
}

bool Warns(int mode, const BYTE* p, BYTE limit, bool above) {
  auto past = [&](BYTE v) { return above ? v > limit : v < limit; };
  const bool b = past(p[0]), g = past(p[1]), r = past(p[2]);
  switch (mode) {
  case CLIPWARN_ALL: return r && g && b;
  case CLIPWARN_ANY: return r || g || b;
  case CLIPWARN_RED: return r;
  case CLIPWARN_GREEN: return g;
  default: return b;
  }
}

void Paint(BYTE* p, COLORREF colour) {
  p[0] = GetBValue(colour);
  p[1] = GetGValue(colour);
  p[2] = GetRValue(colour);
}

} // namespace

CET_Dib* TransformDibColor(const CET_Dib* picture, const FString& sourceProfilePath,
                           const FString& destinationProfilePath) {
  if (!picture || !IsColourPicture(*picture)) {
    return nullptr;
  }
  const ProfilePtr source = OpenProfile(sourceProfilePath);
  const ProfilePtr destination = OpenProfile(destinationProfilePath);
  if (!source || !destination) {
    return nullptr;
  }
  const bool quads = picture->GetBitCount() == 32;
  const cmsUInt32Number format = quads ? TYPE_BGRA_8 : TYPE_BGR_8;
  const TransformPtr transform(cmsCreateTransform(source.get(), format, destination.get(), format, INTENT_PERCEPTUAL,
                                                  cmsFLAGS_HIGHRESPRECALC | (quads ? cmsFLAGS_COPY_ALPHA : 0)));
  if (!transform) {
    return nullptr;
  }
  auto copy = std::make_unique<CET_Dib>();
  copy->CopyFrom(picture);
  const cmsUInt32Number stride = static_cast<cmsUInt32Number>(DibRowBytes(picture->GetWidth(), picture->GetBitCount()));
  cmsDoTransformLineStride(transform.get(), picture->bits, copy->bits, static_cast<cmsUInt32Number>(picture->GetWidth()),
                           static_cast<cmsUInt32Number>(HeldRows(*picture)), stride, stride, 0, 0);
  return copy.release();
}

CET_Dib* MakeClipWarningDib(const CET_Dib* picture, const CET_Dib* base, int mode, BYTE high, BYTE low,
                            COLORREF highColour, COLORREF lowColour) {
  if (!picture || !IsColourPicture(*picture)) {
    return nullptr;
  }
  if (base && (base->GetWidth() != picture->GetWidth() || base->GetHeight() != picture->GetHeight() ||
               base->GetBitCount() != picture->GetBitCount())) {
    return nullptr;
  }
  auto copy = std::make_unique<CET_Dib>();
  copy->CopyFrom(base ? base : picture);
  if (mode < CLIPWARN_ALL || mode > CLIPWARN_BLUE) {
    return copy.release();
  }
  const int bpp = picture->GetBitCount() / 8;
  const std::int64_t stride = DibRowBytes(picture->GetWidth(), picture->GetBitCount());
  const int rows = std::min(HeldRows(*picture), HeldRows(*copy));
  for (int y = 0; y < rows; ++y) {
    const BYTE* in = picture->bits + y * stride;
    BYTE* out = copy->bits + y * stride;
    for (int x = 0; x < picture->GetWidth(); ++x, in += bpp, out += bpp) {
      if (Warns(mode, in, high, true)) {
        Paint(out, highColour);
      } else if (Warns(mode, in, low, false)) {
        Paint(out, lowColour);
      }
    }
  }
  return copy.release();
}
