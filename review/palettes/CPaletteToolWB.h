#pragma once
// The white-balance panel: the white balances the raw file's camera knows.

#include "review/palettes/CPaletteToolFileList.h"

class CPaletteToolWB : public CPaletteToolFileList {
public:
  static constexpr UINT kTemplate = 134;
  static constexpr int kListId = 1048;

  explicit CPaletteToolWB(CWnd* parent);

protected:
  BOOL GetChoices(std::vector<std::u16string>* names) override;
  int32_t* CurrentIndex() override;
  void SendChoice() override;
  afx_msg void OnListChanged() { OnSelChange(); }
  DECLARE_MESSAGE_MAP()
};
