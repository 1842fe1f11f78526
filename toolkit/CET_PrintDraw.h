#pragma once
// Print-page drawing: a page of picture cells (CET_PrintPictData) and page
// texts (CET_PrintTextData) drawn by CET_PrintDraw on any DC, the printer's
// at its resolution or the preview's scaled down, with hit testing and marks
// for the preview. Page rectangles are in page units; a DC rectangle is
// scale x the page rectangle plus the origin.
//
// Font heights of the texts are tenths of a point: on a printer a text is
// -MulDiv(height, LOGPIXELSY, 720) pixels (its character height); with scaled
// fonts (the preview) scale x font factor x height (its cell height), at least 8.

#include "platform/afx/AfxDC.h"
#include "toolkit/CET_Dib.h"

#include "foundation/FString.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CET_PrintTextData {
public:
  CET_PrintTextData();
  virtual ~CET_PrintTextData() = default;
  // Copies every field of another text (nothing for null).
  virtual void CopyFrom(const CET_PrintTextData* other);

  std::u16string m_text;
  // The stock GUI font with antialiased quality until set; lfHeight in tenths of a point.
  LOGFONTW m_font;
  COLORREF m_colour = 0;
  // Page units, relative to the page (page texts) or the cell's top-left corner (cell texts).
  RECT m_rect{};
  UINT m_format = DT_CENTER | DT_SINGLELINE;
  // Non-zero: continues the text before it (they are drawn as one word-broken text).
  int m_flow = 0;
};

class CET_PrintPictData {
public:
  CET_PrintPictData() = default;
  virtual ~CET_PrintPictData() { Reset(); }
  CET_PrintPictData(const CET_PrintPictData&) = delete;
  CET_PrintPictData& operator=(const CET_PrintPictData&) = delete;

  // Deletes the picture and the texts, empties the information lines.
  virtual void Reset();
  // Reset, then a deep copy of every field of another item (null only resets).
  virtual void CopyFrom(const CET_PrintPictData* other);
  virtual void ClearTexts();

  RECT m_cell{};
  std::unique_ptr<CET_Dib> m_picture; // null until loaded
  int m_upsideDown = 0;
  // The part of the picture shown when the whole picture is not fitted; empty: chosen automatically.
  RECT m_sourceArea{};
  // Kept for the print dialog and copied with the item.
  std::int32_t m_dialogValues[3] = {0, 0, 0};
  RECT m_secondArea{};
  FString m_path;
  std::vector<std::u16string> m_infoLines; // kept for the dialog; not drawn
  std::vector<std::unique_ptr<CET_PrintTextData>> m_texts;
};

// Supplies a cell's picture: the item, the cell's DC rectangle, and a flag to
// set when the picture should be released after drawing. Non-zero on success.
using PrintLoadPictCallback = int (*)(CET_PrintPictData* item, int left, int top, int right, int bottom,
                                      int* releaseAfterDrawing, void* user);

class CET_PrintDraw {
public:
  CET_PrintDraw() = default;
  virtual ~CET_PrintDraw() = default;

  // The page's cells (not owned: they must outlive the drawing), where its
  // (0, 0) lands, its scale and font scaling. pageValue is the caller's.
  virtual void SetPage(const std::vector<CET_PrintPictData*>& pictures, int originX, int originY, double scale,
                       int pageValue, int scaledFonts, double fontFactor);
  // 1 when every cell was drawn; 0 for a page without cells (nothing drawn)
  // or at the first cell that failed (the cells after it are not drawn).
  virtual int DrawPage(CDC* dc);
  // The first cell whose DC rectangle holds the point, or -1.
  virtual int HitTest(int x, int y) const;
  // Flips cell index's mark (cells 0 to 63); -1 clears every mark; others change nothing.
  virtual void ToggleMark(int index);
  virtual int DrawPictItem(CDC* dc, CET_PrintPictData* item);
  // One text offset by (dx, dy) page units; 0 for null.
  virtual int DrawTextItem(CDC* dc, const CET_PrintTextData* text, int dx, int dy);

  // The page's texts (not owned); null leaves none.
  void SetTextItems(const std::vector<CET_PrintTextData*>* texts);
  void SetRotateAndFit(int autoRotate, int wholePicture) {
    m_autoRotate = autoRotate;
    m_wholePicture = wholePicture;
  }
  int IsFitWhole() const { return m_wholePicture; }
  void SetLoadPictCallback(PrintLoadPictCallback callback, void* user) {
    m_loadCallback = callback;
    m_loadUser = user;
  }
  bool IsMarked(int index) const { return index >= 0 && index < 64 && ((m_marks >> index) & 1u); }
  int GetPageValue() const { return m_pageValue; }
  // A page rectangle on the DC.
  RECT DeviceRect(const RECT& page) const;

private:
  void DrawPicture(CDC* dc, CET_PrintPictData& item, const RECT& cell, bool turn);
  void DrawCellTexts(CDC* dc, const CET_PrintPictData& item);
  static void Frame(CDC* dc, const RECT& rect, COLORREF colour, int width);

  std::vector<CET_PrintPictData*> m_pictures;
  int m_originX = 0;
  int m_originY = 0;
  int m_scaledFonts = 0;
  double m_scale = 1.0;
  double m_fontFactor = 1.0;
  int m_pageValue = 0;
  void* m_loadUser = nullptr;
  std::vector<CET_PrintTextData*> m_texts;
  int m_wholePicture = 1;
  int m_autoRotate = 0;
  PrintLoadPictCallback m_loadCallback = nullptr;
  std::uint64_t m_marks = 0;
};
