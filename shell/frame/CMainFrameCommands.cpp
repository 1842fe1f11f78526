// The browser's menu: its texts, the commands and their update rules. Most
// commands act on the thumbnail pane: its selected items, all listed items or
// its display options. A command or update rule without a thumbnail pane does
// nothing (an update rule leaves or disables its item). A command whose
// dialog the program does not have yet is disabled.

#include "shell/frame/CMainFrame.h"

#include "foundation/FPath.h"
#include "platform/shell/WinShell.h"
#include "platform/win/WinCommonDialogs.h"
#include "platform/win/WinClipboard.h"
#include "platform/win/WinIcm.h"
#include "shell/app/AppClipboard.h"
#include "shell/app/AppFolders.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "shell/facade/CSaveJob.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "shell/frame/MainFrameMenu.h"
#include "shell/frame/PathLists.h"
#include "toolkit/CET_ThumbnailData.h"
#include "toolkit/FileOperations.h"
#include "toolkit/PictureFileTypes.h"

#include <algorithm>
#include <array>

namespace {

constexpr int kMarkText = 1121;
constexpr int kUnmarkText = 1151;
constexpr int kLockText = 1122;
constexpr int kUnlockText = 1152;
constexpr int kNoPrinterText = 9013;
constexpr int kReadOnlyAttribute = 0x1; // of ReadFileAttributeWord
constexpr char16_t kManualName[] = u"User Manual.pdf";
constexpr char16_t kWebPage[] = u"https://www.lumitra.example/";

// The thumbnail sizes of the four size commands.
constexpr std::array<int, 4> kSizeIndexes = {0, 10, 18, 31};

int FormatFilterOf(UINT id) {
  switch (id) {
  case ID_VIEW_FORMAT_RAW: return 1;
  case ID_VIEW_FORMAT_JPEG: return 2;
  case ID_VIEW_FORMAT_TIFF: return 3;
  case ID_VIEW_FORMAT_STILL: return 4;
  default: return 0;
  }
}

int SortModeOf(UINT id) {
  switch (id) {
  case ID_VIEW_SORT_TYPE: return 1;
  case ID_VIEW_SORT_SIZE: return 2;
  case ID_VIEW_SORT_DATE: return 3;
  default: return 0;
  }
}

std::u16string TextOf(int textId) {
  std::u16string text;
  if (CLumitraApp* app = GetLumitraApp()) {
    app->GetString(textId, text);
  }
  return text;
}


// A command's caption from the text table (left as it is when the table has none).
void SetCaption(CCmdUI* ui, int textId) {
  if (const std::u16string text = TextOf(textId); !text.empty()) {
    ui->SetText(text.c_str());
  }
}

// The items of a list, for range loops.
std::vector<const CTLM_ThumbnailData*> ItemsOf(const CET_ThumbnailDataManager& list) {
  std::vector<const CTLM_ThumbnailData*> items;
  for (int i = 0; i < list.GetCount(); ++i) {
    if (const auto* item = dynamic_cast<const CTLM_ThumbnailData*>(list.GetAt(i))) {
      items.push_back(item);
    }
  }
  return items;
}

// Copies of the pane's selected items (none without a pane).
class SelectedItems {
public:
  explicit SelectedItems(const IThumbPane* pane) {
    if (pane != nullptr) {
      pane->GetSelectedItems(&m_List);
    }
    m_Items = ItemsOf(m_List);
  }
  const std::vector<const CTLM_ThumbnailData*>& Items() const { return m_Items; }

private:
  CET_ThumbnailDataManager m_List;
  std::vector<const CTLM_ThumbnailData*> m_Items;
};

std::vector<FString> SelectedPaths(const IThumbPane& pane) {
  std::vector<FString> paths;
  pane.GetSelectedPaths(&paths);
  return paths;
}

bool IsRaw(const CTLM_ThumbnailData* item) { return item->m_FileType == ETFILETYPE_KVR; }

bool CanCarryMark(const CTLM_ThumbnailData* item) { return item->m_Exif.HasEntry() && item->m_Exif.CanMark(); }

bool FileExists(const FString& path) { return ReadFileAttributeWord(path) != -1; }

bool IsWritable(const FString& path) {
  const int attributes = ReadFileAttributeWord(path);
  return attributes != -1 && (attributes & kReadOnlyAttribute) == 0;
}

// The folder of a path, compared exactly with the browser's folder.
bool IsInFolder(const FString& path, const FString& folder) { return PathParent(path) == folder; }

} // namespace

// ---- Menu texts

void CMainFrame::LoadMenuTexts() {
  CMenu* menu = GetMenu();
  if (menu == nullptr) {
    return;
  }
  const auto layout = MainFrameMenuLayout();
  for (int position = 0; position < static_cast<int>(layout.size()); ++position) {
    CMenu* dropDown = menu->GetSubMenu(position);
    if (dropDown == nullptr) {
      continue;
    }
    if (const std::u16string text = TextOf(layout[static_cast<size_t>(position)].textId); !text.empty()) {
      menu->ModifyMenu(static_cast<UINT>(position), MF_BYPOSITION | MF_POPUP,
                       reinterpret_cast<UINT_PTR>(dropDown->GetSafeHmenu()), text.c_str());
    }
    for (UINT index = 0; index < dropDown->GetMenuItemCount(); ++index) {
      const UINT id = dropDown->GetMenuItemID(static_cast<int>(index));
      const std::u16string text = TextOf(MainFrameMenuTextId(id));
      if (!text.empty()) {
        dropDown->ModifyMenu(id, MF_BYCOMMAND | MF_STRING, id, text.c_str());
      }
    }
  }
  DrawMenuBar();
}

// ---- File

void CMainFrame::OnFileOpenReview() { OpenImage(FString(), FALSE); }

void CMainFrame::OnFileOpenNewReview() { OpenImage(FString(), TRUE); }

void CMainFrame::ShowInfoPalette() {
  IReviewWindows& windows = ReviewWindows();
  if (windows.GetInfoPalette() != nullptr) {
    windows.CloseInfoPalette();
    return;
  }
  CWnd* palette = windows.OpenInfoPalette();
  if (palette == nullptr) {
    return;
  }
  IThumbPane* pane = GetThumbPane();
  FString path = pane != nullptr ? pane->GetFirstPath(TRUE) : FString();
  palette->SendMessage(WM_APP_SHOW_INFO, reinterpret_cast<WPARAM>(&path), 0);
  palette->ShowWindow(SW_SHOW);
}

void CMainFrame::SaveImages() {
  IThumbPane* pane = GetThumbPane();
  if (pane == nullptr || !OutputDialogs().Has(OutputDialog::Save)) {
    return;
  }
  const BOOL maximised = IsZoomed();
  CET_ThumbnailDataManager items;
  pane->GetAllItems(&items);
  if (items.GetCount() == 0) {
    return;
  }
  CSaveJob job;
  if (OutputDialogs().RunSaveDialog(this, &items, 1, &job) != IDOK || job.m_aInputs.empty()) {
    return;
  }
  SaveRunResult result;
  OutputDialogs().RunSaveProgress(this, &items, &job, &m_pProgressDlg, &result);
  m_pProgressDlg = nullptr;
  if (job.m_bWriteSettings) {
    for (size_t i = 0; i < result.doneFiles.size(); ++i) {
      const CKVR_FilterData* settings = job.m_nSettingMode == 2
                                            ? (i < result.autoAdjustResults.size() ? result.autoAdjustResults[i].get()
                                                                                   : nullptr)
                                            : job.m_pSettings;
      if (settings == nullptr) {
        continue;
      }
      FString path = result.doneFiles[i];
      SendMessage(WM_APP_SAVE_SETTINGS, reinterpret_cast<WPARAM>(&path), reinterpret_cast<LPARAM>(settings));
    }
  }
  ShowWindow(maximised ? SW_SHOWMAXIMIZED : SW_RESTORE);
  if (!result.doneFiles.empty() && !job.m_aOutputs.empty() && IsInFolder(job.m_aOutputs[0], pane->GetFolder())) {
    ReloadFolder();
    SendFileListToReviewFrames();
  }
}

void CMainFrame::ExtractJpeg() {
  IThumbPane* pane = GetThumbPane();
  if (pane == nullptr || !OutputDialogs().Has(OutputDialog::ExtractJpeg)) {
    return;
  }
  CET_ThumbnailDataManager items;
  pane->GetAllItems(&items);
  CSaveJob job;
  if (OutputDialogs().RunSaveDialog(this, &items, 0, &job) != IDOK) {
    return;
  }
  const size_t pairs = std::min(job.m_aInputs.size(), job.m_aOutputs.size());
  const int style = pairs == 1 ? 10 : 11;
  std::vector<FString> inputs;
  std::vector<FString> outputs;
  bool yesToAll = false;
  for (size_t i = 0; i < pairs; ++i) {
    const FString& input = job.m_aInputs[i];
    const FString& output = job.m_aOutputs[i];
    if (!FileExists(input)) {
      continue;
    }
    if (FileExists(output) && !yesToAll) {
      const INT_PTR answer = RunMessageDlg(style, output);
      if (answer == 12) {
        inputs.clear();
        outputs.clear();
        break;
      }
      if (answer == 21) {
        yesToAll = true;
      } else if (answer != 13) {
        continue;
      }
    }
    inputs.push_back(input);
    outputs.push_back(output);
  }
  if (inputs.empty()) {
    return;
  }
  if (OutputDialogs().RunExtractJpegJob(inputs, outputs) && IsInFolder(outputs[0], pane->GetFolder())) {
    ReloadFolder();
  }
}

void CMainFrame::OnFilePrint() { PrintImages(FString()); }

void CMainFrame::PrintImages(const FString& path) {
  if (!OutputDialogs().Has(OutputDialog::Print)) {
    return;
  }
  PRINTDLGW defaults{};
  CWinApp* app = AfxGetApp();
  if (app != nullptr && app->GetPrinterDeviceDefaults(&defaults)) {
    OutputDialogs().RunPrintDialog(path);
  } else {
    RunMessageDlgText(0, kNoPrinterText);
  }
}

void CMainFrame::StartSlideShow() {
  IThumbPane* pane = GetThumbPane();
  if (pane == nullptr || !OutputDialogs().Has(OutputDialog::SlideShow)) {
    return;
  }
  FArray<FString> found;
  FArray<FString> patterns;
  patterns.Append(FString(u"*.*"));
  EnumFolderFiles(pane->GetFolder(), &found, &patterns, true, false);
  std::vector<FString> files;
  for (int i = 0; i < found.GetCount(); ++i) {
    const int type = GetFileType(found[i]);
    if (type == ETFILETYPE_JPEG || type == ETFILETYPE_TIFF || type == ETFILETYPE_KVR) {
      files.push_back(found[i]);
    }
  }
  int effect = 0;
  int seconds = 0;
  BOOL loop = FALSE;
  if (files.empty() || !OutputDialogs().RunSlideShowParams(&effect, &seconds, &loop)) {
    return;
  }
  std::vector<FString> markPaths;
  std::vector<BYTE> markFlags;
  OutputDialogs().RunSlideShow(files, effect, seconds, loop, &markPaths, &markFlags);
  if (markPaths.empty()) {
    return;
  }
  for (size_t i = 0; i < markPaths.size(); ++i) {
    FString path = markPaths[i];
    const bool marked = i < markFlags.size() && markFlags[i] != 0;
    BroadcastToReviewFrames(WM_APP_FILE_OPERATION, reinterpret_cast<WPARAM>(&path),
                            marked ? kFileOperationMarkSet : kFileOperationMarkClear);
  }
  const int filter = pane->GetStateFilter();
  AfterStateChange(markPaths, filter == 1 || filter == 2);
}

void CMainFrame::OnAppExit() { PostMessage(WM_CLOSE); }

void CMainFrame::OnPreferences() {
  if (OutputDialogs().Has(OutputDialog::Preferences)) {
    OutputDialogs().RunPreferences();
  }
}

// ---- Edit

void CMainFrame::OnSelectCommand(UINT id) {
  IThumbPane* pane = GetThumbPane();
  if (pane == nullptr) {
    return;
  }
  switch (id) {
  case ID_EDIT_SELECT_ALL_ITEMS: pane->SelectAll(); break;
  case ID_EDIT_SELECT_MARKED: pane->SelectMarked(); break;
  case ID_EDIT_SELECT_LOCKED: pane->SelectLocked(); break;
  case ID_EDIT_SELECT_NONE: pane->SelectNone(); break;
  case ID_EDIT_INVERT_SELECTION: pane->InvertSelection(); break;
  default: break;
  }
}

void CMainFrame::OnRotateClockwise() { RotateSelection(TRUE); }

void CMainFrame::OnRotateCounterClockwise() { RotateSelection(FALSE); }

void CMainFrame::OnEditMark() {
  IThumbPane* pane = GetThumbPane();
  if (pane == nullptr) {
    return;
  }
  std::vector<FString> paths;
  bool anyUnmarked = false;
  const SelectedItems selected(pane);
  for (const CTLM_ThumbnailData* item : selected.Items()) {
    if (CanCarryMark(item)) {
      paths.push_back(item->m_Path);
      anyUnmarked = anyUnmarked || !item->IsMarked();
    }
  }
  MarkImages(paths, anyUnmarked);
}

void CMainFrame::OnEditLock() {
  if (IThumbPane* pane = GetThumbPane()) {
    const std::vector<FString> paths = SelectedPaths(*pane);
    LockImages(paths, std::any_of(paths.begin(), paths.end(), IsWritable));
  }
}

void CMainFrame::OnEditDelete() {
  if (IThumbPane* pane = GetThumbPane()) {
    DeleteImages(SelectedPaths(*pane), TRUE);
  }
}

void CMainFrame::CopyOrCutSelection(DWORD dropEffect) {
  IThumbPane* pane = GetThumbPane();
  if (const std::vector<FString> paths = pane != nullptr ? SelectedPaths(*pane) : std::vector<FString>();
      !paths.empty()) {
    PutFilesOnClipboard(GetSafeHwnd(), ToFArray(paths), dropEffect == DROPEFFECT_MOVE);
  }
}

void CMainFrame::OnEditCopy() { CopyOrCutSelection(DROPEFFECT_COPY); }

void CMainFrame::OnEditCut() { CopyOrCutSelection(DROPEFFECT_MOVE); }

void CMainFrame::RunBatchSettings(BOOL colorMode) {
  IThumbPane* pane = GetThumbPane();
  if (pane == nullptr) {
    return;
  }
  // The selected raw files, or every listed one when none of the selected is raw.
  auto keepRaw = [](CET_ThumbnailDataManager& list) {
    for (int i = list.GetCount() - 1; i >= 0; --i) {
      if (list.GetAt(i)->m_FileType != ETFILETYPE_KVR) {
        list.RemoveAt(i, TRUE);
      }
    }
  };
  CET_ThumbnailDataManager files;
  pane->GetSelectedItems(&files);
  keepRaw(files);
  if (files.GetCount() == 0) {
    pane->GetAllItems(&files);
    keepRaw(files);
  }
  std::vector<std::pair<FString, int>> choices;
  if (files.GetCount() == 0 || !RunBatchWBDlg(&files, colorMode, &choices)) {
    return;
  }
  for (auto& [path, index] : choices) {
    if (colorMode) {
      OnColorModeChanged(reinterpret_cast<WPARAM>(&path), index);
    } else {
      OnWBChanged(reinterpret_cast<WPARAM>(&path), index);
    }
  }
}

void CMainFrame::OnBatchWB() { RunBatchSettings(FALSE); }

void CMainFrame::OnBatchColorMode() { RunBatchSettings(TRUE); }

// ---- View

void CMainFrame::OnThumbSize(UINT id) {
  IThumbPane* pane = GetThumbPane();
  const int index = kSizeIndexes[id - ID_VIEW_SIZE_SMALLEST];
  if (pane == nullptr || pane->GetThumbSizeIndex() == index) {
    return;
  }
  pane->SetInfoView(FALSE);
  pane->SetThumbSizeIndex(index);
}

void CMainFrame::OnShowCaptions() {
  if (IThumbPane* pane = GetThumbPane()) {
    pane->SetInfoView(TRUE);
  }
}

void CMainFrame::OnFormatFilter(UINT id) {
  if (IThumbPane* pane = GetThumbPane()) {
    pane->SetFormatFilter(FormatFilterOf(id));
  }
}

void CMainFrame::OnStateFilter(UINT id) {
  if (IThumbPane* pane = GetThumbPane()) {
    pane->SetStateFilter(static_cast<int>(id - ID_VIEW_STATE_ALL));
  }
}

void CMainFrame::OnSortMode(UINT id) {
  if (IThumbPane* pane = GetThumbPane()) {
    pane->SetSortMode(SortModeOf(id));
  }
}

void CMainFrame::OnSortInvert() {
  if (IThumbPane* pane = GetThumbPane()) {
    pane->ToggleSortOrder();
  }
}

void CMainFrame::OnRefresh() {
  if (IThumbPane* pane = GetThumbPane()) {
    pane->SetFolder(pane->GetFolder());
  }
}

// ---- Tools and Help

void CMainFrame::OnCheckMonitor() { RunCheckMonitorDlg(); }

namespace {

FString ManualPath() { return AppFilePath(kAppFolderProgram, kManualName); }

} // namespace

BOOL CMainFrame::HasManualViewer() const {
  char16_t program[MAX_PATH] = {};
  return reinterpret_cast<INT_PTR>(FindExecutableW(ManualPath().GetText(), nullptr, program)) > 32;
}

void CMainFrame::ShellOpen(const FString& target) {
  ShellExecuteW(GetSafeHwnd(), u"open", target.GetText(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CMainFrame::OnHelpManual() { ShellOpen(ManualPath()); }

void CMainFrame::OnWebPage() { ShellOpen(FString(kWebPage)); }

// ---- Update rules

BOOL CMainFrame::AnyListedRaw() {
  IThumbPane* pane = GetThumbPane();
  if (pane == nullptr) {
    return FALSE;
  }
  std::vector<FString> paths;
  pane->GetAllPaths(&paths);
  return std::any_of(paths.begin(), paths.end(),
                     [](const FString& path) { return GetFileType(path) == ETFILETYPE_KVR; });
}

void CMainFrame::OnUpdateAlways(CCmdUI* ui) { ui->Enable(TRUE); }

BOOL CMainFrame::CanRunCommand(UINT command) {
  switch (command) {
  case ThumbViewCommands::kOpenImage:
  case ThumbViewCommands::kOpenImageNew: return ReviewWindows().CanCreateReviewFrame();
  case ThumbViewCommands::kInfoPalette: return ReviewWindows().HasInfoPalette();
  case ThumbViewCommands::kPrint: return OutputDialogs().Has(OutputDialog::Print);
  case ThumbViewCommands::kSlideShow: return OutputDialogs().Has(OutputDialog::SlideShow);
  default: return TRUE;
  }
}

void CMainFrame::OnUpdateOpenReview(CCmdUI* ui) { ui->Enable(ReviewWindows().CanCreateReviewFrame()); }

void CMainFrame::OnUpdateSaveImages(CCmdUI* ui) {
  ui->Enable(OutputDialogs().Has(OutputDialog::Save) && AnyListedRaw());
}

void CMainFrame::OnUpdateExtractJpeg(CCmdUI* ui) {
  ui->Enable(OutputDialogs().Has(OutputDialog::ExtractJpeg) && AnyListedRaw());
}

void CMainFrame::OnUpdateInfoPalette(CCmdUI* ui) { ui->Enable(ReviewWindows().HasInfoPalette()); }

void CMainFrame::OnUpdatePrint(CCmdUI* ui) { ui->Enable(OutputDialogs().Has(OutputDialog::Print)); }

void CMainFrame::OnUpdateSlideShow(CCmdUI* ui) { ui->Enable(OutputDialogs().Has(OutputDialog::SlideShow)); }

void CMainFrame::OnUpdatePreferences(CCmdUI* ui) { ui->Enable(OutputDialogs().Has(OutputDialog::Preferences)); }

void CMainFrame::OnUpdateSomeSelected(CCmdUI* ui) {
  IThumbPane* pane = GetThumbPane();
  ui->Enable(pane != nullptr && pane->GetSelectedCount() > 0);
}

void CMainFrame::OnUpdateRotate(CCmdUI* ui) {
  IThumbPane* pane = GetThumbPane();
  const std::vector<FString> paths = pane != nullptr ? SelectedPaths(*pane) : std::vector<FString>();
  ui->Enable(OutputDialogs().Has(OutputDialog::ThreadProgress) &&
             std::any_of(paths.begin(), paths.end(), FileExists));
}

void CMainFrame::OnUpdateMark(CCmdUI* ui) {
  bool anyMarkable = false;
  bool allMarked = true;
  const SelectedItems selected(GetThumbPane());
  for (const CTLM_ThumbnailData* item : selected.Items()) {
    if (CanCarryMark(item)) {
      anyMarkable = true;
      allMarked = allMarked && item->IsMarked();
    }
  }
  ui->Enable(anyMarkable);
  SetCaption(ui, anyMarkable && allMarked ? kUnmarkText : kMarkText);
}

void CMainFrame::OnUpdateLock(CCmdUI* ui) {
  const SelectedItems selected(GetThumbPane());
  const auto& items = selected.Items();
  const bool allLocked = !items.empty() && std::all_of(items.begin(), items.end(),
                                                       [](const CTLM_ThumbnailData* item) { return item->IsLocked(); });
  ui->Enable(!items.empty());
  SetCaption(ui, allLocked ? kUnlockText : kLockText);
}

void CMainFrame::OnUpdateDelete(CCmdUI* ui) {
  const SelectedItems selected(GetThumbPane());
  const auto& items = selected.Items();
  ui->Enable(std::any_of(items.begin(), items.end(), [](const CTLM_ThumbnailData* item) { return !item->IsLocked(); }));
}

void CMainFrame::OnUpdatePaste(CCmdUI* ui) { ui->Enable(IsClipboardFileListAvailable()); }

void CMainFrame::OnUpdateBatchRaw(CCmdUI* ui) {
  const SelectedItems selected(GetThumbPane());
  const auto& items = selected.Items();
  const bool selectionAllows = items.empty() || std::any_of(items.begin(), items.end(), IsRaw);
  ui->Enable(AnyListedRaw() && selectionAllows);
}

void CMainFrame::OnUpdateFormatFilter(CCmdUI* ui) {
  if (IThumbPane* pane = GetThumbPane()) {
    ui->Enable(TRUE);
    ui->SetCheck(pane->GetFormatFilter() == FormatFilterOf(ui->m_nID));
  }
}

void CMainFrame::OnUpdateStateFilter(CCmdUI* ui) {
  if (IThumbPane* pane = GetThumbPane()) {
    ui->Enable(TRUE);
    ui->SetCheck(pane->GetStateFilter() == static_cast<int>(ui->m_nID - ID_VIEW_STATE_ALL));
  }
}

void CMainFrame::OnUpdateSortMode(CCmdUI* ui) {
  if (IThumbPane* pane = GetThumbPane()) {
    ui->Enable(TRUE);
    ui->SetCheck(pane->GetSortMode() == SortModeOf(ui->m_nID));
  }
}

void CMainFrame::OnUpdateSortInvert(CCmdUI* ui) {
  if (IThumbPane* pane = GetThumbPane()) {
    ui->Enable(TRUE);
    ui->SetCheck(pane->IsSortInverted());
  }
}

void CMainFrame::OnUpdateHelpManual(CCmdUI* ui) { ui->Enable(HasManualViewer()); }
