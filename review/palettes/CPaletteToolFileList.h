#pragma once
// What the white-balance and colour-mode panels share: for raw files only, a
// drop-down of the choices the file's camera knows; a choice is written into
// the file at once by the main frame, not through the review window.

#include "review/palettes/CPaletteToolBase.h"
#include "toolkit/CComboBoxBase.h"

#include <string>
#include <vector>

class CPaletteToolFileList : public CPaletteToolBase {
public:
  static constexpr int kExpandedHeight = 60;
  static constexpr int kDropDownAllUpTo = 10;
  static constexpr int kDropDownRows = 7;

  CSize GetPanelSize(int fileType) override;
  void LayoutControls() override;
  void UpdateFromImage() override;
  BOOL OnInitDialog() override;

  // Fills the list from the file's choices (raw files only).
  void FillList();

protected:
  CPaletteToolFileList(UINT templateId, int comboId, int titleTextId, CWnd* parent);
  void DoDataExchange(CDataExchange* dx) override;
  // CBN_SELCHANGE of the list (each panel's map binds its own id).
  void OnSelChange();

  // The file's choices; FALSE when the list cannot be built.
  virtual BOOL GetChoices(std::vector<std::u16string>* names) = 0;
  // The current record's field the panel edits (raw records only).
  virtual int32_t* CurrentIndex() = 0;
  virtual void SendChoice() = 0;
  // Whether the panel greys when the file offers nothing.
  virtual bool GreysWhenEmpty() const { return false; }

  static void RegisterListTemplate(UINT templateId, int comboId);

  int m_nComboId;
  int m_nTitleTextId;
  CComboBoxBase m_List;
};
