#pragma once
// The caption of every captioned control: a text, its colour and font from
// the application's text table by id, and a DrawText format. A caption that
// does not fit on its single line is drawn from the left edge with an
// ellipsis at its end, whatever its alignment; the stored text and format
// never change for it.

#include "platform/afx/AfxDC.h"
#include "toolkit/ToolkitLook.h"

#include <string>

class CStringItemDrawer {
public:
  CStringItemDrawer() = default;
  virtual ~CStringItemDrawer() = default;

  // Looks the id up in the text table (text, font and colour; see
  // TextTable.h), then sets the format either way; the lookup's result.
  virtual BOOL SetStringId(int id, UINT format);
  virtual void SetText(const std::u16string& text);
  virtual void SetTextColor(COLORREF colour);
  virtual void SetFormat(UINT format);
  // Draws the caption into rect under TRANSPARENT mode in its font and colour
  // (the DC's font when it has none); an empty text draws nothing.
  virtual void Draw(CDC* dc, CRect rect);
  virtual std::u16string GetText() const;
  // The size of the text in the caption's font (one DT_CALCRECT measure).
  virtual CSize CalcTextSize(CDC* dc);

  CFont* GetFont() const { return m_font; }
  COLORREF GetTextColor() const { return m_textColor; }
  UINT GetFormat() const { return m_format; }

protected:
  // Steps shared by every caption drawing, with the caption's font and
  // colour already selected: the ellipsis for a single line wider than rect,
  // and DT_MODIFYSTRING on a copy of the text.
  static void DrawFitted(CDC* dc, const std::u16string& text, CRect rect, UINT format);
  // Selects the caption's font and colour under TRANSPARENT mode for a scope.
  class Selection {
  public:
    Selection(CDC* dc, const CStringItemDrawer& caption);
    ~Selection();
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

  private:
    CDC* m_dc;
    int m_mode;
    COLORREF m_colour;
    CFont* m_font = nullptr;
  };

  std::u16string m_text;
  COLORREF m_textColor = 0;
  CFont* m_font = nullptr; // the application's font table's; never freed here
  UINT m_format = kDefaultCaptionFormat;
};
