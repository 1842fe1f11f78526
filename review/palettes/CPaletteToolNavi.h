#pragma once
// The navigator panel: the followed review window's whole picture with a red
// rectangle round the part the window shows. Dragging the rectangle scrolls
// the review window there, through the palette; the palette hands the panel
// the window's visible part whenever it changes.

#include "review/controls/CMiniImageWnd.h"
#include "review/palettes/CPaletteToolBase.h"

class CPaletteToolNavi : public CPaletteToolBase {
public:
  static constexpr UINT kTemplate = 271;
  static constexpr int kPictureId = 1187;
  static constexpr int kExpandedHeight = 141;
  static constexpr int kCollapsedHeight = 28;

  explicit CPaletteToolNavi(CWnd* parent);

  CSize GetPanelSize(int fileType) override;
  void LayoutControls() override;
  void UpdateFromImage() override;
  BOOL OnInitDialog() override;

  // The review window's visible part in fractions of the picture.
  void SetVisibleRect(const FDoubleRect* rect);
  const CMiniImageWnd& GetPicture() const { return m_Picture; }

protected:
  void DoDataExchange(CDataExchange* dx) override;
  // The small picture window's rectangle was moved: the review window follows.
  afx_msg LRESULT OnVisibleRect(WPARAM rect, LPARAM);
  DECLARE_MESSAGE_MAP()

private:
  CMiniImageWnd m_Picture;
};
