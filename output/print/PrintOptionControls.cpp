#include "output/print/PrintOptionControls.h"

#include "shell/dialogs/DialogLayout.h"

#include "platform/afx/AfxCommonDialogs.h"
#include "platform/win/WinGdi.h"

namespace printoptions {

void FillPositions(CComboBoxBase& combo, const std::vector<std::pair<int, int>>& entries) {
  combo.ResetContent();
  for (const auto& [textId, code] : entries) {
    const std::u16string text = dialogs::TableText(textId);
    const int index = combo.AddString(text.c_str());
    combo.SetItemData(index, static_cast<DWORD_PTR>(code));
  }
  combo.SetDropDownCount(static_cast<int>(entries.size()));
}

void SelectPosition(CComboBoxBase& combo, int code) {
  for (int i = 0; i < combo.GetCount(); ++i) {
    if (static_cast<int>(combo.GetItemData(i)) == code) {
      combo.SetCurSel(i);
      return;
    }
  }
  combo.SetCurSel(0);
}

int SelectedPosition(const CComboBoxBase& combo) {
  const int selected = combo.GetCurSel();
  return static_cast<int>(combo.GetItemData(selected >= 0 ? selected : 0));
}

bool ChoosePrintFont(CWnd* owner, LOGFONTW& font, COLORREF& colour, bool fixedSize) {
  const int tenths = font.lfHeight;
  LOGFONTW initial = font;
  // The dialog expects the pixel height of that size on the screen.
  HDC screen = GetDC(nullptr);
  initial.lfHeight = MulDiv(GetDeviceCaps(screen, LOGPIXELSY), tenths, 720);
  ReleaseDC(nullptr, screen);
  DWORD flags = CF_SCREENFONTS | CF_PRINTERFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
  if (fixedSize) flags |= CF_LIMITSIZE;
  CFontDialog dialog(&initial, flags, nullptr, owner);
  dialog.m_cf.rgbColors = colour;
  if (fixedSize) dialog.m_cf.nSizeMin = dialog.m_cf.nSizeMax = tenths / 10;
  if (dialog.DoModal() != IDOK) return false;
  dialog.GetCurrentFont(&font);
  font.lfHeight = dialog.GetSize();
  colour = dialog.GetColor();
  return true;
}

} // namespace printoptions
