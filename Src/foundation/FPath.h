#pragma once
// The one module that builds, splits and compares native paths. Native paths
// are POSIX paths held as FString: '/' separates the parts, comparison is exact
// (case-sensitive), and a name may hold any character Linux allows.
//
// File names on Linux are bytes, not text. Names that are valid UTF-8 become
// their UTF-16 text; every byte that is not part of a valid UTF-8 sequence
// becomes the lone surrogate U+DC80 + (byte - 0x80), so that every name the
// file system can hold survives the trip to FString and back unchanged.

#include <string>
#include <string_view>

#include "foundation/FArray.h"
#include "foundation/FString.h"

inline constexpr char16_t kPathSeparator = u'/';

// File-system bytes <-> FString (see above). PathToNative fails, giving false,
// for text that names no file: embedded zero units and surrogates that do not
// come from an undecodable byte.
FString PathFromNative(std::string_view bytes);
bool PathToNative(const FString& path, std::string& bytes);

bool PathIsAbsolute(const FString& path);
bool PathEndsWithSeparator(const FString& path);

// folder + "/" + name, without doubling a separator; an empty folder gives name.
FString PathJoin(const FString& folder, const FString& name);

// The folder part: "/a/b" -> "/a", "/a" -> "/", "/" -> "" (the root has no
// parent), "b.jpg" -> "". Trailing separators are ignored.
FString PathParent(const FString& path);

// The last part ("/a/b.kvr" -> "b.kvr"; "/" -> ""). Trailing separators are ignored.
FString PathFileName(const FString& path);

// The text after the last dot of the last part, empty when it has none (a
// leading dot, as in ".profile", starts no extension).
FString PathExtension(const FString& path);

// Collapses repeated separators, drops "." parts and a trailing separator
// (the root stays "/"). ".." is kept: it cannot be resolved without the disk.
FString PathNormalize(const FString& path);

// The non-empty parts, "." parts dropped ("/a//b/" -> a, b).
void PathSplit(const FString& path, FArray<FString>& parts);

// Equal after PathNormalize; exact, case-sensitive.
bool PathEquals(const FString& a, const FString& b);

// True when path lies inside folder or is folder itself (after PathNormalize).
bool PathIsInside(const FString& path, const FString& folder);

// A name that can stand for one entry of a folder: not empty, no separator, no
// zero unit.
bool PathIsEntryName(const FString& name);
