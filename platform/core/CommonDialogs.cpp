// The font and file dialogs of the window system's interface and of the
// framework, on the layer's dialog driver. (Printer set-up and print run
// through PrintDlgW, with the printers.)

#include "platform/core/CommonDialogs.h"

#include "platform/afx/AfxCommonDialogs.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace platform::core {
namespace {

std::atomic<IDialogDriver*> g_driver{nullptr};

// n x numerator / denominator, rounded half away from zero (the original's MulDiv).
int ScaleRounded(int n, int numerator, int denominator) {
  if (denominator == 0) return -1;
  return static_cast<int>(std::lround(static_cast<double>(n) * numerator / denominator));
}

std::u16string TextOf(const char16_t* text) { return text ? std::u16string(text) : std::u16string(); }

std::size_t NameStart(std::u16string_view path) {
  const std::size_t slash = path.rfind(u'/');
  return slash == std::u16string_view::npos ? 0 : slash + 1;
}

// The extension's start within the path (after the dot), or npos.
std::size_t ExtensionStart(std::u16string_view path) {
  const std::size_t name = NameStart(path);
  const std::size_t dot = path.rfind(u'.');
  return dot == std::u16string_view::npos || dot < name || dot == name ? std::u16string_view::npos : dot + 1;
}

BOOL RunFileDialog(LPOPENFILENAMEW ofn, bool save) {
  if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0) return FALSE;
  IDialogDriver* driver = DialogDriver();
  if (!driver) return FALSE;
  FileRequest request;
  request.owner = ofn->hwndOwner;
  request.save = save;
  request.flags = ofn->Flags;
  request.title = TextOf(ofn->lpstrTitle);
  request.filters = ParseFilterList(ofn->lpstrFilter);
  request.filterIndex = ofn->nFilterIndex > 0 ? static_cast<int>(ofn->nFilterIndex) : 1;
  request.folder = TextOf(ofn->lpstrInitialDir);
  request.path.assign(ofn->lpstrFile, std::find(ofn->lpstrFile, ofn->lpstrFile + ofn->nMaxFile, u'\0'));
  if (!driver->ChooseFile(request) || request.path.empty()) return FALSE;

  std::u16string path = std::move(request.path);
  const std::u16string extension = TextOf(ofn->lpstrDefExt);
  if (save && !extension.empty() && ExtensionStart(path) == std::u16string::npos) path += u"." + extension;
  if (path.size() + 1 > ofn->nMaxFile) return FALSE; // the caller's room is too small: nothing written
  std::copy(path.begin(), path.end(), ofn->lpstrFile);
  ofn->lpstrFile[path.size()] = u'\0';
  const std::size_t name = NameStart(path);
  const std::size_t ext = ExtensionStart(path);
  ofn->nFileOffset = static_cast<WORD>(std::min<std::size_t>(name, 0xFFFF));
  ofn->nFileExtension = static_cast<WORD>(std::min<std::size_t>(ext == std::u16string::npos ? path.size() : ext, 0xFFFF));
  if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0) {
    const std::size_t n = std::min<std::size_t>(path.size() - name, ofn->nMaxFileTitle - 1);
    std::copy_n(path.data() + name, n, ofn->lpstrFileTitle);
    ofn->lpstrFileTitle[n] = u'\0';
  }
  if (!request.filters.empty()) {
    ofn->nFilterIndex = static_cast<DWORD>(std::clamp<int>(request.filterIndex, 1, static_cast<int>(request.filters.size())));
  }
  return TRUE;
}

} // namespace

void SetDialogDriver(IDialogDriver* driver) { g_driver = driver; }
IDialogDriver* DialogDriver() { return g_driver; }

std::vector<std::pair<std::u16string, std::u16string>> ParseFilterList(const char16_t* list) {
  std::vector<std::pair<std::u16string, std::u16string>> pairs;
  if (!list) return pairs;
  for (;;) {
    std::u16string description(list);
    if (description.empty()) break;
    list += description.size() + 1;
    std::u16string patterns(list);
    if (patterns.empty()) break;
    list += patterns.size() + 1;
    pairs.emplace_back(std::move(description), std::move(patterns));
  }
  return pairs;
}

} // namespace platform::core

using namespace platform::core;

BOOL ChooseFontW(LPCHOOSEFONTW cf) {
  if (!cf || !cf->lpLogFont) return FALSE;
  IDialogDriver* driver = DialogDriver();
  if (!driver) return FALSE;
  const int dpi = cf->hDC ? GetDeviceCaps(cf->hDC, LOGPIXELSY) : 96;
  if (dpi <= 0) return FALSE;
  FontRequest request;
  request.owner = cf->hwndOwner;
  request.flags = cf->Flags;
  if (cf->Flags & CF_INITTOLOGFONTSTRUCT) {
    request.font = *cf->lpLogFont;
    const LONG height = cf->lpLogFont->lfHeight;
    if (height != 0) request.pointTenths = ScaleRounded(height < 0 ? -height : height, 720, dpi);
  } else {
    const char16_t face[] = u"MS Shell Dlg";
    std::copy(std::begin(face), std::end(face), request.font.lfFaceName);
    request.font.lfWeight = FW_NORMAL;
  }
  request.colour = cf->rgbColors;
  if (cf->Flags & CF_LIMITSIZE) {
    request.minPoints = cf->nSizeMin;
    request.maxPoints = std::max(cf->nSizeMin, cf->nSizeMax);
    request.pointTenths = std::clamp(request.pointTenths, request.minPoints * 10, request.maxPoints * 10);
  }
  if (!driver->ChooseFont(request)) return FALSE;

  int tenths = std::max(request.pointTenths, 1);
  if (cf->Flags & CF_LIMITSIZE) tenths = std::clamp(tenths, request.minPoints * 10, request.maxPoints * 10);
  LOGFONTW answer = request.font;
  answer.lfFaceName[LF_FACESIZE - 1] = u'\0';
  if (!(cf->Flags & CF_EFFECTS)) {
    answer.lfUnderline = cf->lpLogFont->lfUnderline;
    answer.lfStrikeOut = cf->lpLogFont->lfStrikeOut;
  } else {
    cf->rgbColors = request.colour & 0xFFFFFF;
  }
  answer.lfHeight = -ScaleRounded(tenths, dpi, 720);
  *cf->lpLogFont = answer;
  cf->iPointSize = tenths;
  return TRUE;
}

BOOL GetOpenFileNameW(LPOPENFILENAMEW ofn) { return RunFileDialog(ofn, false); }
BOOL GetSaveFileNameW(LPOPENFILENAMEW ofn) { return RunFileDialog(ofn, true); }

// ---- The framework's classes ------------------------------------------------------------

CFontDialog::CFontDialog(const LOGFONTW* initial, DWORD flags, CDC* printer, CWnd* parent) {
  if (initial) {
    m_lf = *initial;
    flags |= CF_INITTOLOGFONTSTRUCT;
  }
  m_cf.lpLogFont = &m_lf;
  m_cf.Flags = flags;
  m_cf.hDC = printer ? printer->m_hDC : nullptr;
  m_cf.hwndOwner = parent ? parent->m_hWnd : nullptr;
}

INT_PTR CFontDialog::DoModal() {
  m_cf.lpLogFont = &m_lf;
  return ChooseFontW(&m_cf) ? IDOK : IDCANCEL;
}

void CFontDialog::GetCurrentFont(LOGFONTW* font) const {
  if (font) *font = m_lf;
}
std::u16string CFontDialog::GetFaceName() const { return m_lf.lfFaceName; }
int CFontDialog::GetSize() const { return m_cf.iPointSize; }
COLORREF CFontDialog::GetColor() const { return m_cf.rgbColors; }

namespace {
// Room for any path the file system takes.
constexpr std::size_t kFileRoom = 4096 + 1;
} // namespace

CFileDialog::CFileDialog(BOOL openFileDialog, LPCWSTR defaultExtension, LPCWSTR fileName, DWORD flags,
                         LPCWSTR filter, CWnd* parent)
    : m_open(openFileDialog), m_defaultExtension(TextOf(defaultExtension)), m_file(kFileRoom, u'\0') {
  if (filter) {
    m_filter = filter;
    std::replace(m_filter.begin(), m_filter.end(), u'|', u'\0');
    m_filter.push_back(u'\0');
    m_ofn.lpstrFilter = m_filter.c_str();
  }
  if (fileName) {
    const std::u16string name(fileName);
    std::copy_n(name.begin(), std::min(name.size(), kFileRoom - 1), m_file.begin());
  }
  m_ofn.lpstrFile = m_file.data();
  m_ofn.nMaxFile = static_cast<DWORD>(m_file.size());
  m_ofn.lpstrDefExt = m_defaultExtension.empty() ? nullptr : m_defaultExtension.c_str();
  m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING;
  m_ofn.hwndOwner = parent ? parent->m_hWnd : nullptr;
}

INT_PTR CFileDialog::DoModal() {
  const BOOL ok = m_open ? GetOpenFileNameW(&m_ofn) : GetSaveFileNameW(&m_ofn);
  return ok ? IDOK : IDCANCEL;
}

std::u16string CFileDialog::GetPathName() const { return TextOf(m_ofn.lpstrFile); }

std::u16string CFileDialog::GetFileName() const {
  const std::u16string path = GetPathName();
  return path.substr(NameStart(path));
}

std::u16string CFileDialog::GetFileExt() const {
  const std::u16string path = GetPathName();
  const std::size_t ext = ExtensionStart(path);
  return ext == std::u16string::npos ? std::u16string() : path.substr(ext);
}

std::u16string CFileDialog::GetFileTitle() const {
  const std::u16string path = GetPathName();
  const std::size_t name = NameStart(path);
  const std::size_t ext = ExtensionStart(path);
  return path.substr(name, ext == std::u16string::npos ? std::u16string::npos : ext - 1 - name);
}
