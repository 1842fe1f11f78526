#pragma once
// The preset file ("KVR_Setting.xml" in the per-user folder, and the files
// presets are exported to and imported from): UTF-16 little-endian text with a
// byte-order mark, lines ending with a line feed alone:
//
//   <Custom>
//   \t<Settings>
//   \t\t... the lines of each preset (KVR_SettingXml.h), in list order ...
//   \t</Settings>
//   </Custom>
//
// The reader is tolerant of what surrounds the markers: a line "contains" a
// marker when the marker occurs anywhere in it, so indentation and carriage
// returns do not matter, and the byte-order mark may be FF FE, FE FF or none.
// Control characters other than the TAB, which no name holds, are left out
// of the lines read, and a colour density is kept within what the gains' six decimals carry (400).

#include "foundation/FString.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CKVR_FilterData;

// Preset files larger than this are not read (a thousand presets take about
// 1.5 MB).
inline constexpr size_t kMaxPresetFileSize = 64u << 20;

// The file's bytes for the presets in order; a preset whose lines cannot be
// produced is left out.
std::string WritePresetFileBytes(const std::vector<const CKVR_FilterData*>& presets);

// Parses the file's bytes, handing every preset read to onPreset as it is
// completed (an earlier preset is handed over even when a later one turns out
// damaged). False when the file is malformed: no "<Custom>" line, no
// "<Settings>" line right after it, a preset begun inside another, a preset
// whose lines do not parse, a preset not ended, or a line after the list that
// is neither the end of the file nor "</Custom>".
bool ParsePresetFileBytes(std::string_view bytes, const std::function<void(std::unique_ptr<CKVR_FilterData>)>& onPreset);
