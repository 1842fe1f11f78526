#include "shell/browser/CThumbFormView.h"

#include "shell/app/AppMessages.h"
#include "shell/browser/ThumbViewFrame.h"
#include "shell/browser/ThumbViewLayout.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "toolkit/PictureFileTypes.h"

#include "platform/afx/AfxDialog.h"

#include <algorithm>
#include <mutex>

using namespace ThumbView;

IMPLEMENT_DYNCREATE(CThumbFormView, CFormViewBase)

BEGIN_MESSAGE_MAP(CThumbFormView, CFormViewBase)
  ON_WM_CREATE()
  ON_WM_ERASEBKGND()
  ON_WM_MOUSEWHEEL()
  ON_MESSAGE(WM_APP_TRACKBAR_CHANGED, OnTrackBarChanged)
  ON_MESSAGE(WM_APP_THUMB_VIEW_EVENT, OnThumbViewEvent)
  ON_COMMAND(kOpen, OnOpen)
  ON_COMMAND(kOpenNew, OnOpenNew)
  ON_COMMAND(kInfoPalette, OnInfoPalette)
  ON_COMMAND(kRotateLeft, OnRotateLeft)
  ON_COMMAND(kRotateRight, OnRotateRight)
  ON_COMMAND(kSlideShow, OnSlideShow)
  ON_COMMAND(kPrint, OnPrint)
  ON_COMMAND(kMark, OnMark)
  ON_COMMAND(kLock, OnLock)
  ON_COMMAND(kDelete, OnDelete)
  ON_COMMAND(kSmaller, OnSmallerButton)
  ON_COMMAND(kLarger, OnLargerButton)
  ON_COMMAND(kInfoViewButton, OnInfoViewButton)
END_MESSAGE_MAP()

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kShootingBoxFill = RGB(107, 115, 165);
constexpr COLORREF kSelectionBoxFill = RGB(100, 99, 99);
// DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_MODIFYSTRING.
constexpr UINT kShootingFormat = 0x18024;
constexpr UINT kLeftCaptionFormat = DT_VCENTER | DT_SINGLELINE;
constexpr UINT kRightCaptionFormat = DT_VCENTER | DT_SINGLELINE | DT_RIGHT;
constexpr UINT kButtonCaptionFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
// The text buttons' width: their longer caption plus a margin, within limits.
constexpr int kTextButtonMargin = 20;
constexpr int kTextButtonMinWidth = 150;
constexpr int kTextButtonMaxWidth = 250;
constexpr int kTextButtonHeight = 23;

FString PathOf(LPARAM path) {
  const auto* text = reinterpret_cast<const char16_t*>(path);
  return text ? FString(text) : FString();
}

} // namespace

CThumbFormView::CThumbFormView() : CFormViewBase(kTemplate) {
  RegisterTemplate();
  m_SizeSlider.SetStepButtons(FALSE); // before the slider meets its window
}

CThumbFormView::~CThumbFormView() = default;

void CThumbFormView::RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] { platform::RegisterDialogTemplate(ThumbViewTemplate()); });
}

// ---- Creation and first set-up ---------------------------------------------------------

int CThumbFormView::OnCreate(LPCREATESTRUCT cs) {
  if (CFormViewBase::OnCreate(cs) == -1) return -1;
  m_Grid.SetScrollDirection(SB_VERT);
  if (!m_Grid.Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, CRect(0, 0, 0, 0), this, kGridId)) return -1;
  m_Grid.Initialize();
  m_Grid.SetFolder(m_Folder);
  m_Grid.ShowWindow(SW_SHOW);
  return 0;
}

void CThumbFormView::DoDataExchange(CDataExchange* dx) {
  CFormViewBase::DoDataExchange(dx);
  DDX_Control(dx, kOpen, m_OpenButton);
  DDX_Control(dx, kOpenNew, m_OpenNewButton);
  DDX_Control(dx, kInfoPalette, m_InfoPaletteButton);
  DDX_Control(dx, kRotateLeft, m_RotateLeftButton);
  DDX_Control(dx, kRotateRight, m_RotateRightButton);
  DDX_Control(dx, kSlideShow, m_SlideShowButton);
  DDX_Control(dx, kPrint, m_PrintButton);
  DDX_Control(dx, kMark, m_MarkButton);
  DDX_Control(dx, kLock, m_LockButton);
  DDX_Control(dx, kDelete, m_DeleteButton);
  DDX_Control(dx, kShootingBox, m_ShootingBox);
  DDX_Control(dx, kSelectionBox, m_SelectionBox);
  for (int i = 0; i < 3; ++i) DDX_Control(dx, kSeparators[i], m_Separators[i]);
  DDX_Control(dx, kSmaller, m_SmallerButton);
  DDX_Control(dx, kSizeSlider, m_SizeSlider);
  DDX_Control(dx, kLarger, m_LargerButton);
  DDX_Control(dx, kInfoViewButton, m_InfoViewButton);
}

void CThumbFormView::OnInitialUpdate() {
  CFormViewBase::OnInitialUpdate();
  if (!m_bInitialized) {
    m_Words = LoadShootingWords();
    m_Grid.SetCaptionStyle(1005);
    SetUpControls();
    SizeTextButtons();
    // The text buttons stand against the right edge: place them at their new width.
    LayoutControls();
    // The filters say what is shown from the start, also when no filter is ever changed.
    UpdateFilterCaption();
    m_bInitialized = TRUE;
  }
  UpdateButtons();
}

void CThumbFormView::SetUpControls() {
  m_OpenButton.SetStringId(1003, kButtonCaptionFormat);
  m_OpenNewButton.SetStringId(1020, kButtonCaptionFormat);
  // Each icon button: its size, normal, pushed and disabled icons (0: none).
  const struct {
    CButtonBase& button;
    SIZE size;
    int normal, pushed, disabled;
  } looks[] = {{m_InfoPaletteButton, {23, 23}, 174, 179, 175}, {m_RotateLeftButton, {25, 23}, 176, 177, 178},
               {m_RotateRightButton, {25, 23}, 180, 181, 182}, {m_SlideShowButton, {23, 23}, 183, 184, 0},
               {m_PrintButton, {23, 23}, 185, 186, 0},         {m_MarkButton, {23, 23}, 187, 188, 189},
               {m_LockButton, {23, 23}, 190, 191, 192},        {m_DeleteButton, {23, 23}, 193, 194, 195},
               {m_SmallerButton, {31, 30}, 221, 222, 223},     {m_LargerButton, {31, 30}, 224, 225, 226}};
  for (const auto& look : looks) {
    look.button.SetIconSize(look.size.cx, look.size.cy);
    look.button.SetIcon(look.normal);
    look.button.SetPushedIcon(look.pushed);
    if (look.disabled) look.button.SetDisabledIcon(look.disabled);
  }

  m_ShootingBox.SetRoundCorners(1);
  m_ShootingBox.SetColors(kBlack, kShootingBoxFill);
  m_ShootingBox.SetStringId(1004, kShootingFormat, FALSE);
  m_ShootingBox.SetText(u"", FALSE);
  m_SelectionBox.SetRoundCorners(2);
  m_SelectionBox.SetColors(kBlack, kSelectionBoxFill);
  m_SelectionBox.SetStringId(1024, kLeftCaptionFormat, FALSE);
  m_SelectionBox.SetSecondStringId(1007, kRightCaptionFormat, FALSE);
  m_SelectionBox.SetText(u"", FALSE);
  m_SelectionBox.SetSecondText(u"", FALSE);
  for (CGroupeBoxBase& line : m_Separators) {
    line.SetRoundCorners(0);
    line.SetColors(kBlack, kBlack);
  }

  m_SizeSlider.SetRange(0, kLargestSize, FALSE);
  m_SizeSlider.SetValueFormat(u"%d", FALSE, 1.0);
  m_SizeSlider.SetPos(m_SizeIndex);
  m_InfoViewButton.SetIconSize(31, 30);
  m_InfoViewButton.SetIcon(227);
  m_InfoViewButton.SetPushedIcon(227);
  m_InfoViewButton.SetCheckedIcon(228);
  m_InfoViewButton.SetCheckedPushedIcon(228);
  m_InfoViewButton.SetDisabledIcon(229);
}

void CThumbFormView::SizeTextButtons() {
  CClientDC dc(this);
  const int textWidth = std::max(m_OpenButton.CalcTextSize(&dc).cx, m_OpenNewButton.CalcTextSize(&dc).cx);
  const int width = std::clamp(textWidth + kTextButtonMargin, kTextButtonMinWidth, kTextButtonMaxWidth);
  for (CBasicButton* button : {&m_OpenButton, &m_OpenNewButton}) {
    button->SetWindowPos(nullptr, 0, 0, width, kTextButtonHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// ---- Layout and painting ---------------------------------------------------------------

void CThumbFormView::LayoutControls() {
  CRect client;
  GetClientRect(client);
  const int textButtonWidth = m_OpenButton.m_hWnd ? ChildRect(m_OpenButton).Width() : kTextButtonMinWidth;
  for (const ThumbViewPlace& place : ThumbViewLayout(client.Width(), client.Height(), textButtonWidth)) {
    if (place.id == static_cast<int>(kGridId)) {
      if (!m_Grid.m_hWnd) continue;
      // Moved without erasing; a new size shows cells the grid has not drawn yet.
      const bool resized = ChildRect(m_Grid).Size() != place.rect.Size();
      m_Grid.MoveWindow(place.rect, FALSE);
      if (resized) m_Grid.Invalidate(FALSE);
      continue;
    }
    CWnd* control = GetDlgItem(place.id);
    if (!control) continue;
    control->MoveWindow(place.rect, FALSE);
    control->Invalidate();
  }
}

CRect CThumbFormView::ChildRect(const CWnd& child) const {
  if (!child.m_hWnd) return CRect(0, 0, 0, 0);
  CRect rect;
  child.GetWindowRect(rect);
  ScreenToClient(rect);
  return rect;
}

BOOL CThumbFormView::OnEraseBkgnd(CDC* dc) {
  // The grid, its scroll bar and the two boxes paint their own areas whole.
  CRect grid = ChildRect(m_Grid);
  if (!grid.IsRectEmpty()) {
    grid.right += kThumbnailScrollBarWidth;
    dc->ExcludeClipRect(grid);
  }
  for (const CWnd* box : {static_cast<const CWnd*>(&m_ShootingBox), static_cast<const CWnd*>(&m_SelectionBox)}) {
    const CRect rect = ChildRect(*box);
    if (!rect.IsRectEmpty()) dc->ExcludeClipRect(rect);
  }
  return CFormViewBase::OnEraseBkgnd(dc);
}

BOOL CThumbFormView::OnMouseWheel(UINT flags, short delta, CPoint point) {
  if (m_Grid.m_hWnd) m_Grid.SendMessage(WM_VSCROLL, delta < 0 ? SB_LINEDOWN : SB_LINEUP, 0);
  return CFormViewBase::OnMouseWheel(flags, delta, point);
}

// ---- Messages and buttons --------------------------------------------------------------

LRESULT CThumbFormView::OnTrackBarChanged(WPARAM id, LPARAM data) {
  const auto* note = reinterpret_cast<const ControlNotifyData*>(data);
  if (static_cast<int>(id) == kSizeSlider && note) SetThumbSizeIndex(note->position);
  return 0;
}

LRESULT CThumbFormView::OnThumbViewEvent(WPARAM event, LPARAM path) {
  if (event == kThumbViewFocusChanged) {
    UpdateButtons();
    UpdateSelectionInfo();
    if (IThumbViewFrame* frame = Frame()) frame->NotifyInfoPalette(PathOf(path));
  } else if (event == kThumbViewOpenFile) {
    if (IThumbViewFrame* frame = Frame()) frame->OpenImage(PathOf(path), FALSE);
  }
  return 0;
}

IThumbViewFrame* CThumbFormView::Frame() const { return dynamic_cast<IThumbViewFrame*>(GetParentFrame()); }

void CThumbFormView::SendFrameCommand(UINT command) {
  if (CFrameWnd* frame = GetParentFrame()) frame->SendMessage(WM_COMMAND, command, 0);
}

void CThumbFormView::OnOpen() { SendFrameCommand(ThumbViewCommands::kOpenImage); }
void CThumbFormView::OnOpenNew() { SendFrameCommand(ThumbViewCommands::kOpenImageNew); }
void CThumbFormView::OnInfoPalette() { SendFrameCommand(ThumbViewCommands::kInfoPalette); }
void CThumbFormView::OnRotateLeft() { SendFrameCommand(ThumbViewCommands::kRotateCounterClockwise); }
void CThumbFormView::OnRotateRight() { SendFrameCommand(ThumbViewCommands::kRotateClockwise); }
void CThumbFormView::OnSlideShow() { SendFrameCommand(ThumbViewCommands::kSlideShow); }
void CThumbFormView::OnPrint() { SendFrameCommand(ThumbViewCommands::kPrint); }
void CThumbFormView::OnMark() { SendFrameCommand(ThumbViewCommands::kMark); }
void CThumbFormView::OnLock() { SendFrameCommand(ThumbViewCommands::kLock); }
void CThumbFormView::OnDelete() { SendFrameCommand(ThumbViewCommands::kDelete); }

void CThumbFormView::OnSmallerButton() {
  if (m_bInfoView) {
    SetInfoView(FALSE);
  } else {
    SetThumbSizeIndex(m_SizeIndex - 1);
  }
}

void CThumbFormView::OnLargerButton() {
  if (m_bInfoView) {
    SetInfoView(FALSE);
  } else {
    SetThumbSizeIndex(m_SizeIndex + 1);
  }
}

void CThumbFormView::OnInfoViewButton() { SetInfoView(!m_bInfoView); }

BOOL CThumbFormView::PreTranslateMessage(MSG* msg) {
  // While a file name is being edited the arrows move the caret.
  const bool renaming = msg->hwnd && msg->hwnd == m_Grid.GetRenameEdit().m_hWnd;
  if (msg->message == WM_KEYDOWN && !renaming) {
    int command = -1;
    switch (msg->wParam) {
      case VK_UP: command = kSelectUp; break;
      case VK_DOWN: command = kSelectDown; break;
      case VK_LEFT: command = kSelectLeft; break;
      case VK_RIGHT: command = kSelectRight; break;
      default: break;
    }
    if (command >= 0) {
      if (m_Grid.m_hWnd) m_Grid.ChangeSelection(command);
      UpdateButtons();
      UpdateSelectionInfo();
      FArray<FString> selected;
      if (GetSelectedPaths(&selected) > 0) {
        if (IThumbViewFrame* frame = Frame()) frame->NotifyInfoPalette(selected[0]);
      }
      return TRUE;
    }
  }
  return CFormViewBase::PreTranslateMessage(msg);
}

// ---- The folder and its files ----------------------------------------------------------

void CThumbFormView::SetFolder(const FString& path) {
  m_Folder = path;
  if (!m_Grid.m_hWnd) return;
  m_Grid.SetFolder(path);
  m_Grid.Invalidate();
  m_Grid.SendMessage(WM_VSCROLL, SB_TOP, 0);
  UpdateButtons(); // the open buttons follow what is listed
}

int CThumbFormView::GetAllPaths(FArray<FString>* paths) {
  if (!paths) return 0;
  m_Grid.GetAllPaths(paths);
  return paths->GetCount();
}

int CThumbFormView::GetSelectedPaths(FArray<FString>* paths) {
  if (!paths) return 0;
  m_Grid.GetSelectedPaths(paths);
  return paths->GetCount();
}

int CThumbFormView::GetSelectedCount() { return m_Grid.GetSelectedCount(); }
int CThumbFormView::CountSelectedStills() { return m_Grid.CountSelectedStills(); }

BOOL CThumbFormView::GetAllItems(CET_ThumbnailDataManager* items) {
  if (items) m_Grid.GetAllItems(items);
  return TRUE;
}

BOOL CThumbFormView::GetSelectedItems(CET_ThumbnailDataManager* items) {
  if (items) m_Grid.GetSelectedItems(items);
  return TRUE;
}

BOOL CThumbFormView::CollectSelectedStills(CET_ThumbnailDataManager* items) {
  if (items) m_Grid.CollectSelectedStills(items);
  return TRUE;
}

CTLM_ThumbnailData* CThumbFormView::FindItem(const FString& path) {
  if (!m_Grid.m_hWnd) return nullptr;
  CTLM_ThumbnailData* copy = nullptr;
  CET_ThumbnailWnd::ItemsLock hold(m_Grid);
  for (int i = m_Grid.GetItemCount() - 1; i >= 0 && !copy; --i) {
    const CTLM_ThumbnailData* item = m_Grid.GetItem(i);
    if (item && item->m_Path == path) copy = static_cast<CTLM_ThumbnailData*>(item->Clone());
  }
  return copy;
}

FString CThumbFormView::GetFirstPath(BOOL selected) {
  FArray<FString> paths;
  if (selected) {
    GetSelectedPaths(&paths);
  } else {
    GetAllPaths(&paths);
  }
  return paths.GetCount() > 0 ? paths[0] : FString();
}

void CThumbFormView::GetImagePosition(const FString& path, int* position, int* count) {
  FArray<FString> stills;
  m_Grid.GetStillPaths(&stills);
  const StillPosition at = FindStillPosition(stills, m_Folder, path);
  if (position) *position = at.position;
  if (count) *count = at.count;
}

FString CThumbFormView::GetNextImagePath(const FString& path) {
  FArray<FString> stills;
  m_Grid.GetStillPaths(&stills);
  return FindStillPosition(stills, m_Folder, path).next;
}

FString CThumbFormView::GetPrevImagePath(const FString& path) {
  FArray<FString> stills;
  m_Grid.GetStillPaths(&stills);
  return FindStillPosition(stills, m_Folder, path).previous;
}

int CThumbFormView::RefreshItems(const FArray<FString>* paths) {
  const int result = m_Grid.RefreshItems(paths);
  // Listing the folder again (after a rename, paste or delete) leaves nothing
  // selected: the captions, buttons and the information palette follow.
  if (!paths) SendMessage(WM_APP_THUMB_VIEW_EVENT, kThumbViewFocusChanged, reinterpret_cast<LPARAM>(u""));
  return result;
}
int CThumbFormView::UpdateItemInfo(const FArray<FString>* paths) { return m_Grid.UpdateItems(paths); }
int CThumbFormView::RotateItems(const FArray<FString>* paths, BOOL clockwise, BOOL redraw) {
  return m_Grid.RotateItems(paths, clockwise, redraw);
}

int CThumbFormView::GetLoaderState() { return m_Grid.GetLoaderState(); }

// ---- Filters and sorting ---------------------------------------------------------------

void CThumbFormView::SetStateFilter(int filter) {
  if (filter != m_Grid.GetStateFilter()) FilterChanged(m_Grid.SetStateFilter(filter));
}

void CThumbFormView::SetFormatFilter(int filter) {
  if (filter != m_Grid.GetFormatFilter()) FilterChanged(m_Grid.SetFormatFilter(filter));
}

void CThumbFormView::FilterChanged(BOOL gridChanged) {
  if (gridChanged) {
    m_Grid.SetFolder(m_Folder);
    m_Grid.Invalidate();
  }
  UpdateFilterCaption();
  if (IThumbViewFrame* frame = Frame()) {
    CET_ThumbnailDataManager all;
    m_Grid.GetAllItems(&all);
    frame->BroadcastToReviewFrames(WM_APP_FILE_LIST_CHANGED, reinterpret_cast<WPARAM>(&all), 0);
    FArray<FString> selected;
    const int count = GetSelectedPaths(&selected);
    // The palette shows one file or none; with several selected it keeps what it shows.
    if (count <= 1) frame->NotifyInfoPalette(count == 1 ? selected[0] : FString());
  }
  SendMessage(WM_APP_THUMB_VIEW_EVENT, kThumbViewFocusChanged, reinterpret_cast<LPARAM>(u""));
}

int CThumbFormView::GetSortMode() const { return m_Grid.GetSortKey(); }

void CThumbFormView::SetSortMode(int mode) {
  if (mode != m_Grid.GetSortKey()) m_Grid.SetSortKey(mode);
}

BOOL CThumbFormView::IsSortInverted() const { return m_Grid.IsSortInverted(); }
void CThumbFormView::ToggleSortOrder() { m_Grid.ToggleSortOrder(); }

// ---- Size and information view ---------------------------------------------------------

void CThumbFormView::RedrawGrid() {
  if (m_Grid.m_hWnd) m_Grid.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CThumbFormView::SetThumbSizeIndex(int index) {
  if (index < 0 || index > kLargestSize || index == m_SizeIndex) return;
  m_SizeIndex = index;
  m_bInfoView = FALSE;
  m_Grid.SetThumbSize(index);
  RedrawGrid();
  if (m_SizeSlider.m_hWnd) m_SizeSlider.SetPos(index);
  if (m_InfoViewButton.m_hWnd) m_InfoViewButton.SetCheck(0);
}

void CThumbFormView::SetInfoView(BOOL infoView) {
  if (!infoView == !m_bInfoView) return;
  m_bInfoView = infoView ? TRUE : FALSE;
  if (m_bInfoView) {
    m_Grid.SetInfoView();
  } else {
    m_Grid.SetThumbSize(m_SizeIndex);
  }
  RedrawGrid();
  if (m_InfoViewButton.m_hWnd) m_InfoViewButton.SetCheck(m_bInfoView ? 1 : 0);
}

// ---- Selection ---------------------------------------------------------------------------

void CThumbFormView::ChangeSelection(int command) {
  if (m_Grid.m_hWnd) m_Grid.ChangeSelection(command);
  UpdateSelectionInfo();
  UpdateButtons();
}

CThumbFormView::SelectionFacts CThumbFormView::ReadSelection() {
  SelectionFacts facts;
  if (!m_Grid.m_hWnd) return facts;
  // Read in place under the grid's item lock: copies of the items would copy
  // their pictures too, for every selected file on every focus change.
  CET_ThumbnailWnd::ItemsLock hold(m_Grid);
  for (int i = 0; i < m_Grid.GetItemCount(); ++i) {
    const CTLM_ThumbnailData* item = m_Grid.GetItem(i);
    if (!item || !item->m_bSelected) continue;
    if (++facts.count == 1) facts.single = ShootingTextsOf(std::u16string(item->m_FileName.View()), item->m_Exif);
    facts.totalBytes += item->m_FileSize;
    facts.anyStill = facts.anyStill || IsStillFileType(item->m_FileType);
    facts.anyMarkable = facts.anyMarkable || item->m_Exif.CanMark();
    facts.anyUnlocked = facts.anyUnlocked || !item->m_Exif.IsLocked();
  }
  return facts;
}

void CThumbFormView::UpdateButtons() {
  const SelectionFacts facts = ReadSelection();
  const auto enable = [](CWnd& button, bool on) {
    if (button.m_hWnd) button.EnableWindow(on ? TRUE : FALSE);
  };
  enable(m_RotateLeftButton, facts.anyStill);
  enable(m_RotateRightButton, facts.anyStill);
  enable(m_LockButton, facts.count > 0);
  enable(m_MarkButton, facts.anyMarkable);
  enable(m_DeleteButton, facts.anyUnlocked);
  // What the frame cannot do stays disabled: opening needs a review window
  // and a listed file.
  IThumbViewFrame* frame = Frame();
  const auto can = [frame](UINT command) { return frame == nullptr || frame->CanRunCommand(command) != FALSE; };
  const bool anyListed = m_Grid.m_hWnd && m_Grid.GetItemCount() > 0;
  enable(m_OpenButton, anyListed && can(ThumbViewCommands::kOpenImage));
  enable(m_OpenNewButton, anyListed && can(ThumbViewCommands::kOpenImageNew));
  enable(m_InfoPaletteButton, can(ThumbViewCommands::kInfoPalette));
  enable(m_SlideShowButton, can(ThumbViewCommands::kSlideShow));
  enable(m_PrintButton, can(ThumbViewCommands::kPrint));
}

void CThumbFormView::UpdateSelectionInfo() {
  const SelectionFacts facts = ReadSelection();
  const std::u16string shooting = facts.count == 1 ? ShootingLine(facts.single, m_Words) : std::u16string();
  if (m_ShootingBox.m_hWnd) m_ShootingBox.SetText(shooting, TRUE);
  if (m_SelectionBox.m_hWnd) m_SelectionBox.SetText(SelectionSizeText(facts.count, facts.totalBytes), TRUE);
}

void CThumbFormView::UpdateFilterCaption() {
  if (m_SelectionBox.m_hWnd) {
    m_SelectionBox.SetSecondText(FilterCaption(m_Grid.GetStateFilter(), m_Grid.GetFormatFilter()), TRUE);
  }
}
