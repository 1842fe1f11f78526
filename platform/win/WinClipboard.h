#pragma once
// Global memory blocks, the clipboard and the file lists that travel on it
// and in drag and drop. Qt-free. The clipboard holds Unicode text
// (CF_UNICODETEXT), file lists (CF_HDROP: a DROPFILES header and wide names)
// and the registered "Preferred DropEffect"; on the desktop these are plain
// text, a list of file URIs and the file managers' cut-or-copy mark (see
// docs/platform.md).

#include "platform/win/WinBase.h"
#include "platform/win/WinUser.h"

// Memory blocks are handles like any other (HANDLE), as in the original
// interface, so clipboard data needs no cast.
using HGLOBAL = HANDLE;
struct HDROP__;
using HDROP = HDROP__*; // an HGLOBAL holding a DROPFILES block
using CLIPFORMAT = WORD;

// Movable, zero-initialised blocks; every call on a freed handle fails.
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
void* GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
std::size_t GlobalSize(HGLOBAL block);
// Null on success, as in the original interface.
HGLOBAL GlobalFree(HGLOBAL block);

// Clipboard formats.
constexpr UINT CF_TEXT = 1;
constexpr UINT CF_UNICODETEXT = 13;
constexpr UINT CF_HDROP = 15;

// The writes between OpenClipboard and CloseClipboard replace the clipboard
// as one: EmptyClipboard, then SetClipboardData for each format (the
// clipboard takes the block). GetClipboardData answers a block the clipboard
// keeps until it is next opened. Other programs' data that does not parse
// (a URI list with bad escapes, a scheme other than file) gives no file list.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
HANDLE SetClipboardData(UINT format, HANDLE data);
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
// Shares the numbers of RegisterWindowMessageW (from 0xC000).
UINT RegisterClipboardFormatW(LPCWSTR name);
#define RegisterClipboardFormat RegisterClipboardFormatW

// A file list: the names follow the 20-byte header at pFiles, each ended by
// a zero, the list by one more zero; fWide is 1 (UTF-16 names).
struct DROPFILES {
  DWORD pFiles = 0;
  POINT pt;
  BOOL fNC = FALSE;
  BOOL fWide = FALSE;
};
static_assert(sizeof(DROPFILES) == 20);

// index 0xFFFFFFFF: the number of names. Otherwise the length of that name
// (without its zero) when buffer is null, else the characters copied (at
// most maxCount - 1, then a zero). 0 for a block that is not a valid list.
UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR buffer, UINT maxCount);
#define DragQueryFile DragQueryFileW
void DragFinish(HDROP drop);

// Drop effects.
using DROPEFFECT = DWORD;
constexpr DROPEFFECT DROPEFFECT_NONE = 0;
constexpr DROPEFFECT DROPEFFECT_COPY = 1;
constexpr DROPEFFECT DROPEFFECT_MOVE = 2;
constexpr DROPEFFECT DROPEFFECT_LINK = 4;
constexpr DROPEFFECT DROPEFFECT_SCROLL = 0x80000000;
// Key states of drag notifications: MK_LBUTTON, MK_RBUTTON, MK_MBUTTON,
// MK_SHIFT, MK_CONTROL (WinUser.h) and Alt.
constexpr DWORD MK_ALT = 0x0020;

// How data objects hand out their data.
constexpr DWORD TYMED_NULL = 0;
constexpr DWORD TYMED_HGLOBAL = 1;
constexpr DWORD DVASPECT_CONTENT = 1;
struct FORMATETC {
  CLIPFORMAT cfFormat = 0;
  void* ptd = nullptr;
  DWORD dwAspect = DVASPECT_CONTENT;
  LONG lindex = -1;
  DWORD tymed = TYMED_HGLOBAL;
};
using LPFORMATETC = FORMATETC*;
struct STGMEDIUM {
  DWORD tymed = TYMED_NULL;
  HGLOBAL hGlobal = nullptr;
  void* pUnkForRelease = nullptr;
};
using LPSTGMEDIUM = STGMEDIUM*;
// Frees the medium's block.
void ReleaseStgMedium(LPSTGMEDIUM medium);
