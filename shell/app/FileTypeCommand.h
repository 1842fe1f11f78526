#pragma once
// Which program the desktop opens a file type with. The desktop's own
// databases stand in for the file-type registry: the extension's MIME type
// from the shared MIME-info globs, the default application of that type from
// the mimeapps.list files (then defaults.list and mimeinfo.cache), and the
// command from that application's desktop entry, each searched in the XDG
// folders in their order of precedence ($XDG_CONFIG_HOME, $XDG_CONFIG_DIRS,
// $XDG_DATA_HOME, $XDG_DATA_DIRS).

#include "foundation/FString.h"

// The open command of the extension's file type (with or without its dot;
// its case matters only to the globs that say so): the Exec line of the default application's desktop entry, as it
// stands (with its field codes such as %U). Empty when any step finds nothing.
FString GetFileTypeOpenCommand(const FString& extension);

// The program part of that command: empty for an empty command; the text
// between the first two double quotes when the command starts with one;
// otherwise the text before the first blank (the arguments of a desktop
// entry's command are separated by blanks), or the whole command.
FString GetAssociatedProgram(const FString& extension);
FString ProgramOfCommand(const FString& command);
