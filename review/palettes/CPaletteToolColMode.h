#pragma once
// The colour-mode panel: the colour modes the raw file's camera knows; the
// panel greys when the file offers none.

#include "review/palettes/CPaletteToolFileList.h"

class CPaletteToolColMode : public CPaletteToolFileList {
public:
  static constexpr UINT kTemplate = 282;
  static constexpr int kListId = 1237;

  explicit CPaletteToolColMode(CWnd* parent);

protected:
  BOOL GetChoices(std::vector<std::u16string>* names) override;
  int32_t* CurrentIndex() override;
  void SendChoice() override;
  bool GreysWhenEmpty() const override { return true; }
  afx_msg void OnListChanged() { OnSelChange(); }
  DECLARE_MESSAGE_MAP()
};
