#pragma once
// The layer's own window classes (list box, list view, header, edit,
// dialog) and what they share: the class registry, notifications to the
// parent, colour requests, fonts, and the dialog manager's internals.

#include "platform/core/Core.h"
#include "platform/core/UiServices.h"
#include "platform/win/WinControls.h"
#include "platform/win/WinTreeView.h"

#include <functional>
#include <string_view>

namespace platform::core {

using NativeFactory = std::function<std::unique_ptr<NativeControl>(HWND hwnd, const CREATESTRUCTW& cs)>;
// Class names compare without regard to case. The layer's own classes are
// registered on first use; a program may add its own.
void RegisterNativeClass(std::u16string_view name, NativeFactory factory);

// WM_COMMAND (MAKEWPARAM(id, code), control) sent to the control's parent.
LRESULT NotifyParent(HWND control, WORD code);
// WM_NOTIFY to the control's parent with the header filled in.
LRESULT NotifyParent(HWND control, NMHDR& header, UINT code);
// The colour request of a control painting on `dc`: the parent's brush, or
// the system's brush for the kind when the parent gives none. The DC's text
// and background colours are what the handler left.
HBRUSH RequestColours(HWND control, UINT message, HDC dc);
// The colour of a solid brush (fallback when it is none).
COLORREF BrushColour(HBRUSH brush, COLORREF fallback);
// The window's font (WM_GETFONT), or the GUI font.
LOGFONTW WindowFont(HWND hwnd);
// Height of a text line in the window's font.
int LineHeight(HWND hwnd);
// The first item (row, line) a scroll request asks for; the caller keeps
// it in range. An unknown code keeps `top`.
int ScrolledTop(UINT code, int position, int top, int page, int count);
// The first item that shows `index` with as little scrolling as can be.
int TopShowing(int index, int top, int page);
// The left edge (pixels) a horizontal scroll request asks for; the caller
// keeps it in range.
int ScrolledLeft(UINT code, int position, int left, int line, int page, int width);
// The scroll data of a control that scrolls in items vertically (count,
// page, top) and in pixels horizontally (width, page the client width, left).
void SetItemScrollData(HWND hwnd, int count, int page, int top, int width, int left);
// Owner drawing: asks the parent for the items' height (the default when it
// leaves it), and has the parent draw one item on the control's DC.
int MeasureOwnerItems(HWND control, UINT type, int height);
void DrawOwnerItem(HWND control, UINT type, UINT item, UINT state, HDC dc, const RECT& rect, ULONG_PTR data);
// Draws one line of text the way every control of the layer does.
void DrawControlText(HDC dc, std::u16string_view text, RECT rect, UINT format);

// The dialog manager: makes the dialog window (object attached, class
// "#32770"), its controls from the template, sends WM_INITDIALOG and
// answers the window (null when the template is missing or creation failed).
HWND CreateDialogFromTemplate(CWnd* object, UINT templateId, HWND parent, LPARAM initParam, bool childWindow);
// Runs the modal loop of a dialog through the modal driver.
void RunModalLoop(HWND dialog, const std::function<bool()>& ended);
// The window of a control with the id among a dialog's descendants.
HWND FindDialogControl(HWND dialog, int id);

// The pre-translate chain of a message (the application, then the window
// chain); true when it was eaten.
bool PreTranslate(MSG& msg);
// Whether the key message last dispatched to an edit reached its own
// handling (the text entry then takes the key).
bool KeyReachedEdit(HWND hwnd);

// Draws an image of an image list (and the overlay its style names) for
// the tree view; the shell's image lists install it when they are made.
using ImageListPainter = BOOL (*)(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
void SetImageListPainter(ImageListPainter painter);

IModalDriver* ModalDriver();
IMenuDriver* MenuDriver();
IDragDriver* DragDriver();

} // namespace platform::core
