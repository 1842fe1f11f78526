#pragma once
// The toolkit's static control: a caption from the text table on the
// toolkit's background, or an icon drawn over what its area shows.

#include "platform/afx/AfxButton.h"
#include "toolkit/CStringItemDrawer.h"

class CStaticBase : public CStatic, public CStringItemDrawer {
public:
  CStaticBase() = default;
  ~CStaticBase() override;

  using CStringItemDrawer::SetStringId;
  using CStringItemDrawer::SetText;
  // The caption's lookup and format; with redraw, shown at once. The lookup's result.
  virtual BOOL SetStringId(int id, UINT format, BOOL redraw);
  virtual void SetText(const std::u16string& text, BOOL redraw);
  // The size SetIcon loads at (its resource's own size until set).
  void SetIconSize(int cx, int cy) { m_iconSize = CSize(cx, cy); }
  // Replaces the icon and shows icons from now on.
  void SetIcon(int resourceId);
  void SetBkColor(COLORREF colour) { m_background = colour; }
  bool ShowsIcon() const { return m_mode == 0; }

protected:
  void PreSubclassWindow() override;
  afx_msg void OnPaint();
  DECLARE_MESSAGE_MAP()

private:
  static void PaintContent(CDC* dc, RECT area, void* self, void*);
  COLORREF m_background = kToolkitBackground;
  int m_mode = 1; // 1 caption, 0 icon
  HICON m_icon = nullptr;
  CSize m_iconSize;
};
