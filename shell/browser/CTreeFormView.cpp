#include "shell/browser/CTreeFormView.h"

#include "shell/app/TextTables.h"
#include "shell/browser/ItemIdLists.h"
#include "toolkit/PictureFileTypes.h"
#include "toolkit/TextTable.h"

#include "platform/afx/AfxDialog.h"

#include "foundation/FPath.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace {

constexpr int kSaveTextId = 1000;
constexpr int kFoldersTextId = 1001;
constexpr int kOneFileTextId = 1021;
constexpr int kFilesTextId = 1022;
constexpr int kMegabytesTextId = 1023;
constexpr UINT kButtonFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE; // 37
constexpr UINT kBarFormat = DT_VCENTER | DT_SINGLELINE;                  // 36

bool IsCountedType(int type) {
  return type == ETFILETYPE_KVR || type == ETFILETYPE_JPEG || type == ETFILETYPE_TIFF || type == ETFILETYPE_AVI;
}

} // namespace

FolderSummary CountFolderPictures(const FString& folder) {
  FolderSummary summary;
  std::string native;
  if (folder.View().empty() || !PathToNative(folder, native)) return summary;
  std::error_code error;
  std::filesystem::directory_iterator entries(native, error);
  if (error) return summary;
  for (const auto& entry : entries) {
    std::error_code entryError;
    if (!entry.is_regular_file(entryError)) continue;
    const FString path = PathFromNative(entry.path().string());
    const int type = GetFileType(path);
    if (!IsCountedType(type)) continue;
    const auto bytes = entry.file_size(entryError);
    ++summary.files;
    if (type == ETFILETYPE_KVR) ++summary.rawFiles;
    if (!entryError) summary.megabytes += static_cast<double>(bytes) / 1024.0 / 1024.0;
  }
  return summary;
}

std::u16string FolderSummaryText(const FolderSummary& summary) {
  if (summary.files <= 0) return {};
  const std::u16string countFormat = GetTextTableText(summary.files == 1 ? kOneFileTextId : kFilesTextId);
  std::optional<std::u16string> count = FormatTableText(countFormat, {summary.files});
  std::optional<std::u16string> size = FormatTableText(GetTextTableText(kMegabytesTextId), {summary.megabytes, summary.files});
  std::u16string text = count ? *count : FString(std::to_string(summary.files).c_str()).GetText();
  if (size) text += *size;
  return text;
}

int SaveButtonWidth(int textWidth) { return std::clamp(textWidth + 20, 150, 245); }

IMPLEMENT_DYNCREATE(CTreeFormView, CFormViewBase)

BEGIN_MESSAGE_MAP(CTreeFormView, CFormViewBase)
  ON_WM_CREATE()
  ON_WM_ERASEBKGND()
  ON_NOTIFY(TVN_SELCHANGEDW, CTreeFormView::kTreeId, OnSelChanged)
  ON_COMMAND(CTreeFormView::kSaveButtonId, OnSaveButton)
END_MESSAGE_MAP()

CTreeFormView::CTreeFormView() : CFormViewBase(kTemplate) { RegisterTemplate(); }

CTreeFormView::~CTreeFormView() = default;

void CTreeFormView::RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    DialogTemplate t;
    t.id = kTemplate;
    t.style = WS_CHILD;
    t.size = {183, 242};
    auto item = [&](int id, const char16_t* className, DWORD style, RECT rect) {
      DialogItemTemplate control;
      control.id = id;
      control.className = className;
      control.style = WS_VISIBLE | style;
      control.rect = rect;
      t.items.push_back(control);
    };
    item(kSaveButtonId, u"Button", WS_TABSTOP | BS_OWNERDRAW, {3, 12, 100, 26});
    item(kCaptionBarId, u"Static", SS_OWNERDRAW, {3, 37, 180, 50});
    item(kTreeId, WC_TREEVIEW, WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
         {3, 50, 170, 200});
    item(kSummaryBarId, u"Static", SS_OWNERDRAW, {3, 210, 180, 222});
    platform::RegisterDialogTemplate(t);
  });
}

void CTreeFormView::DoDataExchange(CDataExchange* dx) {
  CFormViewBase::DoDataExchange(dx);
  DDX_Control(dx, kTreeId, m_tree);
  DDX_Control(dx, kSaveButtonId, m_saveButton);
  DDX_Control(dx, kCaptionBarId, m_captionBar);
  DDX_Control(dx, kSummaryBarId, m_summaryBar);
}

int CTreeFormView::OnCreate(LPCREATESTRUCT cs) { return CFormViewBase::OnCreate(cs) == -1 ? -1 : 0; }

void CTreeFormView::OnInitialUpdate() {
  CFormViewBase::OnInitialUpdate();
  if (m_setUp) return;
  m_setUp = TRUE;

  m_saveButton.SetStringId(kSaveTextId, kButtonFormat);
  std::u16string caption;
  CFont* font = nullptr;
  COLORREF colour = 0;
  GetTextTableString(kSaveTextId, caption, font, colour);
  int textWidth = 0;
  {
    CClientDC dc(&m_saveButton);
    CFont* old = font ? dc.SelectObject(font) : nullptr;
    textWidth = dc.GetTextExtent(caption).cx;
    if (old) dc.SelectObject(old);
  }
  m_saveButton.MoveWindow(5, 19, SaveButtonWidth(textWidth), 42 - 19);

  m_captionBar.SetRoundCorners(1);
  m_captionBar.SetColors(RGB(0, 0, 0), RGB(107, 115, 165));
  m_captionBar.SetStringId(kFoldersTextId, kBarFormat, TRUE);

  m_summaryBar.SetRoundCorners(2);
  m_summaryBar.SetColors(RGB(0, 0, 0), RGB(100, 99, 99));
  m_summaryBar.SetStringId(kOneFileTextId, kBarFormat, FALSE);
  m_summaryBar.SetText(std::u16string(), TRUE);
  m_saveButton.EnableWindow(FALSE);
  LayoutControls();
}

void CTreeFormView::LayoutControls() {
  CRect client;
  GetClientRect(client);
  const int w = client.Width(), h = client.Height();
  if (m_captionBar.m_hWnd) m_captionBar.MoveWindow(5, 61, w - 5, 81 - 61);
  if (m_tree.m_hWnd) m_tree.MoveWindow(5, 81, w - 14 - 5, h - 70 - 81);
  if (m_summaryBar.m_hWnd) {
    m_summaryBar.MoveWindow(5, h - 56, w - 5, 20);
    m_summaryBar.Invalidate();
  }
}

BOOL CTreeFormView::OnEraseBkgnd(CDC* dc) {
  if (m_captionBar.m_hWnd && m_summaryBar.m_hWnd) {
    CRect top, bottom;
    m_captionBar.GetWindowRect(top);
    m_summaryBar.GetWindowRect(bottom);
    ScreenToClient(top);
    ScreenToClient(bottom);
    dc->ExcludeClipRect(top.left, top.top, bottom.right, bottom.bottom);
  }
  return CFormViewBase::OnEraseBkgnd(dc);
}

ITreeFormViewFrame* CTreeFormView::Frame() const { return dynamic_cast<ITreeFormViewFrame*>(GetParentFrame()); }

BOOL CTreeFormView::SelectPath(const FString& path) {
  const BOOL selected = m_tree.SelectPath(path);
  UpdateFolderSummary(path);
  return selected;
}

void CTreeFormView::UpdateFolderSummary(const FString& path) {
  const FolderSummary summary = CountFolderPictures(path);
  if (m_summaryBar.m_hWnd) {
    m_summaryBar.SetText(FolderSummaryText(summary), TRUE);
    m_summaryBar.RedrawWindow();
  }
  if (m_saveButton.m_hWnd) m_saveButton.EnableWindow(summary.rawFiles > 0);
}

void CTreeFormView::OnSelChanged(NMHDR* header, LRESULT* result) {
  *result = 0;
  const auto* nm = reinterpret_cast<const NMTREEVIEWW*>(header);
  const auto* data = reinterpret_cast<const FolderTreeItemData*>(nm->itemNew.lParam);
  const FString path = data ? GetPathFromPidl(data->absolute) : FString();
  if (ITreeFormViewFrame* frame = Frame()) frame->SelectFolder(path, FALSE);
  UpdateFolderSummary(path);
}

void CTreeFormView::OnSaveButton() {
  if (ITreeFormViewFrame* frame = Frame()) frame->SaveImages();
}
