#pragma once
// The base of the adjustment palette's tool panels. Every panel is a child
// dialog of the palette with a title row (title and expand button) and, while
// expanded, a group box under it holding the panel's controls. Panels read
// and edit the palette's copy of the followed image's state and send their
// changes through the palette; they never talk to a review window.

#include "platform/afx/AfxDialog.h"
#include "platform/win/WinDialogs.h"
#include "toolkit/CButtonBase.h"
#include "toolkit/CCheckButton.h"
#include "toolkit/CGroupeBoxBase.h"
#include "toolkit/CStaticBase.h"

#include <memory>
#include <vector>

class CAdjustPalette;

class CPaletteToolBase : public CDialog {
public:
  static constexpr int kTitleId = 1005;
  static constexpr int kExpandId = 1006;
  static constexpr int kGroupId = 1007;
  static constexpr int kWidth = 238;
  static constexpr int kTitleRowHeight = 25;
  // Inside the group box.
  static constexpr COLORREF kFill = RGB(100, 98, 99);
  // The fill of a panel that has nothing to offer for the image.
  static constexpr COLORREF kGreyedFill = RGB(145, 145, 145);
  static constexpr COLORREF kTitleColour = RGB(255, 255, 255);
  static constexpr COLORREF kGreyedTitleColour = RGB(127, 127, 127);

  CPaletteToolBase(UINT templateId, CWnd* parent);
  ~CPaletteToolBase() override;

  // The size the panel takes for a file type (0 x 0: none).
  virtual CSize GetPanelSize(int fileType);
  // Places the panel's controls for the palette's current image.
  virtual void LayoutControls() {}
  virtual void ToggleExpand();
  // Stores the state (the expand button shows it checked when collapsed);
  // with relayout the palette stacks its panels again.
  virtual void SetExpand(int expanded, BOOL relayout);
  virtual int IsExpanded() const { return m_bExpanded; }
  // Shows the palette's current state.
  virtual void UpdateFromImage() {}
  virtual void OnToggleExpand() { ToggleExpand(); }

  // The four arrow keys go to the palette, which hands them to the colour panel.
  BOOL PreTranslateMessage(MSG* msg) override;
  void OnOK() override {}
  void OnCancel() override {}
  BOOL DestroyWindow() override;

  // Registers a panel's template: the title row and the given controls.
  static void RegisterPanelTemplate(UINT id, std::vector<DialogItemTemplate> controls);

  CAdjustPalette* m_pOwner = nullptr;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  // The title row and the group box; the panel's OnInitDialog calls it first.
  void InitCommon(int titleTextId);
  // Title, expand button and the group box down to groupBottom, the box shown
  // only while expanded.
  void LayoutCommon(int groupBottom);
  // The reset button (icon and grey) and its label of the text id.
  void InitResetButton(CButtonBase& button, CStaticBase& label, int textId);
  // Title colour and group-box fill of an active or a greyed panel.
  void SetLook(bool active);
  afx_msg void OnPaint();
  afx_msg void OnExpandClicked() { OnToggleExpand(); }
  DECLARE_MESSAGE_MAP()

  int m_bExpanded = 1;
  CStaticBase m_Title;
  CCheckButton m_Expand;
  std::unique_ptr<CGroupeBoxBase> m_pGroup;
};

// An arrow key (VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN) press.
bool IsArrowKeyDown(const MSG* msg);
