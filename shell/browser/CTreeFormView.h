#pragma once
// The browser's left pane: the folder tree between a caption bar and a
// summary bar that counts the selected folder's pictures and their size, and
// a button that saves the developed pictures of the folder. Selecting a
// folder has the main frame list it.

#include "shell/browser/CFolderTreeCtrl.h"
#include "toolkit/CBasicButton.h"
#include "toolkit/CFormViewBase.h"
#include "toolkit/CGroupeBoxBase.h"

#include "foundation/FString.h"

// What the pane asks of the main frame that holds it.
class ITreeFormViewFrame {
public:
  virtual ~ITreeFormViewFrame() = default;
  // Lists the folder in the thumbnail pane (an empty path: an empty folder).
  virtual void SelectFolder(const FString& path, BOOL selectInTree) = 0;
  // The save command for the browsed folder.
  virtual void SaveImages() = 0;
};

// The counted files of a folder (raw, JPEG, TIFF and AVI files, not its
// sub-folders); a folder that cannot be read counts nothing.
struct FolderSummary {
  int files = 0;
  int rawFiles = 0;
  double megabytes = 0;
};
FolderSummary CountFolderPictures(const FString& folder);
// The summary bar's text: "n file(s)" and ", x MB" from the text table, empty
// for no files. A table text whose conversions do not fit shows the number alone.
std::u16string FolderSummaryText(const FolderSummary& summary);
// The save button's width for a caption text width: 20 more, within 150 to 245.
int SaveButtonWidth(int textWidth);

class CTreeFormView : public CFormViewBase {
  DECLARE_DYNCREATE(CTreeFormView)
public:
  static constexpr UINT kTemplate = 101;
  static constexpr int kTreeId = 1038;
  static constexpr int kSaveButtonId = 1039;
  static constexpr int kCaptionBarId = 1060;
  static constexpr int kSummaryBarId = 1061;

  CTreeFormView();
  ~CTreeFormView() override;
  // The form's template (registered once, before the first view is made).
  static void RegisterTemplate();

  BOOL SelectPath(const FString& path);
  void UpdateFolderSummary(const FString& path);

  CFolderTreeCtrl& GetTree() { return m_tree; }
  CBasicButton& GetSaveButton() { return m_saveButton; }
  CGroupeBoxBase& GetCaptionBar() { return m_captionBar; }
  CGroupeBoxBase& GetSummaryBar() { return m_summaryBar; }

  void OnInitialUpdate() override;
  void LayoutControls() override;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  afx_msg void OnSelChanged(NMHDR* header, LRESULT* result);
  afx_msg void OnSaveButton();
  DECLARE_MESSAGE_MAP()

private:
  ITreeFormViewFrame* Frame() const;

  CFolderTreeCtrl m_tree;
  CBasicButton m_saveButton;
  CGroupeBoxBase m_captionBar;
  CGroupeBoxBase m_summaryBar;
  BOOL m_setUp = FALSE;
};
