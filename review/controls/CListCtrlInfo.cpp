#include "review/controls/CListCtrlInfo.h"

#include "platform/win/WinControls.h"
#include "platform/win/WinDialogs.h"
#include "platform/win/WinGdiRegion.h"
#include "platform/win/WinGdiText.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kCellBufferLength = 256;
// DrawText with DT_MODIFYSTRING writes the cut text back with its ellipsis.
// The texts are data (names, paths, "B&W"): "&" is a character.
constexpr std::size_t kEllipsisRoom = 16;
constexpr UINT kTextFormat = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_MODIFYSTRING | DT_NOPREFIX;
constexpr int kTextIndent = 10;
constexpr int kIconGap = 10;
constexpr UINT kPositionChangedFlags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;

// Draws the text in the rectangle with kTextFormat; the text as drawn (cut
// with an ellipsis when it does not fit).
std::u16string DrawCellText(CDC& dc, const std::u16string& text, CRect rect) {
  std::u16string buffer = text;
  buffer.resize(text.size() + kEllipsisRoom, u'\0');
  dc.DrawText(buffer.data(), static_cast<int>(text.size()), &rect, kTextFormat);
  buffer.resize(std::char_traits<char16_t>::length(buffer.c_str()));
  return buffer;
}

} // namespace

void CListImage::Release() {
  if (m_hIcon) DestroyIcon(m_hIcon);
  Clear();
}

BEGIN_MESSAGE_MAP(CListCtrlInfo, CListCtrl)
  ON_MESSAGE(WM_SETFONT, OnSetFont)
  ON_WM_MEASUREITEM_REFLECT()
  ON_WM_SIZE()
END_MESSAGE_MAP()

CListCtrlInfo::~CListCtrlInfo() {
  RemoveAllImages();
  m_boldFont.DeleteObject();
}

void CListCtrlInfo::AddImage(CListImage* image) {
  if (image) m_images.emplace_back(image);
}

void CListCtrlInfo::RemoveAllImages() { m_images.clear(); }

void CListCtrlInfo::PreSubclassWindow() {
  ModifyStyle(0, LVS_OWNERDRAWFIXED);
  SetExtendedStyle(GetExtendedStyle() | LVS_EX_SUBITEMIMAGES);
  CListCtrl::PreSubclassWindow();
}

LRESULT CListCtrlInfo::OnSetFont(WPARAM, LPARAM) {
  const LRESULT result = Default();
  // The list view asks for its item height again when its position changes,
  // so the rows follow the new font without recreating the list.
  CRect window;
  GetWindowRect(&window);
  WINDOWPOS position{};
  position.hwnd = m_hWnd;
  position.cx = window.Width();
  position.cy = window.Height();
  position.flags = kPositionChangedFlags;
  SendMessage(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&position));
  LOGFONTW bold = ListFont();
  bold.lfWeight = FW_BOLD;
  m_boldFont.DeleteObject();
  m_boldFont.CreateFontIndirect(&bold);
  return result;
}

LOGFONTW CListCtrlInfo::ListFont() const {
  LOGFONTW font{};
  HFONT handle = GetFont();
  if (!handle) handle = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  GetObjectW(handle, sizeof(font), &font);
  return font;
}

void CListCtrlInfo::MeasureItem(LPMEASUREITEMSTRUCT item) {
  if (item) item->itemHeight = static_cast<UINT>(std::abs(ListFont().lfHeight) + 5);
}

void CListCtrlInfo::OnSize(UINT type, int cx, int cy) {
  CListCtrl::OnSize(type, cx, cy);
  CRect client;
  GetClientRect(&client);
  SetWindowRgn(m_hWnd, CreateRoundRectRgn(client.left, client.top, client.right + 1, client.bottom, 4, 4), TRUE);
}

void CListCtrlInfo::DrawItem(LPDRAWITEMSTRUCT item) {
  if (!item || item->CtlType != ODT_LISTVIEW) return;
  CHeaderCtrl* header = GetHeaderCtrl();
  if (!header) return;
  CDC* dc = CDC::FromHandle(item->hDC);
  if (!dc) return;
  const int index = static_cast<int>(item->itemID);
  CRect client;
  GetClientRect(&client);
  CRect row(item->rcItem);
  row.right = client.right;

  const COLORREF background = index == 0 ? kTitleColour : index % 2 == 0 ? kEvenRowColour : kOddRowColour;
  CRect filled = row;
  if (index + 1 == GetItemCount()) filled.bottom = client.bottom; // no white band under the last row
  dc->FillSolidRect(&filled, background);

  CRgn frame;
  frame.CreateRectRgn(0, 0, 0, 0);
  if (GetWindowRgn(m_hWnd, frame) != RGN_ERROR) {
    CBrush black;
    black.CreateSolidBrush(RGB(0, 0, 0));
    dc->FrameRgn(&frame, &black, 1, 1);
  }

  // Texts lie on the bands, not on boxes of the DC's background colour.
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  const int columns = header->GetItemCount();
  if (index == 0) {
    DrawTitleRow(*dc, row, columns);
  } else {
    DrawCellRow(*dc, row, index, columns);
  }
  dc->SetBkMode(oldMode);
}

void CListCtrlInfo::DrawTitleRow(CDC& dc, const CRect& row, int columns) {
  std::u16string joined;
  for (int column = 0; column < columns; ++column) {
    std::u16string text;
    if (!ReadCell(0, column, text, nullptr)) return;
    joined += text;
  }
  CRect area = row;
  area.left += kTextIndent;
  CFont* oldFont = dc.SelectObject(&m_boldFont);
  const COLORREF oldColour = dc.SetTextColor(RGB(255, 255, 255));
  DrawCellText(dc, joined, area);
  dc.SetTextColor(oldColour);
  dc.SelectObject(oldFont);
}

void CListCtrlInfo::DrawCellRow(CDC& dc, const CRect& row, int index, int columns) {
  int x = 0;
  for (int column = 0; column < columns; ++column) {
    std::u16string text;
    int image = 0;
    if (!ReadCell(index, column, text, &image)) return;
    CRect cell(x, row.top, x + GetColumnWidth(column), row.bottom);
    x = cell.right;
    // A cell reaching past the list ends at its edge, where its ellipsis shows.
    cell.right = std::min(cell.right, row.right);
    if (column == 0) cell.left += kTextIndent;
    const std::u16string drawn = DrawCellText(dc, text, cell);
    const CListImage* icon = ImageAt(image);
    if (!icon) continue;
    CRect measured = cell;
    dc.DrawText(drawn, &measured, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    const int iconX = measured.right + kIconGap;
    const int iconY = cell.top + (cell.Height() - icon->m_size.cy) / 2;
    DrawIconEx(dc.GetSafeHdc(), iconX, iconY, icon->m_hIcon, icon->m_size.cx, icon->m_size.cy, 0, nullptr, DI_NORMAL);
  }
}

bool CListCtrlInfo::ReadCell(int row, int column, std::u16string& text, int* image) const {
  WCHAR buffer[kCellBufferLength] = {};
  LVITEMW item{};
  item.mask = LVIF_TEXT | (image ? LVIF_IMAGE : 0);
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = kCellBufferLength;
  if (!GetItem(&item)) return false;
  text = item.pszText ? item.pszText : u"";
  if (image) *image = item.iImage;
  return true;
}

const CListImage* CListCtrlInfo::ImageAt(int imageIndex) const {
  if (imageIndex < 1 || static_cast<std::size_t>(imageIndex) > m_images.size()) return nullptr;
  const CListImage* icon = m_images[static_cast<std::size_t>(imageIndex - 1)].get();
  if (!icon->m_hIcon || icon->m_size.cx <= 0 || icon->m_size.cy <= 0) return nullptr;
  return icon;
}
