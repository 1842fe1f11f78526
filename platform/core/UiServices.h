#pragma once
// What the layer's dialogs, controls, menus, clipboard and drag and drop ask
// of the back end beyond IHost, and the drivers of everything that blocks
// in a loop of the window system or needs a person (modal runs, pop-up
// menus, drags): the back end supplies the real ones, tests script them.
// Without a back end (the core alone) the layer keeps text entries and the
// clipboard in memory and pop-ups and drags choose nothing.

#include "platform/core/Core.h"
#include "platform/win/WinClipboard.h"
#include "platform/win/WinMenus.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform::core {

// Data by the desktop's MIME type (the clipboard's and drags' form)...
using MimeBag = std::vector<std::pair<std::string, std::string>>;
// ...and by clipboard format (the program's form).
using DataBag = std::map<UINT, std::vector<std::uint8_t>>;

// ---- The edit control's text entry ----------------------------------------------

class ITextEditEvents {
public:
  virtual ~ITextEditEvents() = default;
  virtual void TextChanged() = 0;   // by the person or by SetText
  virtual void ScrollChanged() = 0; // line count, first visible line or page
};

// A text entry inside a window's client area: a single line or many.
// Positions are UTF-16 units; lines are the lines shown (wrapped lines count).
class ITextEdit {
public:
  virtual ~ITextEdit() = default;
  virtual void SetText(std::u16string_view text) = 0;
  virtual std::u16string Text() const = 0;
  // start -1 removes the selection; end -1 selects to the end.
  virtual void SetSelection(int start, int end) = 0;
  virtual void GetSelection(int& start, int& end) const = 0;
  virtual void ReplaceSelection(std::u16string_view text) = 0;
  virtual void SetLimit(int characters) = 0;
  virtual void SetReadOnly(bool readOnly) = 0;
  virtual void SetFont(const LOGFONTW& font) = 0;
  virtual void SetColours(COLORREF text, COLORREF background) = 0;
  // The formatting rectangle in the window's client coordinates.
  virtual RECT FormatRect() const = 0;
  virtual int LineCount() const = 0;
  virtual int FirstVisibleLine() const = 0;
  virtual int VisibleLines() const = 0;
  virtual void SetFirstVisibleLine(int line) = 0;
  virtual void Undo() = 0;
  virtual bool CanUndo() const = 0;
  // The back end's keyboard focus moves into the entry.
  virtual void TakeFocus() = 0;
};

// ---- The back end's services ------------------------------------------------------

class IUiServices {
public:
  virtual ~IUiServices() = default;
  virtual std::unique_ptr<ITextEdit> CreateTextEdit(HWND hwnd, bool multiline, ITextEditEvents* events) = 0;
  // Shows the menu as the top-level window's menu bar (null removes it);
  // opening one of its pop-ups calls MenuPopupShowing first.
  virtual void SetMenuBar(HWND hwnd, HMENU menu) = 0;
  virtual UINT TrackPopupMenu(HMENU menu, UINT flags, POINT screen, HWND owner) = 0;
  virtual MimeBag ReadClipboard() = 0;
  virtual void WriteClipboard(const MimeBag& data) = 0;
  virtual void AcceptDrops(HWND hwnd, bool accept) = 0;
  virtual DROPEFFECT RunDrag(const MimeBag& data, DROPEFFECT allowed) = 0;
  // SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED or SW_SHOWNORMAL, as the layer decided.
  virtual void SetShowState(HWND hwnd, int state) = 0;
};
void SetUiServices(IUiServices* services);
IUiServices* UiServices();

// ---- Drivers ------------------------------------------------------------------------

// Runs a modal dialog's loop until `ended` (EndDialog, a quit, or the
// window gone).
class IModalDriver {
public:
  virtual ~IModalDriver() = default;
  virtual void RunModal(HWND dialog, const std::function<bool()>& ended) = 0;
};
// Shows a pop-up menu and answers the chosen command (0: none).
class IMenuDriver {
public:
  virtual ~IMenuDriver() = default;
  virtual UINT Track(HMENU menu, UINT flags, POINT screen, HWND owner) = 0;
};
// Runs a drag of the data and answers the effect the drop target chose.
class IDragDriver {
public:
  virtual ~IDragDriver() = default;
  virtual DROPEFFECT Drag(const DataBag& data, DROPEFFECT allowed) = 0;
};
// Null restores the back end's driver.
void SetModalDriver(IModalDriver* driver);
void SetMenuDriver(IMenuDriver* driver);
void SetDragDriver(IDragDriver* driver);

// ---- What the back end reports ----------------------------------------------------

// The person resized or moved a top-level window to `proposed` (screen):
// WM_SIZING with the dragged edge, then the rectangle the window agreed to.
void UserResized(HWND hwnd, RECT proposed);
// The window system framed a top-level window anew (a window manager took it,
// or its decoration changed): the window keeps its rectangle, the frame
// takes its part of it and the client area what is left (WM_SIZE when that
// changed). False when the frame is the one the window has.
bool UserFrameChanged(HWND hwnd, RECT frame);
// The session ends (SIGTERM as it ends, SIGHUP, SIGINT): the program closes
// as its close command does. The back end calls this again and again (a few
// times a second) until it answers false. Each call cancels the innermost
// modal dialog not cancelled yet (as Esc does) and, once none runs, asks the
// main window to close (WM_CLOSE) once; without a main window every loop ends.
bool ContinueEndingSession();
// The innermost modal dialog of the layer that runs now (null: none).
HWND InnermostModalDialog();
// The window system activated a top-level window (a click, the window
// manager): it becomes the layer's active window unless it is disabled (a
// window under a modal dialog leaves the activation with the dialog).
void UserActivated(HWND hwnd);
// The window system minimised, maximised or restored a window: WM_SYSCOMMAND
// first; when its handler does not carry it out, the back end is told the
// layer's state again.
void UserShowState(HWND hwnd, int state);
// A pop-up of the window's menu bar is about to show: WM_INITMENUPOPUP (the
// update handlers run).
void MenuPopupShowing(HWND hwnd, HMENU popup, int index);
// A menu item was chosen on the menu bar (posted as WM_COMMAND).
void MenuCommandChosen(HWND hwnd, UINT id);

// A drag over a window that registered a drop target: the target nearest
// the window (itself or an ancestor) answers. Points in screen coordinates.
DROPEFFECT DragEnter(HWND hwnd, const DataBag& data, DWORD keyState, POINT screen, DROPEFFECT allowed);
DROPEFFECT DragOver(HWND hwnd, DWORD keyState, POINT screen, DROPEFFECT allowed);
void DragLeave();
DROPEFFECT Drop(HWND hwnd, DWORD keyState, POINT screen, DROPEFFECT allowed);

// ---- Clipboard and drag formats ------------------------------------------------------

UINT DropEffectFormat(); // "Preferred DropEffect"
// The MIME types FromMime reads (the only ones worth fetching).
const std::vector<std::string>& KnownMimeTypes();
// The program's data as the desktop's: file lists as file URIs (and the file
// managers' cut-or-copy mark), text as UTF-8, each also in a private form.
MimeBag ToMime(const DataBag& data);
// The desktop's data as the program's: only file lists that parse (local
// file URIs, or the private block when it is valid) and text; anything else
// of another program is left out.
DataBag FromMime(const MimeBag& mime);
// A DROPFILES block of the paths (wide names), and the paths of a valid block.
std::vector<std::uint8_t> BuildDropFiles(const std::vector<std::u16string>& paths);
bool ParseDropFiles(const std::uint8_t* bytes, std::size_t size, std::vector<std::u16string>& paths);
// file:// URIs of local paths, and the paths of a URI list (lines that are
// not well-formed local file URIs are skipped).
std::string BuildUriList(const std::vector<std::u16string>& paths, const char* separator);
std::vector<std::u16string> ParseUriList(std::string_view text);

// A global block holding a copy of the bytes (null when they cannot be had).
HGLOBAL GlobalFromBytes(const std::vector<std::uint8_t>& bytes);
// A copy of a block's bytes (empty for a freed handle); CopyBlock tells the two apart.
std::vector<std::uint8_t> BytesOfGlobal(HGLOBAL block);
bool CopyBlock(HGLOBAL block, std::vector<std::uint8_t>& bytes);

} // namespace platform::core
