#pragma once
// The information palette's lists: an owner-drawn report list whose row 0
// is a title bar (the texts of all its cells joined, bold white on blue) and
// whose other rows are banded cells, each text optionally followed by a
// small icon (the cell's image index n draws icon n - 1). The window has
// rounded corners and a thin black frame. All texts live in the list's
// items, set by the owner with the ordinary list calls.

#include "platform/afx/AfxCtrls.h"
#include "platform/afx/AfxDC.h"

#include <memory>
#include <vector>

// One icon of such a list and the size it is drawn at. The owner loads the
// icon at that size and fills both fields.
class CListImage {
public:
  CListImage() { Clear(); }
  ~CListImage() { Release(); }
  CListImage(const CListImage&) = delete;
  CListImage& operator=(const CListImage&) = delete;

  void Clear() {
    m_hIcon = nullptr;
    m_size = CSize(0, 0);
  }
  // Destroys the icon, when there is one, and empties the record.
  void Release();

  HICON m_hIcon;
  CSize m_size;
};

class CListCtrlInfo : public CListCtrl {
public:
  CListCtrlInfo() = default;
  ~CListCtrlInfo() override;

  // The list owns the icon from now on; it is image index count + 1.
  void AddImage(CListImage* image);
  void RemoveAllImages();

  void DrawItem(LPDRAWITEMSTRUCT item) override;
  void MeasureItem(LPMEASUREITEMSTRUCT item);

  static constexpr COLORREF kTitleColour = RGB(107, 115, 165);
  static constexpr COLORREF kEvenRowColour = RGB(236, 236, 236);
  static constexpr COLORREF kOddRowColour = RGB(217, 217, 217);

protected:
  void PreSubclassWindow() override;
  afx_msg LRESULT OnSetFont(WPARAM font, LPARAM redraw);
  afx_msg void OnSize(UINT type, int cx, int cy);
  DECLARE_MESSAGE_MAP()

private:
  void DrawTitleRow(CDC& dc, const CRect& row, int columns);
  void DrawCellRow(CDC& dc, const CRect& row, int index, int columns);
  // A cell's text and image index; false when the cell cannot be read.
  bool ReadCell(int row, int column, std::u16string& text, int* image) const;
  const CListImage* ImageAt(int imageIndex) const;
  // The font the list draws with: the one it was given, else the GUI font.
  LOGFONTW ListFont() const;

  CFont m_boldFont;
  std::vector<std::unique_ptr<CListImage>> m_images;
};
