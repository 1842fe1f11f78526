#pragma once
// What the information palette shows of one file, as texts: the file format,
// pixel size and file size lines, the seventeen shooting rows and the cells
// of the development-settings list. The texts come from the file's shooting
// information (InfoShootingData, read from a CTLM_Exif) and the program's
// text table; every value the file does not provide becomes the missing-value
// text. No window is involved, so every rule can be checked on its own.

#include "shell/facade/CKVR_FilterData.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class CTLM_Exif;

// The shooting information the palette's rows are made of.
struct InfoShootingData {
  std::u16string date, time;
  std::u16string programMode, exposureComp, iso, wbDesc, wbDescOrig, cmDesc, flash, shutter, aperture;
  std::u16string meteringMode, afMode, focalLength, resolution, driveMode, cameraModel, serialNumber;
  std::u16string firmware, uniqueId;
  // Of pictures the program saved: when and with what, and how.
  std::u16string exifDate, exifTime, software, quality;
  int colorSpace = -1;
  double chromaNoise = 0;
  double lumaNoise = 0;
  // The stored development settings (values x 100, kKVRUnsetValue where the
  // file stores none); hasSettings is false when the file has no entry.
  bool hasSettings = false;
  std::array<int32_t, 7> adjustments{}; // exposure, contrast, shadow, highlight, saturation, sharpness, fill light
  int32_t cyan = 0, magenta = 0, yellow = 0;
  std::u16string settingsName;
};
InfoShootingData ReadInfoShootingData(const CTLM_Exif& record);

// A list cell: its text and its icon (image index; 0 none).
struct InfoCell {
  std::u16string text;
  int image = 0;
  bool operator==(const InfoCell&) const = default;
};

// The settings list's cells by row and column; an empty optional leaves the
// cell as it is.
using InfoSettingsGrid = std::array<std::array<std::optional<std::u16string>, 4>, 8>;

class InfoPaletteTexts {
public:
  using Lookup = std::function<std::u16string(int textId)>;

  static constexpr int kShootingRows = 17;
  static constexpr int kSettingsRows = 8;
  static constexpr int kSettingsColumns = 4;
  static constexpr int kRawFileType = 6;
  static constexpr int kMissingTextId = 3068;
  static constexpr int kRawSettingsTitleTextId = 3055;
  static constexpr int kSavedOnTitleTextId = 3056;
  static constexpr int kColorSpaceLabelTextId = 3061;
  static constexpr int kSettingsNameLabelTextId = 3062;
  static constexpr int kQualityLabelTextId = 3067;
  static constexpr int kChromaNoiseLabelTextId = 3080;
  static constexpr int kLumaNoiseLabelTextId = 3081;
  static constexpr int kNoiseNotSetTextId = 3082;

  // The text of an id of the program's text table (empty when it lacks it).
  explicit InfoPaletteTexts(Lookup lookup);

  std::u16string Missing() const { return Text(kMissingTextId); }
  // "KVR", "JPEG", "TIFF", "AVI"; other types: the missing-value text.
  std::u16string FileFormat(int fileType) const;
  // "13.9 MP (2640 x 1760 x 3)" for raw files, "4.6 MP (2640 x 1760)" for others.
  static std::u16string ImageSize(int fileType, int width, int height);
  // "5.00 MB".
  static std::u16string FileSize(std::uint64_t bytes);

  // Column 1 of a shooting row (0 to 16).
  InfoCell ShootingValue(int row, const InfoShootingData& data) const;
  // The current white balance, followed by the one it was taken with when
  // that says something more.
  std::u16string WhiteBalance(const std::u16string& current, const std::u16string& asShot) const;
  // Every cell of the settings list the information decides for a file type.
  InfoSettingsGrid SettingsValues(const InfoShootingData& data, int fileType) const;

private:
  struct Named {
    const char16_t* name;
    int textId;
    int image;
  };
  std::u16string Text(int textId) const;
  // The text, or the missing-value text when it is empty or one blank.
  std::u16string Verbatim(const std::u16string& text) const;
  // The cell of the first name the text equals (ignoring case).
  template <std::size_t N>
  InfoCell Mapped(const std::u16string& text, const std::array<Named, N>& names) const;
  void FillDevelopmentSettings(InfoSettingsGrid& grid, const InfoShootingData& data) const;
  void FillNoiseReduction(InfoSettingsGrid& grid, const InfoShootingData& data) const;
  void FillSavedPicture(InfoSettingsGrid& grid, const InfoShootingData& data, int fileType) const;

  Lookup m_lookup;
};

// The value a text's leading decimal number stands for (blanks before it
// skipped, at most 1,000,000,000); 0 without one.
int LeadingNumberOf(const std::u16string& text);
