// The commands that move files or change their names: paste, the single
// rename from the thumbnail window and the batch rename. The decisions (which
// clipboard files go, renames that keep locks and never replace a file) are
// the window-free file operations'; here the commands ask and refresh.

#include "shell/frame/CMainFrame.h"

#include "foundation/FPath.h"
#include "shell/app/AppClipboard.h"
#include "shell/fileops/LockedRename.h"
#include "shell/fileops/PastePlan.h"
#include "shell/fileops/ShootingInfoCache.h"
#include "shell/frame/PathLists.h"
#include "toolkit/FileOperations.h"

#include <algorithm>

namespace {

constexpr int kOpenInReviewText = 5613;
constexpr int kNameTakenText = 1051;

bool Contains(const std::vector<FString>& paths, const FString& path) {
  return std::any_of(paths.begin(), paths.end(), [&](const FString& each) { return PathEquals(each, path); });
}

bool Exists(const FString& path) { return ReadFileAttributeWord(path) != -1; }

// The listed items split into the ones to rename and the others.
struct RenameTargets {
  std::vector<FString> paths;
  std::vector<FString> names;
  std::vector<FString> others;
};

RenameTargets SplitListed(IThumbPane& pane, bool takeAllWhenNoneSelected) {
  std::vector<FString> listed;
  std::vector<FString> selected;
  pane.GetAllPaths(&listed);
  pane.GetSelectedPaths(&selected);
  RenameTargets targets;
  for (const FString& path : listed) {
    const bool take = (takeAllWhenNoneSelected && selected.empty()) || Contains(selected, path);
    if (take) {
      targets.paths.push_back(path);
      targets.names.push_back(PathFileName(path));
    } else {
      targets.others.push_back(path);
    }
  }
  return targets;
}

} // namespace

void CMainFrame::OnEditPaste() {
  IThumbPane* pane = GetThumbPane();
  if (pane == nullptr) {
    return;
  }
  FArray<FString> clipboard;
  if (!GetClipboardFileList(GetSafeHwnd(), &clipboard)) {
    return;
  }
  int effect = 0;
  const bool move = GetClipboardDropEffect(GetSafeHwnd(), &effect) && effect == kDropEffectMove;
  const FString target = pane->GetFolder();
  const std::vector<FString> transfer =
      PlanPaste(ToVector(clipboard), target, [this](int style, const FString& destination) {
        return static_cast<int>(RunMessageDlg(style, destination));
      });

  const FArray<FString> sources = ToFArray(transfer);
  if (CopyFilesToFolder(&sources, target, !move, false, false)) {
    for (const FString& source : transfer) {
      ShootingInfo().RemoveExif(PathJoin(target, PathFileName(source)));
      if (move) {
        ShootingInfo().RemoveExif(source);
      }
    }
    if (move) {
      EmptyAppClipboard(GetSafeHwnd());
    }
    pane->RefreshItems(nullptr);
    SendFileListToReviewFrames();
  }
  if (IFolderPane* tree = GetFolderPane()) {
    tree->SelectPath(target);
  }
}

void CMainFrame::RenameOne() {
  IThumbPane* pane = GetThumbPane();
  if (pane == nullptr) {
    return;
  }
  const RenameTargets targets = SplitListed(*pane, false);
  if (targets.paths.empty()) {
    return;
  }
  const FString& oldPath = targets.paths.front();
  if (IsShownInReviewFrame(oldPath)) {
    RunMessageDlgText(0, kOpenInReviewText);
    return;
  }
  FString newName;
  if (!RunRenameOneDlg(targets.names.front(), &newName) || newName == targets.names.front()) {
    return;
  }
  const FString newPath = PathJoin(PathParent(oldPath), newName);
  // A name another file has, listed or not, is never taken over.
  if (Contains(targets.others, newPath) || (Exists(newPath) && !PathEquals(newPath, oldPath))) {
    RunMessageDlgText(0, kNameTakenText);
    return;
  }
  pane->StopLoader();
  RenameOneKeepingLock(ShootingInfo(), oldPath, newPath);
  pane->RefreshItems(nullptr);
}

void CMainFrame::BatchRename() {
  IThumbPane* pane = GetThumbPane();
  if (pane == nullptr) {
    return;
  }
  const RenameTargets targets = SplitListed(*pane, true);
  if (targets.paths.empty()) {
    return;
  }
  const FString folder = PathParent(targets.paths.front());
  if (std::any_of(targets.paths.begin(), targets.paths.end(),
                  [this](const FString& path) { return IsShownInReviewFrame(path); })) {
    RunMessageDlgText(0, kOpenInReviewText);
    return;
  }
  std::vector<FString> newNames;
  if (!RunBatchRenameDlg(targets.names, &newNames)) {
    return;
  }
  std::vector<FString> newPaths;
  for (const FString& name : newNames) {
    newPaths.push_back(PathJoin(folder, name));
  }
  // A new name may be another renamed file's old one; any other file of that
  // name, listed or not, is never taken over.
  const bool taken = std::any_of(newPaths.begin(), newPaths.end(), [&](const FString& path) {
    return Contains(targets.others, path) || (Exists(path) && !Contains(targets.paths, path));
  });
  if (taken) {
    RunMessageDlgText(0, kNameTakenText);
    return;
  }
  pane->StopLoader();
  RenameInTwoPhases(ShootingInfo(), targets.paths, newPaths, TemporaryNameStamp());
  pane->RefreshItems(nullptr);
}
