#pragma once
// The rules the rename dialogs apply to file names, without any window: the
// extension of a name, what a typed name may hold, the batch rename's new
// names and the cleaning of its start number.

#include "foundation/FString.h"

#include <cstdint>

// The text from the last '.' to the end, the dot included; empty without a dot.
FString RenameExtensionOf(const FString& name);
// The name without its extension.
FString RenameStemOf(const FString& name);

// What a typed name may not be or hold: none of \ / * ? : < > " | (a file
// name cannot hold them on every system the files travel to, and "/" would
// make a path), not empty, and the name it makes with the extension kept
// neither "." nor "..". Only the typed part is checked for characters: an
// extension carried over from an existing name is one the disk already holds.
enum class TypedNameFault { None, ForbiddenCharacter, Empty, DotsOnly };
bool HasForbiddenNameCharacter(const FString& text);
TypedNameFault CheckTypedName(const FString& typed, const FString& extension);

// The start number's text read as a decimal number (empty gives 0; a number
// too large to hold stops growing at the largest int).
int RenameStartNumber(const FString& digits);
// The batch rename's new name of row `row`: base, start + row in decimal
// without leading zeros, extension. Texts are used literally.
FString RenameBatchName(const FString& base, int64_t start, int row, const FString& extension);

// The start number's text with every character that is not 0-9 removed; the
// position, in the cleaned text, where the last removal was (-1 when nothing
// was removed).
struct CleanedDigits {
  FString text;
  int caret = -1;
};
CleanedDigits RenameCleanStartNumber(const FString& text);
