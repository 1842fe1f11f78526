#include "review/palettes/InfoPaletteTexts.h"

#include "review/controls/CColorWheel.h"
#include "shell/facade/CTLM_Exif.h"

#include <cstdio>
#include <utility>

namespace {

constexpr int kDateRow = 0;
constexpr int kWhiteBalanceRow = 4;
constexpr int kShutterBulbTextId = 3021;
constexpr int kShutterUnitTextId = 3022;
constexpr int kApertureTextId = 3023;
constexpr int kDefaultNameTextId = 3071;
constexpr int kAutoNameTextId = 3072;
constexpr int kCustomNameTextId = 3073;
constexpr int kNoiseFromIso = 400;
constexpr double kNoiseNotSet = -999.0;

// The value cells of the adjustments, in the order of InfoShootingData::adjustments.
constexpr std::array<std::pair<int, int>, 7> kAdjustmentCells{
    {{1, 1}, {1, 3}, {2, 1}, {2, 3}, {3, 1}, {3, 3}, {4, 1}}};
constexpr std::pair<int, int> kColorAdjustCell{4, 3};

std::u16string Ascii(const char* text, int length) {
  std::u16string wide;
  for (int i = 0; i < length && text[i]; ++i) wide.push_back(static_cast<unsigned char>(text[i]));
  return wide;
}

template <class... Args>
std::u16string Formatted(const char* format, Args... args) {
  char buffer[128];
  const int length = std::snprintf(buffer, sizeof buffer, format, args...);
  return length > 0 ? Ascii(buffer, std::min<int>(length, sizeof buffer - 1)) : std::u16string();
}

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool IsBlank(const std::u16string& text) { return text.empty() || text == u" "; }

std::u16string Text(const FString& text) { return std::u16string(text.View()); }

std::u16string Adjustment(int32_t value) { return Formatted("%+.1f", static_cast<double>(value) / 100.0); }

} // namespace

InfoShootingData ReadInfoShootingData(const CTLM_Exif& record) {
  InfoShootingData data;
  data.date = Text(record.GetDate());
  data.time = Text(record.GetTime());
  data.programMode = Text(record.GetProgramMode());
  data.exposureComp = Text(record.GetExposureComp());
  data.iso = Text(record.GetIso());
  data.wbDesc = Text(record.GetWBDesc());
  data.wbDescOrig = Text(record.GetWBDescOrig());
  data.cmDesc = Text(record.GetCMDesc());
  data.flash = Text(record.GetFlash());
  data.shutter = Text(record.GetShutter());
  data.aperture = Text(record.GetAperture());
  data.meteringMode = Text(record.GetMeteringMode());
  data.afMode = Text(record.GetAFMode());
  data.focalLength = Text(record.GetFocalLength());
  data.resolution = Text(record.GetResolution());
  data.driveMode = Text(record.GetDriveMode());
  data.cameraModel = Text(record.GetCameraModel());
  data.serialNumber = Text(record.GetSerialNumber());
  data.firmware = Text(record.GetFirmware());
  data.uniqueId = Text(record.GetUniqueId());
  data.exifDate = Text(record.GetExifDate());
  data.exifTime = Text(record.GetExifTime());
  data.software = Text(record.GetSoftware());
  data.quality = Text(record.GetQuality());
  data.colorSpace = record.GetColorSpace();
  data.chromaNoise = record.GetChromaNoise();
  data.lumaNoise = record.GetLumaNoise();
  CKVR_FilterData settings;
  data.hasSettings = record.GetFilterData(&settings);
  if (data.hasSettings) {
    data.adjustments = {settings.m_nExposure,   settings.m_nContrast,  settings.m_nShadow,   settings.m_nHighlight,
                        settings.m_nSaturation, settings.m_nSharpness, settings.m_nFillLight};
    data.cyan = settings.m_nCyan;
    data.magenta = settings.m_nMagenta;
    data.yellow = settings.m_nYellow;
    data.settingsName = Text(settings.m_strName);
  }
  return data;
}

int LeadingNumberOf(const std::u16string& text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == u' ' || text[at] == u'\t')) ++at;
  int value = 0;
  for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
    value = value * 10 + (text[at] - u'0');
    if (value >= 100'000'000) return 1'000'000'000; // any more digits say "very high"
  }
  return value;
}

InfoPaletteTexts::InfoPaletteTexts(Lookup lookup) : m_lookup(std::move(lookup)) {}

std::u16string InfoPaletteTexts::Text(int textId) const { return m_lookup ? m_lookup(textId) : std::u16string(); }

std::u16string InfoPaletteTexts::Verbatim(const std::u16string& text) const { return IsBlank(text) ? Missing() : text; }

template <std::size_t N>
InfoCell InfoPaletteTexts::Mapped(const std::u16string& text, const std::array<Named, N>& names) const {
  for (const Named& named : names) {
    if (EqualIgnoringCase(text, named.name)) return {Text(named.textId), named.image};
  }
  return {Missing(), 0};
}

std::u16string InfoPaletteTexts::FileFormat(int fileType) const {
  switch (fileType) {
  case kRawFileType: return u"KVR";
  case 0: return u"JPEG";
  case 1: case 2: return u"TIFF";
  case 7: return u"AVI";
  default: return Missing();
  }
}

std::u16string InfoPaletteTexts::ImageSize(int fileType, int width, int height) {
  // In 64 bits: no picture size wraps round.
  const double pixels = static_cast<double>(static_cast<int64_t>(width) * static_cast<int64_t>(height));
  if (fileType == kRawFileType) return Formatted("%.1f MP (%d x %d x 3)", pixels * 3 / 1000 / 1000, width, height);
  return Formatted("%.1f MP (%d x %d)", pixels / 1000 / 1000, width, height);
}

std::u16string InfoPaletteTexts::FileSize(std::uint64_t bytes) {
  return Formatted("%.2f MB", static_cast<double>(bytes) / 1024 / 1024);
}

std::u16string InfoPaletteTexts::WhiteBalance(const std::u16string& current, const std::u16string& asShot) const {
  static constexpr std::array<Named, 10> kNames{{{u"Sunlight", 106, 0},
                                                 {u"Daylight", 107, 0},
                                                 {u"Shade", 108, 0},
                                                 {u"Overcast", 109, 0},
                                                 {u"Incandescent", 111, 0},
                                                 {u"Fluorescent", 113, 0},
                                                 {u"Flash", 114, 0},
                                                 {u"Auto", 115, 0},
                                                 {u"Monochrome", 116, 0},
                                                 {u"Custom", 132, 0}}};
  const auto idOf = [](const std::u16string& text) {
    for (const Named& named : kNames) {
      if (EqualIgnoringCase(text, named.name)) return named.textId;
    }
    return 0;
  };
  const int now = idOf(current);
  const int taken = idOf(asShot);
  if (now == 0) return Missing();
  // Sunlight is what the camera calls daylight once it was set by hand.
  if (taken == 0 || taken == now || (now == 106 && taken == 107)) return Text(now);
  return Text(now) + u" (ex-" + Text(taken) + u")";
}

InfoCell InfoPaletteTexts::ShootingValue(int row, const InfoShootingData& d) const {
  static constexpr std::array<Named, 5> kProgramModes{
      {{u"P", 3014, 0}, {u"A", 3015, 0}, {u"S", 3016, 0}, {u"M", 3017, 0}, {u"O", 3074, 0}}};
  static constexpr std::array<Named, 8> kColorModes{{{u"Standard", 122, 0},
                                                     {u"Vivid ", 123, 0},
                                                     {u"Neutral", 124, 0},
                                                     {u"Portrait", 125, 0},
                                                     {u"Landscape", 126, 0},
                                                     {u"NORMAL", 3076, 0},
                                                     {u"SEPIA", 3077, 0},
                                                     {u"B&W", 3078, 0}}};
  static constexpr std::array<Named, 3> kFlash{{{u"ON", 3018, 0}, {u"OFF", 3019, 0}, {u"REDEYE", 3020, 0}}};
  static constexpr std::array<Named, 4> kMetering{
      {{u"8", 3024, 6}, {u"A", 3025, 5}, {u"C", 3026, 4}, {u"S", 3075, 7}}};
  static constexpr std::array<Named, 3> kFocus{{{u"AF-S", 3027, 0}, {u"AF-C", 3028, 0}, {u"MF", 3029, 0}}};
  static constexpr std::array<Named, 5> kResolutions{
      {{u"S-HI", 3030, 3}, {u"HI", 3031, 3}, {u"MED", 3032, 2}, {u"LOW", 3033, 1}, {u"WID", 3079, 0}}};
  static constexpr std::array<Named, 5> kDriveModes{
      {{u"SINGLE", 3034, 0}, {u"MULTI", 3035, 0}, {u"2S", 3036, 0}, {u"10S", 3037, 0}, {u"UP", 3038, 0}}};

  switch (row) {
  case kDateRow:
    return {IsBlank(d.date) || IsBlank(d.time) ? Missing() : d.date + u" " + d.time};
  case 1: return Mapped(d.programMode, kProgramModes);
  case 2: return {Verbatim(d.exposureComp)};
  case 3: return {Verbatim(d.iso)};
  case kWhiteBalanceRow: return {WhiteBalance(d.wbDesc, d.wbDescOrig)};
  case 5: return Mapped(d.cmDesc, kColorModes);
  case 6: return Mapped(d.flash, kFlash);
  case 7:
    if (EqualIgnoringCase(d.shutter, u"BULB")) return {Text(kShutterBulbTextId)};
    return {Verbatim(d.shutter) + Text(kShutterUnitTextId)};
  case 8: return {IsBlank(d.aperture) ? Missing() : Text(kApertureTextId) + d.aperture};
  case 9: return Mapped(d.meteringMode, kMetering);
  case 10: return Mapped(d.afMode, kFocus);
  case 11: return {Verbatim(d.focalLength)};
  case 12: return Mapped(d.resolution, kResolutions);
  case 13: return Mapped(d.driveMode, kDriveModes);
  case 14:
    if (IsBlank(d.cameraModel)) return {Missing()};
    return {IsBlank(d.serialNumber) ? d.cameraModel : d.cameraModel + u" " + d.serialNumber};
  case 15: return {Verbatim(d.firmware)};
  case 16: return {Verbatim(d.uniqueId)};
  default: return {};
  }
}

InfoSettingsGrid InfoPaletteTexts::SettingsValues(const InfoShootingData& data, int fileType) const {
  InfoSettingsGrid grid;
  FillDevelopmentSettings(grid, data);
  FillNoiseReduction(grid, data);
  FillSavedPicture(grid, data, fileType);
  return grid;
}

void InfoPaletteTexts::FillDevelopmentSettings(InfoSettingsGrid& grid, const InfoShootingData& data) const {
  if (!data.hasSettings) {
    for (const auto& [row, column] : kAdjustmentCells) grid[row][column] = Missing();
    grid[kColorAdjustCell.first][kColorAdjustCell.second] = Missing();
    grid[6][1] = Missing();
    return;
  }
  for (std::size_t i = 0; i < kAdjustmentCells.size(); ++i) {
    const int32_t value = data.adjustments[i];
    grid[kAdjustmentCells[i].first][kAdjustmentCells[i].second] =
        value == kKVRUnsetValue ? Missing() : Adjustment(value);
  }
  const bool colourUnset = data.cyan == kKVRUnsetValue || data.magenta == kKVRUnsetValue || data.yellow == kKVRUnsetValue;
  grid[kColorAdjustCell.first][kColorAdjustCell.second] =
      colourUnset ? Missing() : FormatCMYString(data.cyan, data.magenta, data.yellow);
  grid[6][1] = Missing();
  const std::u16string& name = data.settingsName;
  if (name.empty() || name == u" " || name == u"  ") {
    grid[7][1] = Missing();
  } else if (name == u"Default") {
    grid[7][1] = Text(kDefaultNameTextId);
  } else if (name == u"Auto") {
    grid[7][1] = Text(kAutoNameTextId);
  } else if (name == u"Custom") {
    grid[7][1] = Text(kCustomNameTextId);
  } else {
    grid[7][1] = name;
  }
}

void InfoPaletteTexts::FillNoiseReduction(InfoSettingsGrid& grid, const InfoShootingData& data) const {
  auto& row = grid[5];
  if (!data.hasSettings) {
    row[1] = Missing();
    row[3] = Missing();
    return;
  }
  if (LeadingNumberOf(data.iso) < kNoiseFromIso) {
    row = {u"", u"", u"", u""};
    return;
  }
  const auto strength = [this](double value) {
    return value < kNoiseNotSet ? Text(kNoiseNotSetTextId) : Formatted("%.2f", value);
  };
  row = {Text(kChromaNoiseLabelTextId), strength(data.chromaNoise), Text(kLumaNoiseLabelTextId),
         strength(data.lumaNoise)};
}

void InfoPaletteTexts::FillSavedPicture(InfoSettingsGrid& grid, const InfoShootingData& data, int fileType) const {
  auto& title = grid[0];
  if (fileType == kRawFileType) {
    title = {Text(kRawSettingsTitleTextId), u"", u"", u""};
    grid[6] = {u"", u"", u"", u""};
    grid[7][0] = u"";
    grid[7][1] = u"";
    return;
  }
  // The title row: when and with which program the picture was saved.
  title = {Text(kSavedOnTitleTextId), u"", u"", u""};
  if (IsBlank(data.exifDate)) {
    title[1] = u" " + Missing();
  } else if (IsBlank(data.exifTime)) {
    title[1] = Missing();
  } else {
    title[1] = u" " + data.exifDate;
    title[2] = u" " + data.exifTime;
    if (data.software == u" ") {
      title[1] = Missing();
      title[2] = u" ";
    } else {
      title[3] = u" " + data.software;
    }
  }
  grid[6][0] = Text(kColorSpaceLabelTextId);
  grid[7][0] = Text(kSettingsNameLabelTextId);
  grid[6][2] = Text(kQualityLabelTextId);
  switch (data.colorSpace) {
  case 2: grid[6][1] = u"sRGB"; break;
  case 3: grid[6][1] = u"AdobeRGB"; break;
  case 4: grid[6][1] = u"AppleRGB"; break;
  case 8: grid[6][1] = u"ColorMatch RGB"; break;
  case 11: grid[6][1] = u"ProPhoto RGB"; break;
  default: grid[6][1] = Missing(); break;
  }
  std::u16string quality = Verbatim(data.quality);
  if (fileType == 1 || fileType == 2) {
    if (data.quality == u"24") quality = u"8 Bit";
    if (data.quality == u"48") quality = u"16 Bit";
  }
  grid[6][3] = quality;
}
