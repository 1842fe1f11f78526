#pragma once
// The shell's services under the window system's names: the folder
// namespace (item-ID lists, folders, attributes, display names), change
// notifications, the system image list and file information, special
// folders, file types and their programs, and launching documents and
// programs. Qt-free; the library platform_shell (it needs the foundation and
// the window layer, or its core alone).
//
// The namespace is a folder source over POSIX paths: the root (the desktop,
// an empty list; its path is the user's desktop folder) holds the home
// folder, the file system ("/"), each mounted removable medium and, when
// network file systems are mounted, "Network" with their shares. Below
// those, folders are items named by their folder names. A path is parsed
// along the most specific of these routes: a medium's or a share's mount
// point, else the home folder, else "/".
//
// Item IDs are the layout of the original: a 16-bit byte count (counting
// itself) followed by its data; a list ends with a count of 0. Lists come
// from CoTaskMemAlloc and go back with CoTaskMemFree (or ILFree).

#include "platform/win/WinGdi.h"

#include "foundation/FSCDiskWin.h" // the special folders' numbers CSIDL_*

#include <cstdint>

// ---- Results -----------------------------------------------------------------------

using HRESULT = std::int32_t;
#ifndef S_OK
#define S_OK (static_cast<HRESULT>(0))
#define S_FALSE (static_cast<HRESULT>(1))
#define E_NOTIMPL (static_cast<HRESULT>(0x80004001u))
#define E_NOINTERFACE (static_cast<HRESULT>(0x80004002u))
#define E_POINTER (static_cast<HRESULT>(0x80004003u))
#define E_FAIL (static_cast<HRESULT>(0x80004005u))
#define E_OUTOFMEMORY (static_cast<HRESULT>(0x8007000Eu))
#define E_INVALIDARG (static_cast<HRESULT>(0x80070057u))
#endif
#ifndef SUCCEEDED
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#endif
// The low 16 bits of a CompareIDs result, as a signed number.
constexpr short HRESULT_CODE_SHORT(HRESULT hr) { return static_cast<short>(static_cast<std::uint32_t>(hr) & 0xFFFF); }
#ifndef MAX_PATH
#define MAX_PATH 260
#endif

// Special folders beyond the foundation's: virtual folders that do not exist
// here (locating them fails), and the flag that creates a missing folder.
constexpr int CSIDL_CONTROLS = 0x0003;
constexpr int CSIDL_PRINTERS = 0x0004;
constexpr int CSIDL_BITBUCKET = 0x000A;
constexpr int CSIDL_FLAG_CREATE = 0x8000;

// ---- Item-ID lists ----------------------------------------------------------------------

using USHORT = std::uint16_t;
using LPCVOID = const void*;
#pragma pack(push, 1)
struct SHITEMID {
  USHORT cb;
  BYTE abID[1];
};
struct ITEMIDLIST {
  SHITEMID mkid;
};
#pragma pack(pop)
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;
using PIDLIST_RELATIVE = ITEMIDLIST*;
using PCUIDLIST_RELATIVE = const ITEMIDLIST*;
using PITEMID_CHILD = ITEMIDLIST*;
using PCUITEMID_CHILD = const ITEMIDLIST*;
using PCUITEMID_CHILD_ARRAY = const PCUITEMID_CHILD*;

LPVOID CoTaskMemAlloc(std::size_t bytes);
void CoTaskMemFree(LPVOID memory);
void ILFree(LPITEMIDLIST list);
// Byte-wise equal lists (item IDs are canonical here).
BOOL ILIsEqual(PCIDLIST_ABSOLUTE a, PCIDLIST_ABSOLUTE b);

// ---- Folders ------------------------------------------------------------------------------

using SFGAOF = ULONG;
constexpr SFGAOF SFGAO_CANCOPY = 0x00000001;
constexpr SFGAOF SFGAO_CANMOVE = 0x00000002;
constexpr SFGAOF SFGAO_CANRENAME = 0x00000010;
constexpr SFGAOF SFGAO_CANDELETE = 0x00000020;
constexpr SFGAOF SFGAO_SHARE = 0x00020000;
constexpr SFGAOF SFGAO_READONLY = 0x00040000;
constexpr SFGAOF SFGAO_REMOVABLE = 0x02000000;
constexpr SFGAOF SFGAO_FOLDER = 0x20000000;
constexpr SFGAOF SFGAO_FILESYSTEM = 0x40000000;
constexpr SFGAOF SFGAO_HASSUBFOLDER = 0x80000000;

using SHCONTF = DWORD;
constexpr SHCONTF SHCONTF_FOLDERS = 0x0020;
constexpr SHCONTF SHCONTF_NONFOLDERS = 0x0040; // not listed: the source lists folders only
constexpr SHCONTF SHCONTF_INCLUDEHIDDEN = 0x0080;

using SHGDNF = DWORD;
constexpr SHGDNF SHGDN_NORMAL = 0x0000;
constexpr SHGDNF SHGDN_INFOLDER = 0x0001;
constexpr SHGDNF SHGDN_FORPARSING = 0x8000; // the full path

constexpr UINT STRRET_WSTR = 0;
struct STRRET {
  UINT uType = STRRET_WSTR;
  LPWSTR pOleStr = nullptr; // CoTaskMemAlloc'd
};
// The text of a STRRET as a new CoTaskMemAlloc'd string; the STRRET's own
// string is freed.
HRESULT StrRetToStrW(STRRET* strret, PCUITEMID_CHILD item, LPWSTR* out);

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
  bool operator==(const GUID&) const = default;
};
using IID = GUID;
using REFIID = const IID&;
inline constexpr IID IID_IShellFolder = {0x000214E6, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Reference-counted: each holder calls Release once.
class IUnknownObject {
public:
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

protected:
  virtual ~IUnknownObject() = default;
};

class IEnumIDList : public IUnknownObject {
public:
  // The next `count` child IDs (each a new list the caller frees); S_FALSE
  // when fewer were left.
  virtual HRESULT Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
};

class IShellFolder : public IUnknownObject {
public:
  // A path (absolute, or relative to this folder) as a list relative to this folder.
  virtual HRESULT ParseDisplayName(HWND owner, void* bindContext, LPWSTR name, ULONG* eaten, PIDLIST_RELATIVE* list,
                                   ULONG* attributes) = 0;
  virtual HRESULT EnumObjects(HWND owner, SHCONTF flags, IEnumIDList** list) = 0;
  // The folder of a (possibly multi-level) relative list; only IID_IShellFolder.
  virtual HRESULT BindToObject(PCUIDLIST_RELATIVE list, void* bindContext, REFIID riid, void** folder) = 0;
  // S_OK with -1, 0 or 1 in the low 16 bits (HRESULT_CODE_SHORT): the
  // desktop's items in their fixed order, folders by name in natural order.
  virtual HRESULT CompareIDs(LPARAM lParam, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) = 0;
  // *inOut: the attributes asked for, answered with those all items have.
  virtual HRESULT GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY items, SFGAOF* inOut) = 0;
  virtual HRESULT GetDisplayNameOf(PCUITEMID_CHILD item, SHGDNF flags, STRRET* name) = 0;
};
using LPSHELLFOLDER = IShellFolder*;

HRESULT SHGetDesktopFolder(IShellFolder** desktop);
// The list of a special folder: the desktop (empty list) or a folder of the
// file system; virtual folders that do not exist here (CSIDL_CONTROLS,
// CSIDL_PRINTERS, CSIDL_BITBUCKET) fail.
HRESULT SHGetFolderLocation(HWND owner, int csidl, HANDLE token, DWORD reserved, PIDLIST_ABSOLUTE* list);
HRESULT SHGetSpecialFolderLocation(HWND owner, int csidl, PIDLIST_ABSOLUTE* list);
// The absolute list of an existing folder's path.
HRESULT SHParseDisplayName(LPCWSTR name, void* bindContext, PIDLIST_ABSOLUTE* list, SFGAOF query, SFGAOF* out);
// The path of a list into MAX_PATH characters (the Ex form: `size`
// characters); FALSE for an item without a path or a path that does not fit.
BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path);
BOOL SHGetPathFromIDListEx(PCIDLIST_ABSOLUTE list, LPWSTR path, DWORD size, DWORD flags);
#define SHGetPathFromIDList SHGetPathFromIDListW

// Special folders' paths (created when missing).
HRESULT SHGetFolderPathW(HWND owner, int csidl, HANDLE token, DWORD flags, LPWSTR path);
BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int csidl, BOOL create);
#define SHGetFolderPath SHGetFolderPathW
#define SHGetSpecialFolderPath SHGetSpecialFolderPathW

// DRIVE_* (FIFolder's) of the file system holding the path; DRIVE_NO_ROOT
// when the path does not exist.
UINT GetDriveTypeW(LPCWSTR path);
#define GetDriveType GetDriveTypeW

// Natural order: digit runs by their value, letters without regard to case.
int StrCmpLogicalW(LPCWSTR a, LPCWSTR b);

// ---- Change notifications -------------------------------------------------------------------

constexpr LONG SHCNE_RENAMEITEM = 0x00000001;
constexpr LONG SHCNE_CREATE = 0x00000002;
constexpr LONG SHCNE_DELETE = 0x00000004;
constexpr LONG SHCNE_MKDIR = 0x00000008;
constexpr LONG SHCNE_RMDIR = 0x00000010;
constexpr LONG SHCNE_MEDIAINSERTED = 0x00000020;
constexpr LONG SHCNE_MEDIAREMOVED = 0x00000040;
constexpr LONG SHCNE_DRIVEREMOVED = 0x00000080;
constexpr LONG SHCNE_DRIVEADD = 0x00000100;
constexpr LONG SHCNE_RENAMEFOLDER = 0x00020000;
constexpr UINT SHCNF_IDLIST = 0x0000;
constexpr UINT SHCNF_PATHW = 0x0005;
constexpr int SHCNRF_InterruptLevel = 0x0001;
constexpr int SHCNRF_ShellLevel = 0x0002;

struct SHChangeNotifyEntry {
  PCIDLIST_ABSOLUTE pidl = nullptr;
  BOOL fRecursive = FALSE;
};

// The window gets `message` for each event of `events` at or below the
// entries' items (the desktop, recursive: everywhere), wParam pointing to two
// absolute lists (the second null unless the event has one) valid during the
// handler, lParam the event. Events come from the program's SHChangeNotify
// and from the file system: folders made or removed in folders the source
// has listed (a rename as a removal and a creation), and media and network
// shares mounted or unmounted (SHCNE_DRIVEADD, SHCNE_DRIVEREMOVED). They are
// posted, so they arrive after the current handler returned. 0 on failure.
ULONG SHChangeNotifyRegister(HWND window, int sources, LONG events, UINT message, int entryCount,
                             const SHChangeNotifyEntry* entries);
BOOL SHChangeNotifyDeregister(ULONG registration);
// item1 and item2 are paths (SHCNF_PATHW) or absolute lists (SHCNF_IDLIST).
void SHChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID item2);

// ---- The system image list and file information ---------------------------------------------

struct HIMAGELIST__;
using HIMAGELIST = HIMAGELIST__*;
constexpr UINT ILD_NORMAL = 0x0000;
constexpr UINT ILD_TRANSPARENT = 0x0001;
constexpr UINT ILD_OVERLAYMASK = 0x0F00;
constexpr UINT INDEXTOOVERLAYMASK(UINT i) { return i << 8; }

int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy);
// Draws an image (over what the DC shows), then the overlay its style names.
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
// A new icon of an image (DestroyIcon frees it).
HICON ImageList_GetIcon(HIMAGELIST list, int index, UINT flags);

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;

constexpr UINT SHGFI_LARGEICON = 0x0000;
constexpr UINT SHGFI_SMALLICON = 0x0001;
constexpr UINT SHGFI_OPENICON = 0x0002;
constexpr UINT SHGFI_PIDL = 0x0008;
constexpr UINT SHGFI_USEFILEATTRIBUTES = 0x0010;
constexpr UINT SHGFI_ICON = 0x0100;
constexpr UINT SHGFI_DISPLAYNAME = 0x0200;
constexpr UINT SHGFI_TYPENAME = 0x0400;
constexpr UINT SHGFI_ATTRIBUTES = 0x0800;
constexpr UINT SHGFI_SYSICONINDEX = 0x4000;

struct SHFILEINFOW {
  HICON hIcon = nullptr;
  int iIcon = 0;
  DWORD dwAttributes = 0;
  WCHAR szDisplayName[MAX_PATH] = {};
  WCHAR szTypeName[80] = {};
};
using SHFILEINFO = SHFILEINFOW;

// File information of a path (or, with SHGFI_PIDL, of an absolute list):
// with SHGFI_SYSICONINDEX the answer is the system image list (small icons
// with SHGFI_SMALLICON: 16 x 16, else 32 x 32) and iIcon the item's image,
// the open folder's with SHGFI_OPENICON; icons come from the desktop's icon
// theme (folders, drives, home, network, and each file type's) with a set of
// the layer's own where the theme has none. SHGFI_USEFILEATTRIBUTES judges by
// the name and `attributes` without touching the disk. 0 on failure.
DWORD_PTR SHGetFileInfoW(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT size, UINT flags);
#define SHGetFileInfo SHGetFileInfoW

// ---- File types, their programs and launching ------------------------------------------------

using ASSOCF = DWORD;
constexpr ASSOCF ASSOCF_NONE = 0;
enum ASSOCSTR : int { ASSOCSTR_COMMAND = 1, ASSOCSTR_EXECUTABLE = 2 };
#ifndef HRESULT_FROM_WIN32_NO_ASSOCIATION
#define HRESULT_FROM_WIN32_NO_ASSOCIATION (static_cast<HRESULT>(0x80070483u))
#endif

// The open command of a file type (".avi" or "avi"): the desktop entry of
// the type's default program (xdg-mime) gives its Exec line, with the
// program as a quoted absolute path: "\"/usr/bin/vlc\" --started-from-file %U".
// ASSOCSTR_EXECUTABLE gives the program's path alone. *size holds the room in
// characters and is answered with the need (with the final 0); E_POINTER
// when it does not fit, HRESULT_FROM_WIN32_NO_ASSOCIATION without a program.
HRESULT AssocQueryStringW(ASSOCF flags, ASSOCSTR what, LPCWSTR type, LPCWSTR verb, LPWSTR out, DWORD* size);
#define AssocQueryString AssocQueryStringW

constexpr int SE_ERR_FNF = 2;
constexpr int SE_ERR_NOASSOC = 31;

// Opens a document with its type's program (the desktop entry's Exec line,
// its field codes given the file), or a URL or a file of no known type with
// xdg-open; always started with an argument vector, never through a shell,
// in the document's folder, running on its own. Above 32 when started;
// SE_ERR_FNF for a missing file, SE_ERR_NOASSOC when nothing can open it.
HINSTANCE ShellExecuteW(HWND owner, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters, LPCWSTR folder, INT show);
#define ShellExecute ShellExecuteW
// The program that opens the file (its type's executable) into MAX_PATH
// characters: above 32 when there is one, SE_ERR_NOASSOC when none,
// SE_ERR_FNF when the file does not exist.
HINSTANCE FindExecutableW(LPCWSTR file, LPCWSTR folder, LPWSTR program);
#define FindExecutable FindExecutableW

struct STARTUPINFOW {
  DWORD cb = sizeof(STARTUPINFOW);
  DWORD dwFlags = 0;
  WORD wShowWindow = 0;
};
struct PROCESS_INFORMATION {
  HANDLE hProcess = nullptr; // not kept: there is nothing to close
  HANDLE hThread = nullptr;
  DWORD dwProcessId = 0;
  DWORD dwThreadId = 0;
};
// Starts the program of a command line split by the original's rules
// (quoted arguments, backslashes before quotes) into an argument vector, in
// `folder` when given; it runs on its own. `application`, when given, is the
// program and the command line's arguments follow it.
BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, void* processAttributes, void* threadAttributes,
                    BOOL inheritHandles, DWORD creationFlags, void* environment, LPCWSTR folder,
                    STARTUPINFOW* startup, PROCESS_INFORMATION* process);
#define CreateProcess CreateProcessW
