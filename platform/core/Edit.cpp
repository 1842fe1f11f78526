// The edit control ("Edit"): the window the program sees, over a text entry
// of the back end (a line, or many with ES_MULTILINE). Requests (EM_*) are
// answered from the entry; its changes come back as EN_CHANGE; focus changes
// of the layer give EN_SETFOCUS and EN_KILLFOCUS; copy and paste go through
// the layer's clipboard; the parent's colour request (WM_CTLCOLOREDIT, or
// WM_CTLCOLORSTATIC for a read-only or disabled edit) colours the entry when
// it paints. Scroll data follows the entry in lines. Without a back end the
// text lives in memory (one line per '\n', the page from the font's height).

#include "platform/core/Controls.h"

#include <algorithm>
#include <cstring>

namespace platform::core {
namespace {

constexpr int kDefaultLimit = 30000;
constexpr int kMaxLimit = 0x7FFFFFFE;

class MemoryTextEdit : public ITextEdit {
public:
  MemoryTextEdit(HWND hwnd, ITextEditEvents* events) : m_hwnd(hwnd), m_events(events) {}
  void SetText(std::u16string_view text) override {
    m_text = std::u16string(text.substr(0, static_cast<std::size_t>(m_limit)));
    m_start = m_end = static_cast<int>(m_text.size());
    m_events->TextChanged();
    m_events->ScrollChanged();
  }
  std::u16string Text() const override { return m_text; }
  void SetSelection(int start, int end) override {
    const int n = static_cast<int>(m_text.size());
    if (start < 0) {
      m_start = m_end;
      return;
    }
    m_start = std::min(start, n);
    m_end = end < 0 ? n : std::min(end, n);
    if (m_end < m_start) std::swap(m_start, m_end);
  }
  void GetSelection(int& start, int& end) const override {
    start = m_start;
    end = m_end;
  }
  void ReplaceSelection(std::u16string_view text) override {
    if (m_readOnly) return;
    const std::size_t room = static_cast<std::size_t>(m_limit) - (m_text.size() - static_cast<std::size_t>(m_end - m_start));
    const std::u16string_view kept = text.substr(0, std::min(text.size(), room));
    m_text.replace(static_cast<std::size_t>(m_start), static_cast<std::size_t>(m_end - m_start), kept);
    m_start = m_end = m_start + static_cast<int>(kept.size());
    m_events->TextChanged();
    m_events->ScrollChanged();
  }
  void SetLimit(int characters) override { m_limit = characters; }
  void SetReadOnly(bool readOnly) override { m_readOnly = readOnly; }
  void SetFont(const LOGFONTW&) override {}
  void SetColours(COLORREF, COLORREF) override {}
  RECT FormatRect() const override {
    RECT client;
    GetClientRect(m_hwnd, &client);
    return client;
  }
  int LineCount() const override { return 1 + static_cast<int>(std::count(m_text.begin(), m_text.end(), u'\n')); }
  int FirstVisibleLine() const override { return m_first; }
  int VisibleLines() const override {
    const RECT r = FormatRect();
    return std::max(1, static_cast<int>(r.bottom - r.top) / LineHeight(m_hwnd));
  }
  void SetFirstVisibleLine(int line) override {
    m_first = std::clamp(line, 0, std::max(0, LineCount() - VisibleLines()));
    m_events->ScrollChanged();
  }
  void Undo() override {}
  bool CanUndo() const override { return false; }
  void TakeFocus() override {}

private:
  HWND m_hwnd;
  ITextEditEvents* m_events;
  std::u16string m_text;
  int m_start = 0;
  int m_end = 0;
  int m_limit = kDefaultLimit;
  int m_first = 0;
  bool m_readOnly = false;
};

class Edit : public NativeControl, public ITextEditEvents {
public:
  explicit Edit(HWND hwnd) : m_hwnd(hwnd) {}

  LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
    // The entry is made by the first message the edit handles itself
    // (normally WM_CREATE), so a program handler that keeps WM_CREATE from
    // the default still gets a working edit.
    if (!m_entry) Create(hwnd);
    switch (message) {
    case WM_SETTEXT: {
      m_entry->SetText(lParam ? std::u16string_view(reinterpret_cast<LPCWSTR>(lParam)) : std::u16string_view());
      m_modified = false;
      return TRUE;
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(m_entry->Text().size());
    case WM_GETTEXT: {
      const std::u16string text = m_entry->Text();
      auto* out = reinterpret_cast<WCHAR*>(lParam);
      if (!out || wParam == 0) return 0;
      const std::size_t n = std::min<std::size_t>(wParam - 1, text.size());
      std::copy_n(text.data(), n, out);
      out[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case EM_SETSEL: {
      const auto start = static_cast<int>(static_cast<INT_PTR>(wParam));
      const auto end = static_cast<int>(lParam);
      m_entry->SetSelection(start, end);
      return 0;
    }
    case EM_GETSEL: {
      int start = 0, end = 0;
      m_entry->GetSelection(start, end);
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(start);
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(end);
      return static_cast<LRESULT>(MAKELONG(static_cast<WORD>(std::min(start, 0xFFFF)), static_cast<WORD>(std::min(end, 0xFFFF))));
    }
    case EM_REPLACESEL:
      m_entry->ReplaceSelection(lParam ? std::u16string_view(reinterpret_cast<LPCWSTR>(lParam)) : std::u16string_view());
      return 0;
    case EM_LIMITTEXT:
      m_limit = wParam == 0 ? kMaxLimit : static_cast<int>(std::min<WPARAM>(wParam, kMaxLimit));
      m_entry->SetLimit(m_limit);
      return 0;
    case EM_GETLIMITTEXT: return m_limit;
    case EM_SETREADONLY: {
      CWnd* object = CWnd::FromHandle(hwnd);
      if (object) object->ModifyStyle(wParam ? 0 : ES_READONLY, wParam ? ES_READONLY : 0);
      m_entry->SetReadOnly(wParam != 0);
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case EM_GETMODIFY: return m_modified ? TRUE : FALSE;
    case EM_SETMODIFY: m_modified = wParam != 0; return 0;
    case EM_GETRECT:
      if (lParam) *reinterpret_cast<RECT*>(lParam) = m_entry->FormatRect();
      return 0;
    case EM_GETLINECOUNT: return m_entry->LineCount();
    case EM_GETFIRSTVISIBLELINE: return m_entry->FirstVisibleLine();
    case EM_LINESCROLL:
      m_entry->SetFirstVisibleLine(m_entry->FirstVisibleLine() + static_cast<int>(lParam));
      return TRUE;
    case EM_SCROLL:
    case WM_VSCROLL: Scroll(LOWORD(wParam), HIWORD(wParam)); return message == EM_SCROLL ? TRUE : 0;
    case EM_SCROLLCARET: return TRUE;
    case WM_MOUSEWHEEL:
      // Three lines a notch.
      m_entry->SetFirstVisibleLine(m_entry->FirstVisibleLine() - 3 * GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA);
      return 0;
    case EM_CANUNDO: return m_entry->CanUndo() ? TRUE : FALSE;
    case EM_UNDO:
    case WM_UNDO: m_entry->Undo(); return TRUE;
    case WM_COPY: Copy(); return 0;
    case WM_CUT:
      if (ReadOnly(hwnd)) return 0;
      Copy();
      m_entry->ReplaceSelection(u"");
      return 0;
    case WM_CLEAR:
      if (!ReadOnly(hwnd)) m_entry->ReplaceSelection(u"");
      return 0;
    case WM_PASTE: Paste(hwnd); return 0;
    case WM_SETFONT:
      GenericWindowProc(hwnd, message, wParam, lParam);
      m_entry->SetFont(WindowFont(hwnd));
      ScrollChanged();
      return 0;
    case WM_SETFOCUS:
      m_entry->TakeFocus();
      NotifyParent(hwnd, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS: NotifyParent(hwnd, EN_KILLFOCUS); return 0;
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_PAINT: Paint(hwnd); return 0;
    case WM_ERASEBKGND: return TRUE; // the entry paints its own background
    case WM_SIZE: ScrollChanged(); return 0;
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
      const DWORD style = GetWindowStyle(hwnd);
      if ((style & ES_MULTILINE) && (style & ES_WANTRETURN)) code |= DLGC_WANTALLKEYS;
      return code;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
      // The key reached the edit's own handling: the entry takes it.
      m_keyReachedEntry = true;
      return 0;
    default: return GenericWindowProc(hwnd, message, wParam, lParam);
    }
  }

  void TextChanged() override {
    if (m_creating) return;
    m_modified = true;
    NotifyParent(m_hwnd, EN_CHANGE);
  }

  void ScrollChanged() override {
    if (!m_entry) return;
    SCROLLINFO info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = std::max(0, m_entry->LineCount() - 1);
    info.nPage = static_cast<UINT>(std::max(0, m_entry->VisibleLines()));
    info.nPos = m_entry->FirstVisibleLine();
    SetScrollInfo(m_hwnd, SB_VERT, &info, TRUE);
  }

  // Whether the last key message dispatched to the window reached the edit's
  // default handling (a program's handler may have kept it).
  bool TakeKeyReached() { return std::exchange(m_keyReachedEntry, false); }

private:
  void Create(HWND hwnd) {
    const DWORD style = GetWindowStyle(hwnd);
    if (IUiServices* services = UiServices()) m_entry = services->CreateTextEdit(hwnd, (style & ES_MULTILINE) != 0, this);
    if (!m_entry) m_entry = std::make_unique<MemoryTextEdit>(hwnd, this);
    m_creating = true;
    m_entry->SetLimit(m_limit);
    m_entry->SetReadOnly((style & ES_READONLY) != 0);
    m_entry->SetFont(WindowFont(hwnd));
    if (WindowRecord* r = Record(hwnd)) m_entry->SetText(r->text);
    m_creating = false;
    ScrollChanged();
  }

  static bool ReadOnly(HWND hwnd) { return (GetWindowStyle(hwnd) & ES_READONLY) != 0; }

  void Scroll(UINT code, int position) {
    m_entry->SetFirstVisibleLine(ScrolledTop(code, position, m_entry->FirstVisibleLine(),
                                             std::max(1, m_entry->VisibleLines()), m_entry->LineCount()));
  }

  // The selection goes to the clipboard as Unicode text.
  void Copy() {
    int start = 0, end = 0;
    m_entry->GetSelection(start, end);
    if (end <= start) return;
    const std::u16string selected = m_entry->Text().substr(static_cast<std::size_t>(start),
                                                            static_cast<std::size_t>(end - start));
    std::vector<std::uint8_t> bytes((selected.size() + 1) * 2, 0);
    std::memcpy(bytes.data(), selected.data(), selected.size() * 2);
    const HGLOBAL block = GlobalFromBytes(bytes);
    if (!block) return;
    if (!OpenClipboard(m_hwnd)) {
      GlobalFree(block);
      return;
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_UNICODETEXT, block)) GlobalFree(block);
    CloseClipboard();
  }

  void Paste(HWND hwnd) {
    if (ReadOnly(hwnd) || !OpenClipboard(hwnd)) return;
    const auto block = GetClipboardData(CF_UNICODETEXT);
    const std::vector<std::uint8_t> bytes = BytesOfGlobal(block);
    CloseClipboard();
    std::u16string text(bytes.size() / 2, u'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * 2);
    text.resize(std::min(text.size(), text.find(u'\0')));
    // A single line keeps the first line of what is pasted.
    if (!(GetWindowStyle(hwnd) & ES_MULTILINE)) text = text.substr(0, text.find_first_of(u"\r\n"));
    m_entry->ReplaceSelection(text);
  }

  void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    const bool quiet = ReadOnly(hwnd) || !IsWindowEnabled(hwnd);
    const HBRUSH brush = RequestColours(hwnd, quiet ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT, dc);
    m_entry->SetColours(GetTextColor(dc), BrushColour(brush, GetBkColor(dc)));
    EndPaint(hwnd, &ps);
  }

  HWND m_hwnd;
  std::unique_ptr<ITextEdit> m_entry;
  int m_limit = kDefaultLimit;
  bool m_modified = false;
  bool m_creating = false;
  bool m_keyReachedEntry = false;
};

} // namespace

std::unique_ptr<NativeControl> MakeEdit(HWND hwnd, const CREATESTRUCTW&) { return std::make_unique<Edit>(hwnd); }

bool KeyReachedEdit(HWND hwnd) {
  WindowRecord* r = Record(hwnd);
  auto* edit = r ? dynamic_cast<Edit*>(r->native.get()) : nullptr;
  return edit && edit->TakeKeyReached();
}

} // namespace platform::core

using namespace platform::core;

BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_EDIT, u"", style | WS_CHILD, rect, parent, id);
}

void CEdit::SetSel(int start, int end, BOOL) {
  SendMessage(EM_SETSEL, static_cast<WPARAM>(static_cast<INT_PTR>(start)), end);
}

void CEdit::GetSel(int& start, int& end) const {
  DWORD s = 0, e = 0;
  SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
  start = static_cast<int>(s);
  end = static_cast<int>(e);
}

void CEdit::ReplaceSel(LPCWSTR text, BOOL canUndo) {
  SendMessage(EM_REPLACESEL, static_cast<WPARAM>(canUndo), reinterpret_cast<LPARAM>(text));
}
