// The main frame's windows: creation, the splitter with the two panes, the
// review-frame list, the questions about the browser, the window rules and
// the closing protocol. The message map of the whole class is here.

#include "shell/frame/CMainFrame.h"

#include "foundation/FPath.h"
#include "platform/win/WinDialogs.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "shell/frame/MainFrameMenu.h"
#include "toolkit/CET_ThumbnailData.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

CMainFrame* g_pMainFrame = nullptr;

CNoReviewWindows g_NoReviewWindows;
CNoOutputDialogs g_NoOutputDialogs;

CAppSettings* AppSettings() {
  CLumitraApp* app = GetLumitraApp();
  return app != nullptr ? app->GetSettings() : nullptr;
}

bool FolderExists(const FString& folder) {
  std::string native;
  std::error_code error;
  return folder.GetLength() > 0 && PathToNative(folder, native) && std::filesystem::is_directory(native, error);
}

// The user's picture folder ($HOME/Pictures), created when missing; empty
// when there is no home.
FString UserPicturesFolder() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') {
    return FString();
  }
  std::filesystem::path pictures = std::filesystem::path(home) / "Pictures";
  std::error_code error;
  std::filesystem::create_directories(pictures, error);
  if (!std::filesystem::is_directory(pictures, error)) {
    return FString();
  }
  return PathFromNative(pictures.string());
}

// The values the browser starts with, copied from the settings.
struct BrowserStartValues {
  FString thumbDir;
  int thumbSize = 5;
  int withInfo = 0;
  int formatFilter = 0;
  int stateFilter = 0;
  int sortMode = 0;
  int sortInvert = 0;
  int openInfoPalette = 0;
};

BrowserStartValues ReadStartValues() {
  BrowserStartValues values;
  if (CAppSettings* settings = AppSettings()) {
    CAppSettingsLock lock(*settings);
    values.thumbDir = settings->m_strThumbDir;
    values.thumbSize = settings->m_nThumbSize;
    values.withInfo = settings->m_nThumbWithInfo;
    values.formatFilter = settings->m_nFormatFilter;
    values.stateFilter = settings->m_nStateFilter;
    values.sortMode = settings->m_nSortMode;
    values.sortInvert = settings->m_nSortInvert;
    values.openInfoPalette = settings->m_nOpenInfoPalette;
  }
  return values;
}

} // namespace

CMainFrame* GetMainFrame() { return g_pMainFrame; }

IMPLEMENT_DYNAMIC(CMainFrame, CFrameWnd)

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
  ON_WM_CREATE()
  ON_WM_SETFOCUS()
  ON_WM_SIZING()
  ON_WM_ACTIVATE()
  ON_WM_WINDOWPOSCHANGING()
  ON_WM_SIZE()
  ON_WM_TIMER()
  ON_WM_CLOSE()
  ON_WM_SYSCOMMAND()
  // File
  ON_COMMAND(ID_FILE_OPEN_REVIEW, OnFileOpenReview)
  ON_COMMAND(ID_FILE_OPEN_NEW_REVIEW, OnFileOpenNewReview)
  ON_COMMAND(ID_FILE_BATCH_RENAME, BatchRename)
  ON_COMMAND(ID_FILE_SAVE_IMAGES, SaveImages)
  ON_COMMAND(ID_FILE_EXTRACT_JPEG, ExtractJpeg)
  ON_COMMAND(ID_FILE_INFO_PALETTE, ShowInfoPalette)
  ON_COMMAND(ID_FILE_PRINT_IMAGES, OnFilePrint)
  ON_COMMAND(ID_FILE_SLIDE_SHOW, StartSlideShow)
  ON_COMMAND(ID_FILE_PREFERENCES, OnPreferences)
  ON_COMMAND(ID_FILE_EXIT, OnAppExit)
  ON_UPDATE_COMMAND_UI(ID_FILE_OPEN_REVIEW, OnUpdateOpenReview)
  ON_UPDATE_COMMAND_UI(ID_FILE_OPEN_NEW_REVIEW, OnUpdateOpenReview)
  ON_UPDATE_COMMAND_UI(ID_FILE_BATCH_RENAME, OnUpdateAlways)
  ON_UPDATE_COMMAND_UI(ID_FILE_SAVE_IMAGES, OnUpdateSaveImages)
  ON_UPDATE_COMMAND_UI(ID_FILE_EXTRACT_JPEG, OnUpdateExtractJpeg)
  ON_UPDATE_COMMAND_UI(ID_FILE_INFO_PALETTE, OnUpdateInfoPalette)
  ON_UPDATE_COMMAND_UI(ID_FILE_PRINT_IMAGES, OnUpdatePrint)
  ON_UPDATE_COMMAND_UI(ID_FILE_SLIDE_SHOW, OnUpdateSlideShow)
  ON_UPDATE_COMMAND_UI(ID_FILE_PREFERENCES, OnUpdatePreferences)
  ON_UPDATE_COMMAND_UI(ID_FILE_EXIT, OnUpdateAlways)
  // Edit
  ON_COMMAND_RANGE(ID_EDIT_SELECT_ALL_ITEMS, ID_EDIT_SELECT_MARKED, OnSelectCommand)
  ON_COMMAND_RANGE(ID_EDIT_SELECT_LOCKED, ID_EDIT_SELECT_LOCKED, OnSelectCommand)
  ON_COMMAND_RANGE(ID_EDIT_SELECT_NONE, ID_EDIT_INVERT_SELECTION, OnSelectCommand)
  ON_COMMAND(ID_EDIT_ROTATE_CW, OnRotateClockwise)
  ON_COMMAND(ID_EDIT_ROTATE_CCW, OnRotateCounterClockwise)
  ON_COMMAND(ID_EDIT_MARK, OnEditMark)
  ON_COMMAND(ID_EDIT_LOCK, OnEditLock)
  ON_COMMAND(ID_EDIT_DELETE_FILES, OnEditDelete)
  ON_COMMAND(ID_EDIT_COPY_FILES, OnEditCopy)
  ON_COMMAND(ID_EDIT_PASTE_FILES, OnEditPaste)
  ON_COMMAND(ID_EDIT_CUT_FILES, OnEditCut)
  ON_COMMAND(ID_EDIT_BATCH_WB, OnBatchWB)
  ON_COMMAND(ID_EDIT_BATCH_COLOR_MODE, OnBatchColorMode)
  ON_COMMAND(ID_THUMB_RENAME, RenameOne)
  ON_UPDATE_COMMAND_UI_RANGE(ID_EDIT_SELECT_ALL_ITEMS, ID_EDIT_SELECT_MARKED, OnUpdateAlways)
  ON_UPDATE_COMMAND_UI(ID_EDIT_SELECT_LOCKED, OnUpdateAlways)
  ON_UPDATE_COMMAND_UI(ID_EDIT_INVERT_SELECTION, OnUpdateAlways)
  ON_UPDATE_COMMAND_UI(ID_EDIT_SELECT_NONE, OnUpdateSomeSelected)
  ON_UPDATE_COMMAND_UI(ID_EDIT_ROTATE_CW, OnUpdateRotate)
  ON_UPDATE_COMMAND_UI(ID_EDIT_ROTATE_CCW, OnUpdateRotate)
  ON_UPDATE_COMMAND_UI(ID_EDIT_MARK, OnUpdateMark)
  ON_UPDATE_COMMAND_UI(ID_EDIT_LOCK, OnUpdateLock)
  ON_UPDATE_COMMAND_UI(ID_EDIT_DELETE_FILES, OnUpdateDelete)
  ON_UPDATE_COMMAND_UI(ID_EDIT_COPY_FILES, OnUpdateSomeSelected)
  ON_UPDATE_COMMAND_UI(ID_EDIT_PASTE_FILES, OnUpdatePaste)
  ON_UPDATE_COMMAND_UI(ID_EDIT_CUT_FILES, OnUpdateSomeSelected)
  ON_UPDATE_COMMAND_UI(ID_EDIT_BATCH_WB, OnUpdateBatchRaw)
  ON_UPDATE_COMMAND_UI(ID_EDIT_BATCH_COLOR_MODE, OnUpdateBatchRaw)
  ON_UPDATE_COMMAND_UI(ID_THUMB_RENAME, OnUpdateSomeSelected)
  // View
  ON_COMMAND_RANGE(ID_VIEW_SIZE_SMALLEST, ID_VIEW_SIZE_LARGEST, OnThumbSize)
  ON_COMMAND(ID_VIEW_CAPTIONS, OnShowCaptions)
  ON_COMMAND_RANGE(ID_VIEW_FORMAT_RAW, ID_VIEW_FORMAT_TIFF, OnFormatFilter)
  ON_COMMAND_RANGE(ID_VIEW_FORMAT_STILL, ID_VIEW_FORMAT_STILL, OnFormatFilter)
  ON_COMMAND_RANGE(ID_VIEW_FORMAT_ALL, ID_VIEW_FORMAT_ALL, OnFormatFilter)
  ON_COMMAND_RANGE(ID_VIEW_STATE_ALL, ID_VIEW_STATE_UNLOCKED, OnStateFilter)
  ON_COMMAND_RANGE(ID_VIEW_SORT_NAME, ID_VIEW_SORT_SIZE, OnSortMode)
  ON_COMMAND_RANGE(ID_VIEW_SORT_DATE, ID_VIEW_SORT_DATE, OnSortMode)
  ON_COMMAND(ID_VIEW_SORT_INVERT, OnSortInvert)
  ON_COMMAND(ID_VIEW_REFRESH, OnRefresh)
  ON_UPDATE_COMMAND_UI_RANGE(ID_VIEW_SIZE_SMALLEST, ID_VIEW_CAPTIONS, OnUpdateAlways)
  ON_UPDATE_COMMAND_UI_RANGE(ID_VIEW_FORMAT_RAW, ID_VIEW_FORMAT_TIFF, OnUpdateFormatFilter)
  ON_UPDATE_COMMAND_UI(ID_VIEW_FORMAT_STILL, OnUpdateFormatFilter)
  ON_UPDATE_COMMAND_UI(ID_VIEW_FORMAT_ALL, OnUpdateFormatFilter)
  ON_UPDATE_COMMAND_UI_RANGE(ID_VIEW_STATE_ALL, ID_VIEW_STATE_UNLOCKED, OnUpdateStateFilter)
  ON_UPDATE_COMMAND_UI_RANGE(ID_VIEW_SORT_NAME, ID_VIEW_SORT_SIZE, OnUpdateSortMode)
  ON_UPDATE_COMMAND_UI(ID_VIEW_SORT_DATE, OnUpdateSortMode)
  ON_UPDATE_COMMAND_UI(ID_VIEW_SORT_INVERT, OnUpdateSortInvert)
  ON_UPDATE_COMMAND_UI(ID_VIEW_REFRESH, OnUpdateAlways)
  // Tools and Help
  ON_COMMAND(ID_TOOLS_CHECK_MONITOR, OnCheckMonitor)
  ON_COMMAND(ID_HELP_MANUAL, OnHelpManual)
  ON_COMMAND(ID_HELP_WEB_PAGE, OnWebPage)
  ON_UPDATE_COMMAND_UI(ID_TOOLS_CHECK_MONITOR, OnUpdateAlways)
  ON_UPDATE_COMMAND_UI(ID_HELP_MANUAL, OnUpdateHelpManual)
  ON_UPDATE_COMMAND_UI(ID_HELP_WEB_PAGE, OnUpdateAlways)
  // Requests of review windows and palettes, and the hand-over
  ON_MESSAGE(WM_APP_WB_CHANGED, OnWBChanged)
  ON_MESSAGE(WM_APP_SAVE_SETTINGS, OnSettingsWritten)
  ON_MESSAGE(WM_APP_FILE_OPERATION, OnFileOperation)
  ON_MESSAGE(WM_APP_COLORMODE_CHANGED, OnColorModeChanged)
  ON_MESSAGE(WM_APP_NOISE_CHANGED, OnNoiseChanged)
  ON_WM_COPYDATA()
END_MESSAGE_MAP()

CMainFrame::CMainFrame() : m_pReviewWindows(&g_NoReviewWindows), m_pOutputDialogs(&g_NoOutputDialogs) {
  RegisterMainFrameResources();
  if (g_pMainFrame == nullptr) {
    g_pMainFrame = this;
  }
}

CMainFrame::~CMainFrame() {
  if (g_pMainFrame == this) {
    g_pMainFrame = nullptr;
  }
}

void CMainFrame::SetReviewWindows(IReviewWindows* windows) {
  m_pReviewWindows = windows != nullptr ? windows : &g_NoReviewWindows;
}

void CMainFrame::SetOutputDialogs(IOutputDialogs* dialogs) {
  m_pOutputDialogs = dialogs != nullptr ? dialogs : &g_NoOutputDialogs;
}

// ---- Creation

CRect CMainFrame::FitSavedFrameRect(const CRect& saved, int workWidth, int workHeight) {
  CRect rect = saved;
  if (rect.Width() < kMinFrameWidth) {
    rect.right = rect.left + kMinFrameWidth;
  }
  if (rect.Height() < kMinFrameHeight) {
    rect.bottom = rect.top + kMinFrameHeight;
  }
  auto fit = [](LONG& low, LONG& high, int extent) {
    const LONG size = high - low;
    if (low < 0) {
      low = 0;
    } else if (high > extent) {
      low = std::max<LONG>(0, extent - size);
    }
    high = low + size;
  };
  fit(rect.left, rect.right, workWidth);
  fit(rect.top, rect.bottom, workHeight);
  return rect;
}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs) {
  if (!CFrameWnd::PreCreateWindow(cs)) {
    return FALSE;
  }
  CRect saved;
  if (CAppSettings* settings = AppSettings()) {
    CAppSettingsLock lock(*settings);
    saved = CRect(settings->m_rcThumbWindow);
  }
  const CRect rect =
      FitSavedFrameRect(saved, GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED));
  cs.x = rect.left;
  cs.y = rect.top;
  cs.cx = rect.Width();
  cs.cy = rect.Height();
  cs.dwExStyle &= ~WS_EX_CLIENTEDGE;
  return TRUE;
}

int CMainFrame::OnCreate(LPCREATESTRUCT cs) {
  const BrowserStartValues start = ReadStartValues();
  if (CFrameWnd::OnCreate(cs) == -1) {
    return -1;
  }
  // The splash window is the application's: it shows it once the frame exists.
  std::u16string title;
  if (CLumitraApp* app = GetLumitraApp(); app != nullptr && app->GetString(999, title)) {
    SetWindowText(title.c_str());
  }
  LoadMenuTexts();
  if (IThumbPane* pane = GetThumbPane()) {
    pane->SetThumbSizeIndex(start.thumbSize);
    pane->SetInfoView(start.withInfo);
    pane->SetFormatFilter(start.formatFilter);
    pane->SetStateFilter(start.stateFilter);
    pane->SetSortMode(start.sortMode);
    if (start.sortInvert) {
      pane->ToggleSortOrder();
    }
  }
  const FString folder = FolderExists(start.thumbDir) ? start.thumbDir : UserPicturesFolder();
  if (IFolderPane* tree = GetFolderPane()) {
    tree->SelectPath(folder);
  }
  if (start.openInfoPalette) {
    ShowInfoPalette();
  }
  return 0;
}

BOOL CMainFrame::OnCreateClient(LPCREATESTRUCT, CCreateContext* context) {
  int folderWidth = 0;
  int thumbWidth = 0;
  if (CAppSettings* settings = AppSettings()) {
    CAppSettingsLock lock(*settings);
    folderWidth = settings->m_nFolderWidth;
    thumbWidth = settings->m_nThumbWidth;
  }
  folderWidth = std::max(folderWidth, kMinFolderPaneWidth);
  thumbWidth = std::max(thumbWidth, kMinThumbPaneWidth);

  IBrowserPaneFactory& factory = BrowserPaneFactory();
  m_pSplitter = factory.NewSplitter();
  if (m_pSplitter == nullptr) {
    return TRUE; // a build without the browser panes: an empty frame
  }
  // The panes start as high as the frame (a pane of no height has nothing to draw on).
  CRect client;
  GetClientRect(&client);
  const int height = std::max<int>(client.Height(), 1);
  if (!m_pSplitter->CreateStatic(this, 1, 2, WS_CHILD | WS_VISIBLE, AFX_IDW_PANE_FIRST) ||
      !m_pSplitter->CreateView(0, 0, factory.FolderPaneClass(), CSize(folderWidth, height), context) ||
      !m_pSplitter->CreateView(0, 1, factory.ThumbPaneClass(), CSize(thumbWidth, height), context)) {
    return FALSE;
  }
  m_pSplitter->SetColumnInfo(0, folderWidth, 0);
  m_pSplitter->SetColumnInfo(1, thumbWidth, 0);
  m_pSplitter->RecalcLayout();
  // There are no documents to update the views later: they set up their
  // controls now, so that the frame can give them their start values.
  m_pSplitter->GetPane(0, 0)->SendMessage(WM_INITIALUPDATE);
  m_pSplitter->GetPane(0, 1)->SendMessage(WM_INITIALUPDATE);
  m_pFolderPane = factory.BindFolderPane(m_pSplitter->GetPane(0, 0));
  m_pThumbPane = factory.BindThumbPane(m_pSplitter->GetPane(0, 1));
  return TRUE;
}

IThumbPane* CMainFrame::GetThumbPane() { return m_pThumbPane.get(); }

IFolderPane* CMainFrame::GetFolderPane() { return m_pFolderPane.get(); }

// ---- Review-frame list

void CMainFrame::ReorderReviewFrame(IReviewFrame* frame, int action) {
  auto found = std::find(m_aReviewFrames.begin(), m_aReviewFrames.end(), frame);
  if (frame == nullptr || found == m_aReviewFrames.end()) {
    return;
  }
  if (action == 1) {
    m_aReviewFrames.erase(found);
    m_aReviewFrames.insert(m_aReviewFrames.begin(), frame);
  } else if (action == 2) {
    m_aReviewFrames.erase(found);
  }
}

IReviewFrame* CMainFrame::GetReviewFrame(int index) const {
  return index >= 0 && index < GetReviewFrameCount() ? m_aReviewFrames[static_cast<size_t>(index)] : nullptr;
}

void CMainFrame::BroadcastToReviewFrames(UINT message, WPARAM wParam, LPARAM lParam) {
  // A receiver may leave the list while it handles the message (WM_CLOSE):
  // send to the windows listed when the broadcast began that are still listed.
  const std::vector<IReviewFrame*> frames = m_aReviewFrames;
  for (IReviewFrame* frame : frames) {
    if (std::find(m_aReviewFrames.begin(), m_aReviewFrames.end(), frame) != m_aReviewFrames.end()) {
      frame->GetFrameWnd()->SendMessage(message, wParam, lParam);
    }
  }
}

void CMainFrame::SendToAdjustPalette(UINT message, WPARAM wParam, LPARAM lParam) {
  if (CWnd* palette = ReviewWindows().GetAdjustPalette()) {
    palette->SendMessage(message, wParam, lParam);
  }
}

void CMainFrame::CollectTopWindows(std::vector<CWnd*>* windows) {
  windows->push_back(this);
  for (IReviewFrame* frame : m_aReviewFrames) {
    windows->push_back(frame->GetFrameWnd());
  }
  if (CWnd* info = ReviewWindows().GetInfoPalette()) {
    windows->push_back(info);
  }
  if (CWnd* adjust = ReviewWindows().GetAdjustPalette()) {
    windows->push_back(adjust);
  }
}

BOOL CMainFrame::IsShownInReviewFrame(const FString& path) const {
  return std::any_of(m_aReviewFrames.begin(), m_aReviewFrames.end(),
                     [&](const IReviewFrame* frame) { return frame->GetImagePath() == path; });
}

// ---- Questions about the browser

BOOL CMainFrame::GetSelectedThumbnails(CET_ThumbnailDataManager* list) {
  IThumbPane* pane = GetThumbPane();
  return pane != nullptr && pane->GetSelectedItems(list);
}

BOOL CMainFrame::GetAllThumbnails(CET_ThumbnailDataManager* list) {
  IThumbPane* pane = GetThumbPane();
  return pane != nullptr && pane->GetAllItems(list);
}

CTLM_ThumbnailData* CMainFrame::FindThumbnail(const FString& path) {
  IThumbPane* pane = GetThumbPane();
  return pane != nullptr ? pane->FindItem(path) : nullptr;
}

void CMainFrame::GetImagePosition(const FString& path, int* index, int* count) {
  if (IThumbPane* pane = GetThumbPane()) {
    pane->GetImagePosition(path, index, count);
  } else {
    *index = -1;
    *count = -1;
  }
}

FString CMainFrame::GetNextImagePath(const FString& path) {
  IThumbPane* pane = GetThumbPane();
  return pane != nullptr ? pane->GetNextImagePath(path) : FString();
}

FString CMainFrame::GetPrevImagePath(const FString& path) {
  IThumbPane* pane = GetThumbPane();
  return pane != nullptr ? pane->GetPrevImagePath(path) : FString();
}

BOOL CMainFrame::IsThumbnailLoading() {
  IThumbPane* pane = GetThumbPane();
  return pane != nullptr && pane->IsLoading();
}

void CMainFrame::NotifyInfoPalette(const FString& path) {
  if (CWnd* info = ReviewWindows().GetInfoPalette()) {
    FString copy = path;
    info->SendMessage(WM_APP_SHOW_INFO, reinterpret_cast<WPARAM>(&copy), 0);
  }
}

void CMainFrame::ReloadFolder() {
  if (IThumbPane* pane = GetThumbPane()) {
    pane->RefreshItems(nullptr);
    pane->UpdateSelectionInfo();
    pane->UpdateButtons();
    UpdateFolderSummary();
  }
}

void CMainFrame::UpdateFolderSummary() {
  IThumbPane* pane = GetThumbPane();
  IFolderPane* tree = GetFolderPane();
  if (pane != nullptr && tree != nullptr) {
    tree->UpdateSummary(pane->GetFolder());
  }
}

void CMainFrame::SendFileListToReviewFrames() {
  if (m_aReviewFrames.empty()) {
    return;
  }
  CET_ThumbnailDataManager items;
  GetAllThumbnails(&items);
  BroadcastToReviewFrames(WM_APP_FILE_LIST_CHANGED, reinterpret_cast<WPARAM>(&items), 0);
}

void CMainFrame::SelectFolder(const FString& folder, BOOL selectInTree) {
  IThumbPane* pane = GetThumbPane();
  if (pane == nullptr) {
    return;
  }
  pane->SetFolder(folder);
  if (selectInTree) {
    if (IFolderPane* tree = GetFolderPane()) {
      tree->SelectPath(folder);
    }
  }
  NotifyInfoPalette(FString());
  const char16_t empty[] = u"";
  pane->GetPaneWnd()->SendMessage(WM_APP_THUMB_VIEW_EVENT, kThumbViewFocusChanged, reinterpret_cast<LPARAM>(empty));
  SendFileListToReviewFrames();
}

// ---- Window behaviour

void CMainFrame::OnSetFocus(CWnd*) {
  // The focus stays where the user put it; it is not handed to a view.
}

void CMainFrame::EnforceMinimumTrackSize(UINT edge, RECT* rect) {
  const bool leftEdge = edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT;
  const bool topEdge = edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT;
  if (rect->right - rect->left < kMinFrameWidth) {
    if (leftEdge) {
      rect->left = rect->right - kMinFrameWidth;
    } else {
      rect->right = rect->left + kMinFrameWidth;
    }
  }
  if (rect->bottom - rect->top < kMinFrameHeight) {
    if (topEdge) {
      rect->top = rect->bottom - kMinFrameHeight;
    } else {
      rect->bottom = rect->top + kMinFrameHeight;
    }
  }
}

void CMainFrame::OnSizing(UINT edge, LPRECT rect) {
  CFrameWnd::OnSizing(edge, rect);
  EnforceMinimumTrackSize(edge, rect);
}

void CMainFrame::OnActivate(UINT state, CWnd* other, BOOL minimized) {
  CFrameWnd::OnActivate(state, other, minimized);
  CWnd* info = ReviewWindows().GetInfoPalette();
  if ((state != WA_ACTIVE && state != WA_CLICKACTIVE) || info == nullptr) {
    return;
  }
  info->SetWindowPos(CWnd::FromHandle(HWND_TOP), 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
  IThumbPane* pane = GetThumbPane();
  NotifyInfoPalette(pane != nullptr ? pane->GetFirstPath(TRUE) : FString());
  SetWindowPos(CWnd::FromHandle(HWND_TOP), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void CMainFrame::OnWindowPosChanging(WINDOWPOS* pos) {
  CFrameWnd::OnWindowPosChanging(pos);
  CWnd* info = ReviewWindows().GetInfoPalette();
  if (info != nullptr && CWnd::GetActiveWindow() == this) {
    pos->hwndInsertAfter = info->GetSafeHwnd();
  }
}

void CMainFrame::OnSize(UINT type, int cx, int cy) {
  CFrameWnd::OnSize(type, cx, cy);
  CWnd* info = ReviewWindows().GetInfoPalette();
  if (info == nullptr) {
    return;
  }
  const bool anyReviewShown = std::any_of(m_aReviewFrames.begin(), m_aReviewFrames.end(),
                                          [](IReviewFrame* frame) { return !frame->GetFrameWnd()->IsIconic(); });
  info->ShowWindow(type == SIZE_MINIMIZED && !anyReviewShown ? SW_HIDE : SW_SHOWNOACTIVATE);
}

void CMainFrame::OnSysCommand(UINT id, LPARAM lParam) {
  if (m_pProgressDlg != nullptr) {
    if ((id & 0xFFF0) == SC_RESTORE) {
      m_pProgressDlg->ShowWindow(SW_SHOW);
      ShowWindow(SW_RESTORE);
    } else if ((id & 0xFFF0) == SC_MINIMIZE) {
      ShowWindow(SW_MINIMIZE);
      for (IReviewFrame* frame : m_aReviewFrames) {
        frame->GetFrameWnd()->ShowWindow(SW_MINIMIZE);
      }
    }
  }
  CFrameWnd::OnSysCommand(id, lParam);
}

// ---- Closing

void CMainFrame::OnClose() {
  KillTimer(kCloseRetryTimer);
  if (m_aReviewFrames.empty()) {
    CFrameWnd::OnClose();
    return;
  }
  // Every review window closes itself, at once or when its worker ends; ask
  // again until none is left.
  BroadcastToReviewFrames(WM_CLOSE, 0, 0);
  SetTimer(kCloseRetryTimer, kCloseRetryMilliseconds);
}

void CMainFrame::OnTimer(UINT_PTR id) {
  if (id != kCloseRetryTimer) {
    CFrameWnd::OnTimer(id);
    return;
  }
  KillTimer(kCloseRetryTimer);
  PostMessage(WM_CLOSE);
}

BOOL CMainFrame::DestroyWindow() {
  const bool reviewFramesListed = !m_aReviewFrames.empty();
  const bool adjustPaletteOpen = reviewFramesListed && ReviewWindows().GetAdjustPalette() != nullptr;
  const bool infoPaletteOpen = ReviewWindows().GetInfoPalette() != nullptr;
  const bool maximised = IsZoomed() != FALSE;
  ReviewWindows().CloseInfoPalette();
  ReviewWindows().CloseAdjustPalette();
  const std::vector<IReviewFrame*> frames = m_aReviewFrames;
  for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame) {
    (*frame)->DestroyReviewFrame();
  }
  m_aReviewFrames.clear();
  if (m_hIcon != nullptr) {
    DestroyIcon(m_hIcon);
    m_hIcon = nullptr;
  }

  WINDOWPLACEMENT placement{};
  GetWindowPlacement(&placement);
  if (CAppSettings* settings = AppSettings()) {
    CRect folderClient;
    CRect thumbClient;
    if (IFolderPane* tree = GetFolderPane()) {
      tree->GetPaneWnd()->GetClientRect(&folderClient);
    }
    IThumbPane* pane = GetThumbPane();
    if (pane != nullptr) {
      pane->GetPaneWnd()->GetClientRect(&thumbClient);
    }
    CAppSettingsLock lock(*settings);
    settings->m_rcThumbWindow = placement.rcNormalPosition;
    if (pane != nullptr) {
      settings->m_nFolderWidth = folderClient.Width();
      settings->m_nThumbWidth = thumbClient.Width();
      settings->m_strThumbDir = pane->GetFolder();
      settings->m_nThumbSize = pane->GetThumbSizeIndex();
      settings->m_nThumbWithInfo = pane->IsInfoView();
      settings->m_nFormatFilter = pane->GetFormatFilter();
      settings->m_nStateFilter = pane->GetStateFilter();
      settings->m_nSortMode = pane->GetSortMode();
      settings->m_nSortInvert = pane->IsSortInverted();
    }
    settings->m_nOpenInfoPalette = infoPaletteOpen;
    settings->m_nThumbMaxSize = maximised;
    if (reviewFramesListed) {
      settings->m_nOpenAdjustPalette = adjustPaletteOpen;
    }
  }
  // The single-instance mark a second start looks for belongs to the
  // application's instance lock, which it releases when it ends.
  m_pThumbPane.reset();
  m_pFolderPane.reset();
  return CFrameWnd::DestroyWindow();
}
