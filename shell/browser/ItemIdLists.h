#pragma once
// Helpers over the shell's item-ID lists as the folder tree uses them: sizes,
// walking, copying and joining lists, special folders, display texts and the
// file-system path of a list. Lists are allocated with CoTaskMemAlloc and
// freed with FreeIdList; every function takes null as "no list".

#include "platform/shell/WinShell.h"

#include "foundation/FString.h"

// Bytes of all IDs plus the 2-byte terminator; 0 for null.
UINT GetIdListSize(LPCITEMIDLIST list);
// The list after its first ID; null for null, an empty list, or when no ID follows.
LPITEMIDLIST GetNextItemId(LPCITEMIDLIST list);
// A new one-ID list holding the first ID; null for null or when allocation fails.
LPITEMIDLIST CopyFirstItemId(LPCITEMIDLIST list);
// A new copy; null for null or when allocation fails.
LPITEMIDLIST CloneIdList(LPCITEMIDLIST list);
// A new list: the IDs of first followed by second's; null when either is null
// or allocation fails.
LPITEMIDLIST ConcatIdLists(LPCITEMIDLIST first, LPCITEMIDLIST second);
// True when the list names the special folder (its location exists and is equal).
bool IsSpecialFolderPidl(LPCITEMIDLIST list, int csidl);
// The display text (the STRRET's own buffer is freed); empty when either
// argument is null or the conversion fails.
FString StrRetToString(STRRET* strret, LPCITEMIDLIST relative);
void FreeIdList(LPITEMIDLIST list);
// The file-system path of an absolute list; empty for null or an item without
// a path (the desktop's virtual items such as the network).
FString GetPathFromPidl(LPCITEMIDLIST list);
