#include "shell/browser/ThumbViewCaptions.h"

#include "shell/facade/CTLM_Exif.h"
#include "toolkit/FileOperations.h"
#include "toolkit/TextTable.h"
#include "toolkit/ValueText.h"

#include <array>
#include <string_view>
#include <utility>

namespace {

// The table's text of an id; fallback when the table lacks it.
std::u16string TextOf(int id, std::u16string fallback = {}) {
  CFont* font = nullptr;
  COLORREF colour = 0;
  GetTextTableString(id, fallback, font, colour);
  return fallback;
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A record's text for a value the file does not carry.
bool IsMissing(const std::u16string& value) { return value.empty() || value == u" "; }

// The table's word for a value of a fixed list (compared ignoring case): the
// value itself when the table lacks the word, " " for a value not listed.
template <std::size_t N>
std::u16string WordFor(const std::u16string& value, const std::array<std::pair<std::u16string_view, int>, N>& words) {
  for (const auto& [name, id] : words) {
    if (EqualsIgnoringCase(value, name)) return TextOf(id, value);
  }
  return u" ";
}

constexpr std::array<std::pair<std::u16string_view, int>, 5> kProgramWords{
    {{u"P", 118}, {u"A", 119}, {u"S", 120}, {u"M", 121}, {u"O", 130}}};
constexpr std::array<std::pair<std::u16string_view, int>, 10> kWhiteBalanceWords{
    {{u"Sunlight", 106}, {u"Daylight", 107}, {u"Shade", 108}, {u"Overcast", 109}, {u"Incandescent", 111},
     {u"Fluorescent", 113}, {u"Flash", 114}, {u"Auto", 115}, {u"Monochrome", 116}, {u"Custom", 132}}};

std::u16string Plain(const FString& text) { return std::u16string(text.View()); }

} // namespace

ShootingTexts ShootingTextsOf(const std::u16string& fileName, const CTLM_Exif& exif) {
  ShootingTexts t;
  t.fileName = fileName;
  t.date = Plain(exif.GetDate());
  t.time = Plain(exif.GetTime());
  t.aperture = Plain(exif.GetAperture());
  t.shutter = Plain(exif.GetShutter());
  t.iso = Plain(exif.GetIso());
  t.programMode = Plain(exif.GetProgramMode());
  t.whiteBalance = Plain(exif.GetWBDesc());
  t.focalLength = Plain(exif.GetFocalLength());
  return t;
}

ShootingWords LoadShootingWords() { return {TextOf(3023), TextOf(3022), TextOf(3021)}; }

std::u16string ShootingLine(const ShootingTexts& t, const ShootingWords& words) {
  std::u16string line = t.fileName + u" " + t.date + u" " + t.time + u" ";
  line += IsMissing(t.aperture) ? t.aperture : words.aperturePrefix + t.aperture;
  line += u" ";
  if (EqualsIgnoringCase(t.shutter, u"BULB")) {
    line += words.bulbWord;
  } else {
    line += IsMissing(t.shutter) ? t.shutter : t.shutter + words.shutterSuffix;
  }
  line += u" ";
  line += IsMissing(t.iso) ? t.iso : u"ISO" + t.iso;
  line += u" ";
  line += WordFor(t.programMode, kProgramWords) + u" ";
  line += WordFor(t.whiteBalance, kWhiteBalanceWords) + u" ";
  line += t.focalLength;
  return line;
}

std::u16string SelectionSizeText(int count, std::uint64_t totalBytes) {
  if (count <= 0) return {};
  std::u16string countText = FormatIntegerValue(TextOf(count == 1 ? 1024 : 1025), count);
  if (countText.empty()) countText = FormatIntegerValue(u"%d", count);
  const double megabytes = static_cast<double>(totalBytes) / 1024.0 / 1024.0;
  std::u16string sizeText = FormatRealValue(TextOf(1026), megabytes);
  if (sizeText.empty()) sizeText = u" " + FormatRealValue(u"%.1f", megabytes);
  return countText + sizeText;
}

std::u16string FilterCaption(int stateFilter, int formatFilter) {
  constexpr int kFormatAlone[] = {1008, 1009, 1010, 1011, 1053};
  constexpr int kStateWords[] = {1012, 1013, 1014, 1015};
  constexpr int kFormatAfterState[] = {1016, 1017, 1018, 1019, 1054};
  const bool formatKnown = formatFilter >= 0 && formatFilter <= 4;
  std::u16string caption = TextOf(1007);
  if (stateFilter == 0) {
    if (formatKnown) caption += TextOf(kFormatAlone[formatFilter]);
  } else if (stateFilter >= 1 && stateFilter <= 4) {
    caption += TextOf(kStateWords[stateFilter - 1]);
    if (formatKnown) caption += TextOf(kFormatAfterState[formatFilter]);
  }
  return caption;
}

StillPosition FindStillPosition(const FArray<FString>& stills, const FString& shownFolder, const FString& path) {
  StillPosition result;
  if (GetParentPath(path) != shownFolder) return result;
  for (int i = 0; i < stills.GetCount(); ++i) {
    if (stills[i] != path) continue;
    result.position = i;
    result.count = stills.GetCount();
    if (i + 1 < stills.GetCount()) result.next = stills[i + 1];
    if (i > 0) result.previous = stills[i - 1];
    return result;
  }
  return result;
}
