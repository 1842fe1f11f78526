// Image colour management: colour spaces and ICM modes of DCs, the monitor
// profile, and the shared cache of Little CMS transforms that converts the
// pixels of pictures drawn with ICM on.

#include "platform/core/ColorTransforms.h"
#include "platform/core/Gdi.h"

#include "foundation/FPath.h"

#include <lcms2.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <map>
#include <sys/stat.h>

namespace platform::core {
namespace {

// Profiles larger than this are not read (real ones are a few kilobytes).
constexpr std::streamoff kMaxProfileBytes = 16 << 20;
// Transforms kept; the oldest goes first.
constexpr std::size_t kMaxTransforms = 32;

std::mutex& CacheMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

struct ProfileFile {
  off_t size = -1;
  std::int64_t modified = 0;
  std::string bytes;
};

// The bytes of a profile file, read again only when the file changes; the
// empty text stands for the built-in sRGB profile. False when unreadable.
bool ProfileBytes(const std::u16string& path, std::string& bytes) {
  if (path.empty()) {
    bytes.clear();
    return true;
  }
  std::string native;
  if (!PathToNative(FString(std::u16string_view(path)), native)) return false;
  struct stat info {};
  if (::stat(native.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0 ||
      info.st_size > kMaxProfileBytes) {
    return false;
  }
  static auto* files = new std::map<std::string, ProfileFile>;
  const std::int64_t modified = std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
  ProfileFile& file = (*files)[native];
  if (file.size != info.st_size || file.modified != modified) {
    std::ifstream in(native, std::ios::binary);
    std::string data(static_cast<std::size_t>(info.st_size), '\0');
    if (!in.read(data.data(), static_cast<std::streamsize>(data.size()))) {
      files->erase(native);
      return false;
    }
    file = {info.st_size, modified, std::move(data)};
  }
  bytes = file.bytes;
  return true;
}

cmsHPROFILE OpenProfile(const std::string& bytes) {
  if (bytes.empty()) return cmsCreate_sRGBProfile();
  return cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size()));
}

struct TransformKey {
  std::string source;
  std::string destination;
  PixelFormat format;
  bool operator<(const TransformKey& o) const {
    if (format != o.format) return format < o.format;
    if (source != o.source) return source < o.source;
    return destination < o.destination;
  }
};

struct TransformCache {
  std::map<TransformKey, std::shared_ptr<const ColorTransform>> transforms;
  std::deque<TransformKey> order;
};

TransformCache& Cache() {
  static auto* cache = new TransformCache;
  return *cache;
}

std::shared_ptr<const ColorTransform> MakeTransform(const TransformKey& key) {
  cmsHPROFILE source = OpenProfile(key.source);
  cmsHPROFILE destination = OpenProfile(key.destination);
  cmsHTRANSFORM transform = nullptr;
  if (source && destination) {
    const bool quads = key.format == PixelFormat::Bgrx32;
    const cmsUInt32Number type = quads ? TYPE_BGRA_8 : TYPE_BGR_8;
    transform = cmsCreateTransform(source, type, destination, type, INTENT_PERCEPTUAL,
                                   cmsFLAGS_NOCACHE | (quads ? cmsFLAGS_COPY_ALPHA : 0));
  }
  if (source) cmsCloseProfile(source);
  if (destination) cmsCloseProfile(destination);
  return transform ? std::make_shared<const ColorTransform>(transform, key.format) : nullptr;
}

std::mutex& MonitorMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}
std::u16string& Monitor() {
  static auto* path = new std::u16string;
  return *path;
}

} // namespace

ColorTransform::ColorTransform(void* transform, PixelFormat format) : m_transform(transform), m_format(format) {}
ColorTransform::~ColorTransform() { cmsDeleteTransform(m_transform); }

void ColorTransform::Apply(const std::uint8_t* source, std::ptrdiff_t sourceStride, std::uint8_t* destination,
                           std::ptrdiff_t destinationStride, int width, int rows) const {
  if (width <= 0 || rows <= 0) return;
  for (int y = 0; y < rows; ++y) {
    cmsDoTransform(m_transform, source + y * sourceStride, destination + y * destinationStride,
                   static_cast<cmsUInt32Number>(width));
  }
}

std::shared_ptr<const ColorTransform> CachedColorTransform(const std::u16string& sourceProfile,
                                                           const std::u16string& destinationProfile,
                                                           PixelFormat format) {
  if (format != PixelFormat::Bgr24 && format != PixelFormat::Bgrx32) return nullptr;
  std::lock_guard lock(CacheMutex());
  TransformKey key{{}, {}, format};
  if (!ProfileBytes(sourceProfile, key.source) || !ProfileBytes(destinationProfile, key.destination)) return nullptr;
  if (key.source == key.destination) return nullptr;
  TransformCache& cache = Cache();
  if (auto it = cache.transforms.find(key); it != cache.transforms.end()) return it->second;
  std::shared_ptr<const ColorTransform> transform = MakeTransform(key);
  if (!transform) return nullptr;
  if (cache.order.size() >= kMaxTransforms) {
    cache.transforms.erase(cache.order.front());
    cache.order.pop_front();
  }
  cache.order.push_back(key);
  cache.transforms.emplace(std::move(key), transform);
  return transform;
}

std::size_t CachedColorTransformCount() {
  std::lock_guard lock(CacheMutex());
  return Cache().transforms.size();
}

bool ConvertForIcm(const DcRecord& dc, const PixelView& source, const RECT& sourceRect, PixelImage& converted) {
  std::u16string from;
  if (GdiObject* space = Object(dc.state.colourSpace)) from = space->profile;
  const std::u16string to = dc.state.icmProfile.empty() ? platform::MonitorProfile() : dc.state.icmProfile;
  const std::shared_ptr<const ColorTransform> transform = CachedColorTransform(from, to, source.format);
  if (!transform) return false;
  RECT r{std::min(sourceRect.left, sourceRect.right), std::min(sourceRect.top, sourceRect.bottom),
         std::max(sourceRect.left, sourceRect.right), std::max(sourceRect.top, sourceRect.bottom)};
  const RECT picture{0, 0, source.width, source.height};
  if (!IntersectRect(&r, &r, &picture)) return false;
  converted.width = r.right - r.left;
  converted.height = r.bottom - r.top;
  converted.argb.assign(static_cast<std::size_t>(converted.width) * static_cast<std::size_t>(converted.height), 0);
  const int bytes = source.format == PixelFormat::Bgr24 ? 3 : 4;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(converted.width) * static_cast<std::size_t>(bytes));
  for (int y = 0; y < converted.height; ++y) {
    const int pictureRow = r.top + y;
    const int memoryRow = source.bottomUp ? source.height - 1 - pictureRow : pictureRow;
    const std::uint8_t* in = source.bits + static_cast<std::ptrdiff_t>(memoryRow) * source.stride + r.left * bytes;
    transform->Apply(in, 0, row.data(), 0, converted.width, 1);
    std::uint32_t* out = &converted.argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(converted.width)];
    for (int x = 0; x < converted.width; ++x) {
      const std::uint8_t* p = &row[static_cast<std::size_t>(x * bytes)];
      out[x] = 0xFF000000u | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
    }
  }
  return true;
}

} // namespace platform::core

namespace platform {

void SetMonitorProfile(const std::u16string& path) {
  std::lock_guard lock(core::MonitorMutex());
  core::Monitor() = path;
}

std::u16string MonitorProfile() {
  {
    std::lock_guard lock(core::MonitorMutex());
    if (!core::Monitor().empty()) return core::Monitor();
  }
  return std::u16string(PathFromNative(ResourceFolder() + "/icc/sRGB.icc").View());
}

} // namespace platform

using namespace platform::core;

namespace {

GdiObject* ColourSpaceObject(HGDIOBJ handle) {
  GdiObject* o = Object(handle);
  return o && o->kind == OBJ_COLORSPACE ? o : nullptr;
}

// The colour space a DC has when none was selected: sRGB.
HCOLORSPACE StockColourSpace() {
  static HCOLORSPACE stock = [] {
    auto o = std::make_unique<GdiObject>();
    o->kind = OBJ_COLORSPACE;
    o->stock = true;
    return static_cast<HCOLORSPACE>(AddObject(std::move(o)));
  }();
  return stock;
}

} // namespace

HCOLORSPACE CreateColorSpaceW(const LOGCOLORSPACEW* space) {
  if (!space || space->lcsSignature != LCS_SIGNATURE) return nullptr;
  auto o = std::make_unique<GdiObject>();
  o->kind = OBJ_COLORSPACE;
  if (space->lcsCSType == LCS_CALIBRATED_RGB) {
    const WCHAR* name = space->lcsFilename;
    o->profile.assign(name, std::find(name, name + MAX_PATH, u'\0'));
  }
  return static_cast<HCOLORSPACE>(AddObject(std::move(o)));
}

BOOL DeleteColorSpace(HCOLORSPACE space) {
  {
    std::lock_guard lock(GdiMutex());
    if (!ColourSpaceObject(space)) return FALSE;
  }
  return DeleteObject(space);
}

HCOLORSPACE SetColorSpace(HDC hdc, HCOLORSPACE space) {
  const HCOLORSPACE stock = StockColourSpace();
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  GdiObject* object = ColourSpaceObject(space ? space : stock);
  if (!dc || !object || object->deletePending) return nullptr;
  const HGDIOBJ previous = dc->state.colourSpace;
  const HGDIOBJ next = space == stock ? nullptr : space;
  if (next) ++object->selected;
  dc->state.colourSpace = next;
  if (GdiObject* old = Object(previous)) {
    if (--old->selected <= 0 && old->deletePending) DeleteObject(previous);
  }
  return previous ? static_cast<HCOLORSPACE>(previous) : stock;
}

HCOLORSPACE GetColorSpace(HDC hdc) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc) return nullptr;
  return dc->state.colourSpace ? static_cast<HCOLORSPACE>(dc->state.colourSpace) : StockColourSpace();
}

int SetICMMode(HDC hdc, int mode) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc) return 0;
  if (mode == ICM_QUERY) return dc->state.icmMode;
  if (mode != ICM_ON && mode != ICM_OFF) return 0;
  return std::exchange(dc->state.icmMode, mode);
}

BOOL GetICMProfileW(HDC hdc, LPDWORD size, LPWSTR path) {
  if (!size) return FALSE;
  std::u16string profile;
  {
    std::lock_guard lock(GdiMutex());
    DcRecord* dc = Dc(hdc);
    if (!dc) return FALSE;
    profile = dc->state.icmProfile;
  }
  if (profile.empty()) profile = platform::MonitorProfile();
  const auto needed = static_cast<DWORD>(profile.size() + 1);
  if (!path || *size < needed) {
    *size = needed;
    return FALSE;
  }
  std::copy(profile.begin(), profile.end(), path);
  path[profile.size()] = 0;
  *size = needed;
  return TRUE;
}

BOOL SetICMProfileW(HDC hdc, LPWSTR path) {
  if (!path) return FALSE;
  std::u16string profile(path, std::find(path, path + MAX_PATH, u'\0'));
  std::string bytes;
  {
    // Only a profile that can be read is taken.
    std::lock_guard lock(CacheMutex());
    if (profile.empty() || !ProfileBytes(profile, bytes)) return FALSE;
  }
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc) return FALSE;
  dc->state.icmProfile = std::move(profile);
  return TRUE;
}
