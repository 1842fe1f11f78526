#pragma once
// The browser's top-level window and the hub of the user interface. It holds
// the two browser panes in a splitter (the folder tree left, the thumbnails
// right), keeps the list of open review windows (front: the most recently
// active), answers the questions review windows, palettes and dialogs ask
// about the browser's files, relays notifications to every review window,
// carries out the menu's commands and every change to an image file that the
// user interface makes outside a save, and closes all review windows before
// the program ends.
//
// Its source files, one per concern:
//   CMainFrame.cpp          windows, splitter, review-frame list, queries,
//                           closing protocol and the message map
//   CMainFrameCommands.cpp  the menu: texts, commands and update rules
//   CMainFrameTransfers.cpp paste and the two renames
//   CMainFrameDialogs.cpp   the small dialogs the commands run (message box,
//                           rename, batch white balance, monitor check)
//   BrowserPaneBinding.cpp  the panes behind BrowserPanes.h
//   CMainFrameFileOps.cpp   the file operations, the rotation worker and the
//                           application messages (requests from review
//                           windows and palettes, the hand-over of a second
//                           instance)
//
// The review window and palettes (ReviewWindows.h) and the saving, printing,
// slide-show and preference dialogs (OutputDialogs.h) are reached through one
// interface each; until they are installed the frame has none of them and
// their commands are disabled. The panes are reached through BrowserPanes.h.

#include "foundation/FString.h"
#include "platform/afx/AfxExt.h"
#include "platform/afx/AfxFrame.h"
#include "platform/afx/AfxMenu.h"
#include "shell/app/CPresetList.h"
#include "shell/browser/CTLM_ThumbnailWnd.h"
#include "shell/browser/CTreeFormView.h"
#include "shell/browser/ThumbViewFrame.h"
#include "shell/frame/BrowserPanes.h"
#include "shell/frame/OutputDialogs.h"
#include "shell/frame/ReviewWindows.h"

#include <memory>
#include <vector>

class CET_ThumbnailDataManager;
class IShootingInfoCache;
class CKVR_FilterData;
class CTLM_ThumbnailData;

// The frame's resources: menu, accelerators and large icon.
constexpr UINT IDR_MAINFRAME = 128;
// Timer of the closing protocol: asks the review windows again.
constexpr UINT_PTR kCloseRetryTimer = 1;
constexpr UINT kCloseRetryMilliseconds = 500;
// Smallest frame size.
constexpr int kMinFrameWidth = 920;
constexpr int kMinFrameHeight = 600;
// Smallest saved pane widths.
constexpr int kMinFolderPaneWidth = 250;
constexpr int kMinThumbPaneWidth = 500;

// The menu's commands (resource 128) and the thumbnail window's rename.
enum MainFrameCommand : UINT {
  ID_FILE_OPEN_REVIEW = 32779,
  ID_FILE_OPEN_NEW_REVIEW = 32780,
  ID_FILE_BATCH_RENAME = 32781,
  ID_FILE_SAVE_IMAGES = 57603, // ID_FILE_SAVE
  ID_FILE_EXTRACT_JPEG = 32949,
  ID_FILE_INFO_PALETTE = 32782,
  ID_FILE_PRINT_SETUP_CMD = 57606,
  ID_FILE_PRINT_IMAGES = 57607, // ID_FILE_PRINT
  ID_FILE_SLIDE_SHOW = 32786,
  ID_FILE_PREFERENCES = 32917,
  ID_FILE_EXIT = 57665, // ID_APP_EXIT
  ID_EDIT_SELECT_ALL_ITEMS = 32788,
  ID_EDIT_SELECT_MARKED = 32789,
  ID_EDIT_SELECT_LOCKED = 32801,
  ID_EDIT_SELECT_NONE = 32809,
  ID_EDIT_INVERT_SELECTION = 32810,
  ID_EDIT_ROTATE_CW = 32804,
  ID_EDIT_ROTATE_CCW = 32805,
  ID_EDIT_MARK = 32806,
  ID_EDIT_LOCK = 32807,
  ID_EDIT_DELETE_FILES = 32808,
  ID_EDIT_COPY_FILES = 57634, // ID_EDIT_COPY
  ID_EDIT_PASTE_FILES = 57637, // ID_EDIT_PASTE
  ID_EDIT_CUT_FILES = 57635,   // ID_EDIT_CUT
  ID_EDIT_BATCH_WB = 32942,
  ID_EDIT_BATCH_COLOR_MODE = 32963,
  ID_VIEW_SIZE_SMALLEST = 32832, // size index 0
  ID_VIEW_SIZE_SMALL = 32833,    // 10
  ID_VIEW_SIZE_LARGE = 32834,    // 18
  ID_VIEW_SIZE_LARGEST = 32835,  // 31
  ID_VIEW_CAPTIONS = 32836,
  ID_VIEW_FORMAT_RAW = 32837,
  ID_VIEW_FORMAT_JPEG = 32838,
  ID_VIEW_FORMAT_TIFF = 32839,
  ID_VIEW_FORMAT_STILL = 32919,
  ID_VIEW_FORMAT_ALL = 32921,
  ID_VIEW_STATE_ALL = 32843, // .. 32847: state filters 0 to 4
  ID_VIEW_STATE_MARKED = 32844,
  ID_VIEW_STATE_UNMARKED = 32845,
  ID_VIEW_STATE_LOCKED = 32846,
  ID_VIEW_STATE_UNLOCKED = 32847,
  ID_VIEW_SORT_NAME = 32854,
  ID_VIEW_SORT_TYPE = 32855,
  ID_VIEW_SORT_SIZE = 32856,
  ID_VIEW_SORT_DATE = 32859,
  ID_VIEW_SORT_INVERT = 32853,
  ID_VIEW_REFRESH = 32858,
  ID_TOOLS_CHECK_MONITOR = 32861,
  ID_HELP_MANUAL = 57670, // ID_HELP_FINDER
  ID_HELP_ABOUT = 57664,  // ID_APP_ABOUT
  ID_HELP_WEB_PAGE = 32866,
  ID_THUMB_RENAME = 109, // the thumbnail window's context menu
};

// The block RotateSelection hands to its worker; it lives on the command's
// stack for the modal run.
struct RotationJob {
  std::vector<FString> sources;
  std::vector<FString> destinations; // same length and order
  IThreadProgress* progress = nullptr;
  BOOL clockwise = TRUE;
  std::vector<FString> rotated; // filled by the worker: the destinations it rotated
  IThumbPane* thumbPane = nullptr;
};

// The frame is also what its panes, the thumbnail grid and the presets ask
// of it (IThumbViewFrame, ITreeFormViewFrame, IThumbnailGridFrame,
// IPresetListener).
class CMainFrame : public CFrameWnd,
                   public IThumbViewFrame,
                   public ITreeFormViewFrame,
                   public IThumbnailGridFrame,
                   public IPresetListener {
  DECLARE_DYNAMIC(CMainFrame)
public:
  CMainFrame();
  ~CMainFrame() override;

  // ---- Services (installed before the frame is created; the frame does not
  // own them). Null restores the default: none of those windows exists.
  void SetReviewWindows(IReviewWindows* windows);
  void SetOutputDialogs(IOutputDialogs* dialogs);
  IReviewWindows& ReviewWindows() const { return *m_pReviewWindows; }
  IOutputDialogs& OutputDialogs() const { return *m_pOutputDialogs; }

  // ---- Framework overrides
  BOOL DestroyWindow() override;
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  BOOL OnCreateClient(LPCREATESTRUCT cs, CCreateContext* context) override;

  // ---- Review-frame list and broadcasting
  // Action 1 moves the frame to the front, 2 removes it; a null frame, one not
  // listed or another action changes nothing.
  void ReorderReviewFrame(IReviewFrame* frame, int action);
  int GetReviewFrameCount() const { return static_cast<int>(m_aReviewFrames.size()); }
  IReviewFrame* GetReviewFrame(int index) const;
  // Sends the message to every review window, front first.
  void BroadcastToReviewFrames(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Sends it to the adjustment palette when it is open.
  void SendToAdjustPalette(UINT message, WPARAM wParam, LPARAM lParam) override;
  // The main frame, every review window in list order, then the information
  // and the adjustment palette when open: what a modal dialog disables.
  void CollectTopWindows(std::vector<CWnd*>* windows);
  BOOL HasProgressDialog() const { return m_pProgressDlg != nullptr; }

  // ---- Questions about the browser (neutral answers without a thumbnail pane)
  BOOL GetSelectedThumbnails(CET_ThumbnailDataManager* list);
  BOOL GetAllThumbnails(CET_ThumbnailDataManager* list);
  // A new copy (the caller deletes it) or null.
  CTLM_ThumbnailData* FindThumbnail(const FString& path);
  // 0 and 1 for a path outside the browser's folder or not listed; -1 and -1
  // without the pane.
  void GetImagePosition(const FString& path, int* index, int* count);
  FString GetNextImagePath(const FString& path);
  FString GetPrevImagePath(const FString& path);
  BOOL IsThumbnailLoading();
  void NotifyInfoPalette(const FString& path) override;
  BOOL CanRunCommand(UINT command) override;
  void ReloadFolder();
  // The folder pane counts the shown folder's files again.
  void UpdateFolderSummary();
  void SelectFolder(const FString& folder, BOOL selectInTree) override;

  // The panes (null when they do not exist).
  virtual IThumbPane* GetThumbPane();
  virtual IFolderPane* GetFolderPane();

  // ---- Window rules, also used by the handlers
  // The saved rectangle made at least 920 x 600 and moved into a work area
  // of the given size (never to a negative position).
  static CRect FitSavedFrameRect(const CRect& saved, int workWidth, int workHeight);
  // A dragged rectangle widened or heightened to the minimum on the side
  // being dragged (WMSZ_* edge).
  static void EnforceMinimumTrackSize(UINT edge, RECT* rect);

  // ---- Commands (menu 128 and the panes' buttons)
  void LoadMenuTexts();
  void ShowInfoPalette();
  void SaveImages() override;
  void ExtractJpeg();
  void PrintImages(const FString& path);
  void StartSlideShow();
  void BatchRename();
  void RenameOne();
  void OnEditMark();
  void OnEditLock();
  void OnEditDelete();
  void OnEditPaste();
  void OnBatchWB();
  void OnBatchColorMode();

  // ---- File operations, rotation worker and hand-over (CMainFrameFileOps.cpp)
  void DeleteImages(const std::vector<FString>& paths, BOOL confirm);
  void LockImages(const std::vector<FString>& paths, BOOL lock);
  void MarkImages(const std::vector<FString>& paths, BOOL mark);
  void RotateFile(const FString& source, const FString& destination, BOOL clockwise);
  void RotateSelection(BOOL clockwise);
  // The rotation worker; returns 0.
  static UINT RotateThreadProc(RotationJob* job);
  // Opens a file of the browser (empty: the current file) in a review window,
  // a movie in its player.
  void OpenImage(const FString& path, BOOL newWindow) override;
  afx_msg LRESULT OnWBChanged(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnSettingsWritten(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnFileOperation(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnColorModeChanged(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnNoiseChanged(WPARAM wParam, LPARAM lParam);
  afx_msg BOOL OnCopyData(CWnd* sender, COPYDATASTRUCT* data);

protected:
  // ---- The small dialogs the commands run (CMainFrameDialogs.cpp); tests
  // replace them.
  // CMessageDlg with the style and message: its result code (11 OK, 12
  // cancel, 13 yes, 14 no, 21 yes to all).
  virtual INT_PTR RunMessageDlg(int style, const FString& message);
  // The same with a text of the text table.
  INT_PTR RunMessageDlgText(int style, int textId);
  // CBatchRenameThumb with one name: FALSE unless OK; the new name.
  virtual BOOL RunRenameOneDlg(const FString& name, FString* newName);
  // CBatchRenameDlg: FALSE unless OK; one new name per name, in order.
  virtual BOOL RunBatchRenameDlg(const std::vector<FString>& names, std::vector<FString>* newNames);
  // CBatchWBDlg over the raw files (colour-mode mode when asked): FALSE
  // unless OK; pairs of path and list index.
  virtual BOOL RunBatchWBDlg(const CET_ThumbnailDataManager* files, BOOL colorMode,
                             std::vector<std::pair<FString, int>>* choices);
  virtual void RunCheckMonitorDlg();
  // The program that opens "User Manual.pdf" exists; opening a document or
  // address with its program.
  virtual BOOL HasManualViewer() const;
  virtual void ShellOpen(const FString& target);

  // ---- Window messages
  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg void OnSetFocus(CWnd* old);
  afx_msg void OnSizing(UINT edge, LPRECT rect);
  afx_msg void OnActivate(UINT state, CWnd* other, BOOL minimized);
  afx_msg void OnWindowPosChanging(WINDOWPOS* pos);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnClose();
  afx_msg void OnSysCommand(UINT id, LPARAM lParam);

  // ---- Command handlers and update rules (CMainFrameCommands.cpp)
  afx_msg void OnFileOpenReview();
  afx_msg void OnFileOpenNewReview();
  afx_msg void OnFilePrint();
  afx_msg void OnPreferences();
  // The framework's exit: the frame's own closing protocol.
  afx_msg void OnAppExit();
  afx_msg void OnSelectCommand(UINT id);
  afx_msg void OnRotateClockwise();
  afx_msg void OnRotateCounterClockwise();
  afx_msg void OnEditCopy();
  afx_msg void OnEditCut();
  afx_msg void OnThumbSize(UINT id);
  afx_msg void OnShowCaptions();
  afx_msg void OnFormatFilter(UINT id);
  afx_msg void OnStateFilter(UINT id);
  afx_msg void OnSortMode(UINT id);
  afx_msg void OnSortInvert();
  afx_msg void OnRefresh();
  afx_msg void OnCheckMonitor();
  afx_msg void OnHelpManual();
  afx_msg void OnWebPage();

  afx_msg void OnUpdateAlways(CCmdUI* ui);
  afx_msg void OnUpdateOpenReview(CCmdUI* ui);
  afx_msg void OnUpdateSaveImages(CCmdUI* ui);
  afx_msg void OnUpdateExtractJpeg(CCmdUI* ui);
  afx_msg void OnUpdateInfoPalette(CCmdUI* ui);
  afx_msg void OnUpdatePrint(CCmdUI* ui);
  afx_msg void OnUpdateSlideShow(CCmdUI* ui);
  afx_msg void OnUpdatePreferences(CCmdUI* ui);
  afx_msg void OnUpdateSomeSelected(CCmdUI* ui);
  afx_msg void OnUpdateRotate(CCmdUI* ui);
  afx_msg void OnUpdateMark(CCmdUI* ui);
  afx_msg void OnUpdateLock(CCmdUI* ui);
  afx_msg void OnUpdateDelete(CCmdUI* ui);
  afx_msg void OnUpdatePaste(CCmdUI* ui);
  afx_msg void OnUpdateBatchRaw(CCmdUI* ui);
  afx_msg void OnUpdateFormatFilter(CCmdUI* ui);
  afx_msg void OnUpdateStateFilter(CCmdUI* ui);
  afx_msg void OnUpdateSortMode(CCmdUI* ui);
  afx_msg void OnUpdateSortInvert(CCmdUI* ui);
  afx_msg void OnUpdateHelpManual(CCmdUI* ui);

  DECLARE_MESSAGE_MAP()

private:
  // Some listed file is a raw file.
  BOOL AnyListedRaw();
  void CopyOrCutSelection(DWORD dropEffect);
  void RunBatchSettings(BOOL colorMode);
  // After the marks or locks of files changed: the pane's refresh, the review
  // windows' list and the information palette.
  void AfterStateChange(const std::vector<FString>& paths, BOOL dependsOnFilter);
  void SendFileListToReviewFrames();
  void NotifyInfoPaletteOfSelection(LPARAM force);
  BOOL IsShownInReviewFrame(const FString& path) const;
  // The application's shooting-information cache, as the file operations use it.
  static IShootingInfoCache& ShootingInfo();

  std::unique_ptr<CSplitterWnd> m_pSplitter;
  std::unique_ptr<IFolderPane> m_pFolderPane;
  std::unique_ptr<IThumbPane> m_pThumbPane;
  HICON m_hIcon = nullptr; // the large icon; none while the window layer loads no icon resources
  std::vector<IReviewFrame*> m_aReviewFrames; // index 0: the most recently active
  CWnd* m_pProgressDlg = nullptr;             // the batch save's progress dialog while it runs
  int m_nFolderListings = 0;                  // how often SelectFolder has listed a folder
  IReviewWindows* m_pReviewWindows;
  IOutputDialogs* m_pOutputDialogs;

  // ---- The file operations' view of the frame (CMainFrameFileOps.cpp)
  friend class CMainFrameOpsHost;
};

// The application's main frame (null before it exists).
CMainFrame* GetMainFrame();
