#include "shell/dialogs/DialogLayout.h"

#include "toolkit/TextTable.h"

#include <algorithm>

namespace dialogs {
namespace {

// The layer's fixed base units: 6 x 13 pixels per 4 x 8 dialog units.
LONG UnitsX(LONG pixels) { return (pixels * 4 + 5) / 6; }
LONG UnitsY(LONG pixels) { return (pixels * 8 + 12) / 13; }

} // namespace

DialogItemTemplate PixelItem(int id, const char16_t* className, DWORD style, RECT pixels) {
  DialogItemTemplate item;
  item.id = id;
  item.className = className;
  item.style = style;
  item.rect = {UnitsX(pixels.left), UnitsY(pixels.top), UnitsX(pixels.right), UnitsY(pixels.bottom)};
  return item;
}

void RegisterPixelTemplate(UINT id, SIZE clientPixels, std::vector<DialogItemTemplate> items) {
  DialogTemplate t;
  t.id = id;
  t.size = {UnitsX(clientPixels.cx), UnitsY(clientPixels.cy)};
  for (DialogItemTemplate& item : items) {
    item.rect.right = std::min(item.rect.right, t.size.cx);
    item.rect.bottom = std::min(item.rect.bottom, t.size.cy);
  }
  t.items = std::move(items);
  platform::RegisterDialogTemplate(t);
}

void SetClientSize(CWnd& window, int cx, int cy) {
  CRect outer, client;
  window.GetWindowRect(outer);
  window.GetClientRect(client);
  const int frameX = outer.Width() - client.Width();
  const int frameY = outer.Height() - client.Height();
  window.SetWindowPos(nullptr, 0, 0, cx + frameX, cy + frameY, SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER);
}

void Place(CWnd& control, RECT rect) { control.MoveWindow(&rect); }

std::u16string TableText(int textId) {
  std::u16string text;
  CFont* font = nullptr;
  COLORREF colour = 0;
  GetTextTableString(textId, text, font, colour);
  return text;
}

} // namespace dialogs
