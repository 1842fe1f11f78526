// The dialog manager: dialogs and form views made from registered templates,
// the dialog class's own procedure (erasing through WM_CTLCOLORDLG, Esc and
// the close box as IDCANCEL, the default button), the dialog keys, modal runs
// that disable and re-enable their owner, and the framework's CDialog.

#include "platform/afx/AfxDialog.h"
#include "platform/core/Controls.h"
#include "platform/core/UiServices.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace platform::core {
namespace {

// The class procedure of dialogs (and form views): "#32770".
class DialogClass : public NativeControl {
public:
  ~DialogClass() override {
    if (font) DeleteObject(font);
  }

  LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
    case WM_ERASEBKGND: {
      auto dc = reinterpret_cast<HDC>(wParam);
      HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(hwnd, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(hwnd)));
      if (!brush) brush = GetSysColorBrush(COLOR_3DFACE);
      RECT client;
      GetClientRect(hwnd, &client);
      FillRect(dc, &client, brush);
      return TRUE;
    }
    case WM_CLOSE:
      SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
      return 0;
    case DM_GETDEFID: {
      const int id = defaultId ? static_cast<int>(defaultId) : DefaultButtonId(hwnd);
      return id ? static_cast<LRESULT>(MAKELONG(static_cast<WORD>(id), DC_HASDEFID)) : 0;
    }
    case DM_SETDEFID: defaultId = static_cast<UINT>(wParam); return TRUE;
    case WM_SETFOCUS:
      if (HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE)) SetFocus(first);
      return 0;
    case WM_NEXTDLGCTL: {
      const HWND target = lParam ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(hwnd, GetFocus(), wParam != 0);
      if (target) FocusControl(target);
      return 0;
    }
    case WM_INITDIALOG: return TRUE;
    default: return GenericWindowProc(hwnd, message, wParam, lParam);
    }
  }

  // A control that calls itself the default button.
  static int DefaultButtonId(HWND dialog) {
    WindowRecord* r = Record(dialog);
    if (!r) return 0;
    for (HWND child : r->children) {
      if (SendMessageW(child, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) return GetDlgCtrlID(child);
    }
    return 0;
  }

  static void FocusControl(HWND control) {
    SetFocus(control);
    if (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(control, EM_SETSEL, 0, -1);
  }

  HFONT font = nullptr;
  UINT defaultId = 0;
};

HWND TopLevelOf(HWND hwnd) {
  while (HWND parent = GetParent(hwnd)) hwnd = parent;
  return hwnd;
}

HFONT DialogFont(const DialogTemplate& t) {
  LOGFONTW lf;
  lf.lfHeight = -static_cast<LONG>(std::lround(t.fontPoints * 96.0 / 72.0));
  lf.lfWeight = FW_NORMAL;
  const std::size_t n = std::min<std::size_t>(t.fontFace.size(), LF_FACESIZE - 1);
  std::copy_n(t.fontFace.data(), n, lf.lfFaceName);
  return CreateFontIndirectW(&lf);
}

// The rectangle of a dialog window: a child at its parent's origin, a
// top-level one centred over its owner (or the screen).
// A window manager's frame (known once the window exists) is part of the
// window's rectangle, around the template's client area.
RECT DialogRect(const DialogTemplate& t, DWORD style, HWND parent, const RECT& frame = {}) {
  WindowRecord probe;
  probe.style = style;
  probe.exStyle = t.exStyle;
  const int border = BorderWidth(probe);
  const SIZE client = DialogUnitsToPixels(t.size);
  const int width = client.cx + 2 * border + frame.left + frame.right;
  const int height = client.cy + 2 * border + frame.top + frame.bottom;
  if (style & WS_CHILD) return {0, 0, width, height};
  RECT around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (parent && IsWindowVisible(parent)) GetWindowRect(parent, &around);
  const int x = around.left + (around.right - around.left - width) / 2;
  const int y = around.top + (around.bottom - around.top - height) / 2;
  return {x, y, x + width, y + height};
}

// The template's controls, in its order (which is the tab order).
bool CreateControls(const DialogTemplate& t, CWnd* dialog, HFONT font) {
  for (const DialogItemTemplate& item : t.items) {
    auto object = std::make_unique<CWnd>();
    const RECT rect = DialogUnitsToPixels(item.rect);
    if (!object->CreateEx(item.exStyle, item.className.c_str(), item.text.c_str(), WS_CHILD | item.style, rect,
                          dialog, static_cast<UINT>(item.id))) {
      Diagnostic("dialog %u: control %d (class of %zu characters) was not created", t.id, item.id,
                 item.className.size());
      return false;
    }
    const HWND control = object->m_hWnd;
    Record(control)->ownedObject = std::move(object);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (!IsLiveWindow(dialog->m_hWnd)) return false;
  }
  return true;
}

} // namespace

std::unique_ptr<NativeControl> MakeDialogClass(HWND, const CREATESTRUCTW&) { return std::make_unique<DialogClass>(); }

HWND FindDialogControl(HWND dialog, int id) { return GetDlgItem(dialog, id); }

HWND CreateDialogFromTemplate(CWnd* object, UINT templateId, HWND parent, LPARAM initParam, bool childWindow) {
  const DialogTemplate* found = FindDialogTemplate(templateId);
  if (!object || !found) {
    Diagnostic("no dialog template %u", templateId);
    return nullptr;
  }
  const DialogTemplate t = *found; // a copy: the registry may change meanwhile
  DWORD style = t.style & ~WS_VISIBLE;
  if (childWindow) style = (style & ~(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME)) | WS_CHILD;
  // A top-level dialog is owned by its parent's top-level window.
  const HWND host = childWindow ? parent : (parent ? TopLevelOf(parent) : nullptr);
  CWnd* hostObject = CWnd::FromHandle(host);
  if (host && !hostObject) return nullptr;
  if (!object->CreateEx(t.exStyle, WC_DIALOG, t.caption.c_str(), style, DialogRect(t, style, host), hostObject, 0)) {
    return nullptr;
  }
  const HWND dialog = object->m_hWnd;
  if (const RECT frame = Record(dialog)->frame; !childWindow && frame != RECT{}) {
    const RECT framed = DialogRect(t, style, host, frame);
    SetWindowPos(dialog, nullptr, framed.left, framed.top, framed.right - framed.left, framed.bottom - framed.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (!IsLiveWindow(dialog)) return nullptr;
  }
  const HFONT font = DialogFont(t);
  if (auto* native = dynamic_cast<DialogClass*>(Record(dialog)->native.get())) {
    native->font = font;
  }
  SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (!CreateControls(t, object, font)) {
    if (IsLiveWindow(dialog)) DestroyWindow(dialog);
    return nullptr;
  }
  const HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
  const LRESULT focusFirst = CallWindowProc(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), initParam);
  if (!IsLiveWindow(dialog)) return nullptr;
  if (focusFirst && IsLiveWindow(first)) DialogClass::FocusControl(first);
  return dialog;
}

void RunModalLoop(HWND dialog, const std::function<bool()>& ended) {
  if (IModalDriver* driver = ModalDriver()) {
    driver->RunModal(dialog, ended);
  } else {
    RunLoop(ended);
  }
}

} // namespace platform::core

using namespace platform::core;

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  WindowRecord* r = IsGuiThread() ? Record(dialog) : nullptr;
  if (!r) return nullptr;
  // Children are kept top first; the template made them in tab order, each
  // on top of the last.
  std::vector<HWND> order(r->children.rbegin(), r->children.rend());
  std::vector<HWND> stops;
  // A control's own visible and disabled state counts (the dialog itself may
  // not be shown yet).
  for (HWND child : order) {
    const DWORD style = static_cast<DWORD>(GetWindowStyle(child));
    if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) stops.push_back(child);
  }
  if (stops.empty()) return nullptr;
  // The control may be a window inside a tab stop.
  while (control && GetParent(control) != dialog) control = GetParent(control);
  auto at = std::find(stops.begin(), stops.end(), control);
  if (at == stops.end()) return previous ? stops.back() : stops.front();
  const std::size_t i = static_cast<std::size_t>(at - stops.begin());
  const std::size_t n = stops.size();
  return stops[previous ? (i + n - 1) % n : (i + 1) % n];
}

BOOL IsDialogMessageW(HWND dialog, LPMSG msg) {
  if (!msg || !IsGuiThread() || !IsLiveWindow(dialog)) return FALSE;
  if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
  if (msg->message != WM_KEYDOWN) return FALSE;
  const HWND focus = GetFocus();
  const bool inside = focus && (focus == dialog || IsChild(dialog, focus));
  const LRESULT code = inside ? SendMessageW(focus, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg)) : 0;
  switch (msg->wParam) {
  case VK_TAB: {
    if (code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) return FALSE;
    const bool back = (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
    if (HWND next = GetNextDlgTabItem(dialog, inside ? focus : nullptr, back ? TRUE : FALSE)) {
      SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
    }
    return TRUE;
  }
  case VK_RETURN: {
    if (code & DLGC_WANTALLKEYS) return FALSE;
    int id = IDOK;
    if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
      id = GetDlgCtrlID(focus);
    } else {
      const auto defId = static_cast<DWORD>(SendMessageW(dialog, DM_GETDEFID, 0, 0));
      if (HIWORD(defId) == DC_HASDEFID) id = LOWORD(defId);
    }
    const HWND button = GetDlgItem(dialog, id);
    if (button && !IsWindowEnabled(button)) return TRUE;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return TRUE;
  }
  case VK_ESCAPE: {
    const HWND button = GetDlgItem(dialog, IDCANCEL);
    if (button && !IsWindowEnabled(button)) return TRUE;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return TRUE;
  }
  default: return FALSE;
  }
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  auto* object = dynamic_cast<CDialog*>(CWnd::FromHandle(dialog));
  if (!object) return FALSE;
  object->EndDialog(static_cast<int>(result));
  return TRUE;
}

// ---- CDialog ----------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
  ON_COMMAND(IDOK, OnOK)
  ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

// Ends a modal run: hides the dialog, re-enables the owner it disabled,
// gives the owner the activation back and destroys the dialog (through the
// object's DestroyWindow, so derived dialogs undo what they did). Runs on the
// way out of DoModal whether it returns or a handler threw.
// The modal dialogs running now, innermost last.
std::vector<HWND>& ModalDialogs() {
  static std::vector<HWND> dialogs;
  return dialogs;
}

struct DialogModalRun {
  CDialog* dialog;
  HWND owner;
  bool enableOwner;
  bool finished = false;
  HWND running = nullptr;

  void Finish() {
    finished = true;
    auto& modal = ModalDialogs();
    modal.erase(std::remove(modal.begin(), modal.end(), running), modal.end());
    dialog->m_modal = false;
    const HWND hwnd = dialog->m_hWnd;
    if (IsLiveWindow(hwnd)) ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE |
                                                                        SWP_NOZORDER | SWP_NOACTIVATE);
    if (enableOwner && IsLiveWindow(owner)) ::EnableWindow(owner, TRUE);
    if (owner && IsLiveWindow(owner) && (!GetActiveWindow() || GetActiveWindow() == hwnd)) SetActiveWindow(owner);
    if (dialog->m_hWnd) dialog->DestroyWindow();
  }

  ~DialogModalRun() {
    if (finished) return;
    try {
      Finish();
    } catch (...) {
      Diagnostic("a second exception while a modal dialog ended by an exception was dropped");
    }
  }
};

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
  if (m_hWnd) return -1;
  CWnd* parent = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
  const HWND owner = parent && IsLiveWindow(parent->m_hWnd) ? TopLevelOf(parent->m_hWnd) : nullptr;
  const bool enableOwner = owner && ::IsWindowEnabled(owner);
  if (enableOwner) ::EnableWindow(owner, FALSE);
  m_modal = true;
  m_endPending = false;
  m_nModalResult = -1;
  DialogModalRun run{this, owner, enableOwner};
  const HWND dialog = CreateDialogFromTemplate(this, m_nIDTemplate, owner, 0, false);
  if (dialog && !m_endPending) {
    run.running = dialog;
    ModalDialogs().push_back(dialog);
    ::ShowWindow(dialog, SW_SHOWNORMAL);
    RunModalLoop(dialog, [this, dialog] { return m_endPending || !IsLiveWindow(dialog); });
  }
  run.Finish();
  return dialog ? m_nModalResult : -1;
}

namespace platform::core {

HWND InnermostModalDialog() {
  const auto& modal = ModalDialogs();
  for (auto it = modal.rbegin(); it != modal.rend(); ++it) {
    if (IsLiveWindow(*it)) return *it;
  }
  return nullptr;
}

} // namespace platform::core

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  if (m_hWnd) return FALSE;
  m_nIDTemplate = templateId;
  m_pParentWnd = parent;
  const HWND dialog = CreateDialogFromTemplate(this, templateId, parent ? parent->m_hWnd : nullptr, 0, false);
  if (!dialog) return FALSE;
  const DialogTemplate* t = platform::FindDialogTemplate(templateId);
  if (t && (t->style & WS_VISIBLE)) ::ShowWindow(dialog, SW_SHOW);
  return TRUE;
}

void CDialog::EndDialog(int result) {
  m_nModalResult = result;
  if (m_modal) {
    // The loop ends once the message being handled returns.
    m_endPending = true;
    NotifyWork();
  } else if (m_hWnd) {
    ShowWindow(SW_HIDE);
  }
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  DoDataExchange(&dx);
  return TRUE;
}

void CDialog::NextDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, FALSE); }
void CDialog::PrevDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 1, FALSE); }
void CDialog::GotoDlgCtrl(CWnd* control) {
  if (control) ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control->m_hWnd), TRUE);
}
void CDialog::SetDefID(UINT id) { ::SendMessageW(m_hWnd, DM_SETDEFID, id, 0); }
DWORD CDialog::GetDefID() const { return static_cast<DWORD>(::SendMessageW(m_hWnd, DM_GETDEFID, 0, 0)); }

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) { return OnInitDialog(); }

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
  if (msg && msg->message == WM_KEYDOWN && IsDialogMessageW(m_hWnd, msg)) return TRUE;
  return CWnd::PreTranslateMessage(msg);
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (!dx || !dx->m_pDlgWnd || control.m_hWnd) return;
  if (!control.SubclassDlgItem(static_cast<UINT>(id), dx->m_pDlgWnd)) {
    Diagnostic("data exchange: the dialog has no free control %d", id);
  }
}
