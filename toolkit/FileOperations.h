#pragma once
// The browser's file operations: path splitting, folder creation, folder
// listings with name patterns, deleting (to the freedesktop trash or for
// good), copying, moving and renaming, and the file-drop block other programs
// read. Paths are native (POSIX) paths, lists are arrays of them. Nothing here
// throws; failures come back as false, an empty result or an unchanged path.
// These operations show no windows of their own: the withUserInterface flags
// of the platform's shell are accepted and change nothing.

#include "foundation/FArray.h"
#include "foundation/FString.h"
#include "platform/win/WinTypes.h"

#include <vector>

// True when the path ends with the separator ('/').
bool EndsWithBackslash(const FString& path);
// The text after the last separator; the whole path when it has none or is the
// root "/"; empty for a path that ends with a separator.
FString GetFileNamePart(const FString& path);
// The path without its last part and the separator before it; "/" for a part
// right under the root; empty for the root and for a path without separator.
FString GetParentPath(const FString& path);
// The long form of a path: paths have only one form here, so the path itself.
FString GetLongPath(const FString& path);
// The folder exists afterwards, with every missing parent created. False, and
// nothing created, when a level exists as a file.
bool CreateFolderTree(const FString& path);

// Appends folder + "/" + name for the folder's entries that match the
// patterns: "*.*" matches every name, "*text" names ending in text, any other
// pattern names starting with it, ignoring case. With anyPattern one match is
// enough, else every pattern must match. With recurse sub-folders are searched
// (each folder once, so linked loops end) instead of being listed. Stops adding
// once results holds more than 30000 names. False when a folder cannot be read.
bool EnumFolderFiles(const FString& folder, FArray<FString>* results, const FArray<FString>* patterns,
                     bool anyPattern, bool recurse);

// Deletes files and folders, to the trash or for good. False for an empty list
// and when any of them could not be deleted (the rest are not tried).
bool DeleteFiles(const FArray<FString>* paths, bool toRecycleBin, bool withUserInterface);
// Copies or moves each source to the destination of the same index (files
// and whole folders). An existing destination is replaced, or with
// renameOnCollision the new one gets the name "name (2).ext" (or the next free
// number). Missing destination folders are made; locked destinations are never
// replaced; a copied file is complete before it appears and keeps its times
// and lock. False for an empty list, lists of different lengths, and
// at the first source that could not be transferred.
bool TransferFiles(const FArray<FString>* sources, const FArray<FString>* destinations, bool copy,
                   bool renameOnCollision, bool withUserInterface);
// TransferFiles into the folder, each file keeping its name.
bool CopyFilesToFolder(const FArray<FString>* sources, const FString& folder, bool copy, bool renameOnCollision,
                       bool withUserInterface);
// Renames oldPaths[i] to newPaths[i] in order, never over an existing entry.
// When one fails, those already renamed are renamed back and the result is
// false; lists of different lengths rename nothing.
bool RenameFiles(const FArray<FString>* newPaths, const FArray<FString>* oldPaths);

// The attribute word of a file as the file system reports it: -1 when it
// cannot be read (the file does not exist), else FILE_ATTRIBUTE_DIRECTORY
// (0x10) for a folder or FILE_ATTRIBUTE_NORMAL (0x80), with
// FILE_ATTRIBUTE_READONLY (0x1) when it is write-protected (its owner may not
// write it) or we may not write it.
int ReadFileAttributeWord(const FString& path);

// The file-drop block: a 20-byte header (file list at 20, drop point 0, 0,
// not in the non-client area, wide characters), then each path in UTF-16 with
// its zero, then one more zero; 20 + (sum of (length + 1) + 2) x 2 bytes, the
// rest zero. Empty for an empty list.
std::vector<BYTE> MakeDropFilesBlock(const FArray<FString>* paths);
