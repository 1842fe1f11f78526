#pragma once
// The texts the thumbnail view shows around its grid, as functions of what
// they describe: the shooting line of the one selected file, the count and
// size of the selection, the description of the active filters, and the
// position of a file among the listed still pictures (the review window's
// previous and next commands). Words come from the installed text table
// (toolkit/TextTable.h), which is the application's.

#include "foundation/FArray.h"
#include "foundation/FString.h"

#include <cstdint>
#include <string>

class CTLM_Exif;

// The shooting texts of one file as its record gives them (" " for a value
// the file does not carry).
struct ShootingTexts {
  std::u16string fileName;
  std::u16string date, time;
  std::u16string aperture, shutter, iso;
  std::u16string programMode, whiteBalance;
  std::u16string focalLength;
};

// The view's own words: put before an aperture, after a shutter speed, and
// shown for a bulb exposure (texts 3023, 3022, 3021).
struct ShootingWords {
  std::u16string aperturePrefix;
  std::u16string shutterSuffix;
  std::u16string bulbWord;
};

ShootingTexts ShootingTextsOf(const std::u16string& fileName, const CTLM_Exif& exif);
ShootingWords LoadShootingWords();

// One line: name, date, time, aperture, shutter speed, ISO, exposure program,
// white balance and focal length, separated by blanks.
std::u16string ShootingLine(const ShootingTexts& texts, const ShootingWords& words);

// "1 file selected" or "n files selected" followed by the total size in
// megabytes, through the text table's formats. A format that does not take
// exactly the number it is given shows the number alone.
std::u16string SelectionSizeText(int count, std::uint64_t totalBytes);

// Text 1007 followed by what the filters let through: the format filter's
// text alone, or the state's word followed by the format's word.
std::u16string FilterCaption(int stateFilter, int formatFilter);

// Where a file stands among the listed still pictures of the shown folder.
struct StillPosition {
  int position = 0;
  int count = 1;
  FString next;
  FString previous;
};

// Paths compare exactly, the folder as well: a file of another folder, or one
// not listed, is position 0 of 1 with no neighbours.
StillPosition FindStillPosition(const FArray<FString>& stills, const FString& shownFolder, const FString& path);
