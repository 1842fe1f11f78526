#pragma once
// The program's folders by kind:
//   0, 1        the per-user folder: settings and presets ($XDG_CONFIG_HOME/Lumitra,
//               created when missing); empty when there is none
//   2, 3, 4, 8  the program folder: texts, fonts, the manual, the licence text
//               (the data folder "resources" beside the program, else the
//               program's own folder)
//   5           the program's colour profiles: the program folder + "/icc"
//   6           the temporary profile folder: the temporary folder + "/ICCProfile"
//   7           the temporary folder: "Temp" in the process's private temporary
//               folder (mode 0700 under $TMPDIR or /tmp)
//   any other   empty
// Kinds 6 and 7 are empty when there is no per-user folder or no private
// temporary folder, so nothing is ever created or deleted at the root. No
// folder is returned with a trailing separator. Both base folders are looked
// up on every call.

#include "foundation/FString.h"

enum : int {
    kAppFolderUser = 1,
    kAppFolderTexts = 2,
    kAppFolderFonts = 3,
    kAppFolderProgram = 4,
    kAppFolderProfiles = 5,
    kAppFolderTempProfiles = 6,
    kAppFolderTemp = 7,
    kAppFolderLicence = 8,
};

FString GetAppFolder(int kind);

// The program file the program folder is found from; empty (the default)
// means the running program. Tests point it into the build tree.
void SetAppProgramPath(const FString& programPath);

// folder + "/" + name, without doubling a separator.
FString AppFilePath(int kind, const char16_t* name);
