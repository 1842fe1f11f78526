// The binding of the frame's pane interfaces to the browser's panes: the
// splitter (CThumbSplitterWnd), the folder-tree pane (CTreeFormView) and the
// thumbnail pane (CThumbFormView). It is the one file of the frame that calls
// the panes' own functions.

#include "shell/frame/BrowserPanes.h"

#include "shell/dialogs/CMessageDlg.h"
#include "shell/frame/PathLists.h"
#include "shell/browser/CFolderTreeCtrl.h"
#include "shell/browser/CTLM_ThumbnailWnd.h"
#include "shell/browser/CThumbFormView.h"
#include "shell/browser/CThumbSplitterWnd.h"
#include "shell/browser/CTreeFormView.h"

namespace {

int AppendAll(const FArray<FString>& from, std::vector<FString>* to) {
  if (to == nullptr) {
    return 0;
  }
  const std::vector<FString> paths = ToVector(from);
  to->insert(to->end(), paths.begin(), paths.end());
  return from.GetCount();
}

class ThumbPane final : public IThumbPane {
public:
  explicit ThumbPane(CThumbFormView* view) : m_View(view) {
    // The grid announces files a drag moved away, and asks for the folder
    // again, through the frame that holds it.
    m_View->GetGrid().SetFrame(dynamic_cast<IThumbnailGridFrame*>(m_View->GetParentFrame()));
  }

  CWnd* GetPaneWnd() override { return m_View; }
  FString GetFolder() const override { return m_View->GetFolder(); }
  void SetFolder(const FString& folder) override { m_View->SetFolder(folder); }
  int GetAllPaths(std::vector<FString>* paths) const override {
    FArray<FString> all;
    m_View->GetAllPaths(&all);
    return AppendAll(all, paths);
  }
  int GetSelectedPaths(std::vector<FString>* paths) const override {
    FArray<FString> selected;
    m_View->GetSelectedPaths(&selected);
    return AppendAll(selected, paths);
  }
  int GetSelectedCount() const override { return m_View->GetSelectedCount(); }
  BOOL GetAllItems(CET_ThumbnailDataManager* list) const override { return m_View->GetAllItems(list); }
  BOOL GetSelectedItems(CET_ThumbnailDataManager* list) const override { return m_View->GetSelectedItems(list); }
  BOOL CollectSelectedStills(CET_ThumbnailDataManager* list) const override {
    return m_View->CollectSelectedStills(list);
  }
  CTLM_ThumbnailData* FindItem(const FString& path) const override { return m_View->FindItem(path); }
  FString GetFirstPath(BOOL selected) const override { return m_View->GetFirstPath(selected); }
  void GetImagePosition(const FString& path, int* position, int* count) const override {
    m_View->GetImagePosition(path, position, count);
  }
  FString GetNextImagePath(const FString& path) const override { return m_View->GetNextImagePath(path); }
  FString GetPrevImagePath(const FString& path) const override { return m_View->GetPrevImagePath(path); }

  void RefreshItems(const std::vector<FString>* paths) override {
    if (paths == nullptr) {
      m_View->RefreshItems(nullptr);
      return;
    }
    const FArray<FString> array = ToFArray(*paths);
    m_View->RefreshItems(&array);
  }
  void UpdateItemInfo(const std::vector<FString>& paths) override {
    const FArray<FString> array = ToFArray(paths);
    m_View->UpdateItemInfo(&array);
  }
  void RotateItems(const std::vector<FString>& paths, BOOL clockwise, BOOL redraw) override {
    const FArray<FString> array = ToFArray(paths);
    m_View->RotateItems(&array, clockwise, redraw);
  }
  void StopLoader() override { m_View->GetGrid().StopLoader(); }
  BOOL IsLoading() const override { return m_View->GetLoaderState() != 0; }

  int GetStateFilter() const override { return m_View->GetStateFilter(); }
  void SetStateFilter(int filter) override { m_View->SetStateFilter(filter); }
  int GetFormatFilter() const override { return m_View->GetFormatFilter(); }
  void SetFormatFilter(int filter) override { m_View->SetFormatFilter(filter); }
  int GetSortMode() const override { return m_View->GetSortMode(); }
  void SetSortMode(int mode) override { m_View->SetSortMode(mode); }
  BOOL IsSortInverted() const override { return m_View->IsSortInverted(); }
  void ToggleSortOrder() override { m_View->ToggleSortOrder(); }
  int GetThumbSizeIndex() const override { return m_View->GetThumbSizeIndex(); }
  void SetThumbSizeIndex(int index) override { m_View->SetThumbSizeIndex(index); }
  BOOL IsInfoView() const override { return m_View->IsInfoView(); }
  void SetInfoView(BOOL on) override { m_View->SetInfoView(on); }

  void SelectAll() override { m_View->SelectAll(); }
  void SelectMarked() override { m_View->SelectMarked(); }
  void SelectLocked() override { m_View->SelectLocked(); }
  void SelectNone() override { m_View->SelectNone(); }
  void InvertSelection() override { m_View->InvertSelection(); }
  void UpdateSelectionInfo() override { m_View->UpdateSelectionInfo(); }
  void UpdateButtons() override { m_View->UpdateButtons(); }
  void UpdateFilterCaption() override { m_View->UpdateFilterCaption(); }

private:
  CThumbFormView* m_View;
};

class FolderPane final : public IFolderPane {
public:
  explicit FolderPane(CTreeFormView* view) : m_View(view) {}
  CWnd* GetPaneWnd() override { return m_View; }
  void SelectPath(const FString& folder) override { m_View->SelectPath(folder); }
  void UpdateSummary(const FString& folder) override { m_View->UpdateFolderSummary(folder); }

private:
  CTreeFormView* m_View;
};

class BrowserPanes final : public IBrowserPaneFactory {
public:
  std::unique_ptr<CSplitterWnd> NewSplitter() override {
    // The folder tree asks before it deletes or overwrites with the
    // program's own message box.
    CFolderTreeCtrl::SetQuestionFunc([](CWnd* owner, int style, const FString& text) {
      CMessageDlg box(owner);
      box.SetMessage(style, text);
      return static_cast<int>(box.DoModal());
    });
    CTreeFormView::RegisterTemplate();
    CThumbFormView::RegisterTemplate();
    return std::make_unique<CThumbSplitterWnd>();
  }
  const CRuntimeClass* FolderPaneClass() override { return RUNTIME_CLASS(CTreeFormView); }
  const CRuntimeClass* ThumbPaneClass() override { return RUNTIME_CLASS(CThumbFormView); }
  std::unique_ptr<IFolderPane> BindFolderPane(CWnd* pane) override {
    auto* view = dynamic_cast<CTreeFormView*>(pane);
    return view != nullptr ? std::make_unique<FolderPane>(view) : nullptr;
  }
  std::unique_ptr<IThumbPane> BindThumbPane(CWnd* pane) override {
    auto* view = dynamic_cast<CThumbFormView*>(pane);
    return view != nullptr ? std::make_unique<ThumbPane>(view) : nullptr;
  }
};

} // namespace

IBrowserPaneFactory& BrowserPaneFactory() {
  static BrowserPanes factory;
  return factory;
}
