#include "review/frame/ReviewInfoLine.h"

#include <array>
#include <cstdio>
#include <cwctype>
#include <utility>

namespace {

constexpr int kApertureTextId = 3023;
constexpr int kShutterTextId = 3022;

bool SameIgnoringCase(const std::u16string& a, const char16_t* b) {
  const std::u16string other(b);
  if (a.size() != other.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(other[i]))) return false;
  }
  return true;
}

// The text of the first name the value equals (case ignored); empty when none.
template <std::size_t N>
std::u16string Named(const std::u16string& value, const std::array<std::pair<const char16_t*, int>, N>& names,
                     const ReviewTextLookup& text) {
  for (const auto& [name, id] : names) {
    if (SameIgnoringCase(value, name)) return text(id);
  }
  return {};
}

constexpr std::array<std::pair<const char16_t*, int>, 5> kPrograms{
    {{u"P", 118}, {u"A", 119}, {u"S", 120}, {u"M", 121}, {u"O", 130}}};
constexpr std::array<std::pair<const char16_t*, int>, 10> kWhiteBalances{{{u"Sunlight", 106},
                                                                           {u"Daylight", 107},
                                                                           {u"Shade", 108},
                                                                           {u"Overcast", 109},
                                                                           {u"Incandescent", 111},
                                                                           {u"Fluorescent", 113},
                                                                           {u"Flash", 114},
                                                                           {u"Auto", 115},
                                                                           {u"Monochrome", 116},
                                                                           {u"Custom", 132}}};

std::u16string Of(const FString& value) { return std::u16string(value.View()); }
bool Recorded(const std::u16string& value) { return !value.empty() && value != u" "; }

} // namespace

std::u16string ReviewInfoLine(const std::u16string& fileName, const CTLM_Exif& exif, std::uint64_t fileSize,
                              const ReviewTextLookup& text) {
  std::u16string line;
  const auto add = [&line](const std::u16string& part) {
    if (Recorded(part)) line += part + u" ";
  };
  add(fileName);
  add(Of(exif.GetDate()));
  add(Of(exif.GetTime()));
  if (const std::u16string aperture = Of(exif.GetAperture()); Recorded(aperture)) {
    add(text(kApertureTextId) + aperture);
  }
  if (const std::u16string shutter = Of(exif.GetShutter()); Recorded(shutter)) {
    add(shutter + text(kShutterTextId));
  }
  if (const std::u16string iso = Of(exif.GetIso()); Recorded(iso)) add(u"ISO" + iso);
  add(Named(Of(exif.GetProgramMode()), kPrograms, text));
  add(Of(exif.GetFocalLength()));
  add(Of(exif.GetResolution()));
  add(Named(Of(exif.GetWBDesc()), kWhiteBalances, text));
  char size[48];
  std::snprintf(size, sizeof size, "%.2fMB", static_cast<double>(fileSize) / 1024.0 / 1024.0);
  for (const char* c = size; *c; ++c) line += static_cast<char16_t>(*c);
  return line;
}
