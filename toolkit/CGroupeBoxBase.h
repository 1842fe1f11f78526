#pragma once
// A captioned panel on which the program groups its controls: a region with
// optionally rounded corners (bit 0 the top ones, bit 1 the bottom ones),
// filled and framed in its colours on the toolkit's background, with its
// caption inside. The double form has a second caption at the right.

#include "platform/afx/AfxButton.h"
#include "toolkit/CStringItemDrawer.h"

class CGroupeBoxBase : public CStatic, public CStringItemDrawer {
public:
  CGroupeBoxBase() = default;

  using CStringItemDrawer::SetStringId;
  using CStringItemDrawer::SetText;
  virtual BOOL SetStringId(int id, UINT format, BOOL redraw);
  virtual void SetText(const std::u16string& text, BOOL redraw);
  void SetColors(COLORREF frame, COLORREF fill) {
    m_frameColour = frame;
    m_fillColour = fill;
  }
  // Stores the corner bits and builds the region at once.
  void SetRoundCorners(int bits);
  const CRgn& GetRegion() const { return m_region; }
  BOOL DestroyWindow() override;

protected:
  void BuildRegion();
  void PreSubclassWindow() override;
  // The captions, into the client rectangle less 5 pixels at both sides.
  virtual void DrawCaptions(CDC* dc, const CRect& rect);
  afx_msg void OnPaint();
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  DECLARE_MESSAGE_MAP()

  int m_roundCorners = 1;
  CRgn m_region;
  COLORREF m_frameColour = RGB(0, 0, 0);
  COLORREF m_fillColour = RGB(255, 255, 255);
};

class CGroupeBox_DoubleStr : public CGroupeBoxBase {
public:
  using CGroupeBoxBase::SetStringId;
  // The first caption is always left-aligned.
  BOOL SetStringId(int id, UINT format, BOOL redraw) override;
  void SetFormat(UINT format) override;
  // The second caption, right-aligned whatever the format's alignment.
  BOOL SetSecondStringId(int id, UINT format, BOOL redraw);
  void SetSecondText(const std::u16string& text, BOOL redraw);
  const CStringItemDrawer& GetSecondCaption() const { return m_second; }

protected:
  void DrawCaptions(CDC* dc, const CRect& rect) override;

private:
  CStringItemDrawer m_second;
};
