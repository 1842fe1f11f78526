#pragma once
// What start-up reads before anything else: the program's own version and
// its command line; and what a second start may hand over.

#include "foundation/FString.h"

#include <array>
#include <string>
#include <vector>

// The program's FileVersion, as the about box shows it.
inline constexpr char16_t kProgramFileVersion[] = u"4, 0, 0, 1";

// The four numbers of a FileVersion text: each number runs up to the next ","
// or "." (leading blanks skipped, decimal digits read). A text without any
// separator gives four zeros; otherwise splitting stops at the first part
// without a separator, which is the last number read, and the others stay 0.
std::array<int, 4> ParseFileVersion(std::u16string_view text);

// Of the command line only the file and the splash flag are used.
struct StartCommandLine {
    // The first argument that is not a switch, made absolute; empty when none.
    FString m_strFileName;
    // Cleared by the framework's switches for starts without a person:
    // -Embedding and -Automation (letter case ignored).
    bool m_bShowSplash = true;
};

// The arguments after the program's name. A switch starts with "-"; after
// "--" every argument is a name.
StartCommandLine ParseStartCommandLine(const std::vector<std::string>& arguments);

// What a second start may hand over to the running program: a folder, or a
// file the browser lists (JPEG, TIFF, raw and AVI files). Devices, pipes,
// other files and paths that name nothing are refused. Any thread.
bool IsHandOverTarget(std::u16string_view path);
