#pragma once
// The review view's one line of shooting information: the file name, date,
// time, aperture, shutter time, sensitivity, exposure program, focal length,
// resolution and white balance, each followed by one blank, then the file
// size in megabytes. A part the file does not record is left out.

#include "shell/facade/CTLM_Exif.h"

#include <cstdint>
#include <functional>
#include <string>

// The text of an id of the program's table (empty when it has none).
using ReviewTextLookup = std::function<std::u16string(int)>;

std::u16string ReviewInfoLine(const std::u16string& fileName, const CTLM_Exif& exif, std::uint64_t fileSize,
                              const ReviewTextLookup& text);
