#pragma once
// The slide show's picture surface: each picture becomes a texture of the
// whole window (fitted, black bars included); the first is shown at once,
// each later one arrives through a 20-step transition of one of five effects
// (0 zoom, 1 cross-fade, 2 page roll, 3 page fold, 4 diamond) at 50 ms a
// step, after which the parent gets WM_APP_SLIDE_NEXT. A marked picture
// shows the mark icon at the top while no transition runs.
//
// Without OpenGL nothing is drawn, but the pictures still take turns: each
// later picture replaces the shown one at once and WM_APP_SLIDE_NEXT is
// posted to the parent, so the show goes on.

#include "output/slideshow/COpenGLWnd.h"

class CET_Dib;

class CSlideShowWnd : public COpenGLWnd {
public:
  static constexpr UINT kStepTimer = 1;
  static constexpr UINT kStepMilliseconds = 50;
  static constexpr int kMarkIconId = 233;

  CSlideShowWnd();
  ~CSlideShowWnd() override;

  BOOL SetEffect(int effect);
  // The mark of the shown picture; the caller redraws.
  void SetMarked(int marked) { m_nMarked = marked; }
  // Makes a texture of the picture (which stays the caller's): the first
  // becomes the shown one, a later one starts a transition. FALSE when the
  // picture is empty or cannot be drawn; only while no transition runs.
  BOOL SetPicture(const CET_Dib* picture);

  BOOL Render() override;
  void AfterRender(CDC* paintDc) override;

  bool IsInTransition() const { return m_bTransition != FALSE; }
  int GetStep() const { return m_nStep; }

protected:
  void DrawPicture();
  void DrawZoom(double p);
  void DrawCrossFade(double p);
  void DrawPageRoll(double p);
  void DrawPageFold(double p);
  void DrawDiamond(double p);

  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg void OnDestroy();
  afx_msg void OnTimer(UINT_PTR id);
  DECLARE_MESSAGE_MAP()

private:
  void EndTransition();

  unsigned int m_nCurrentTexture = 0;
  int m_nEffect = -1;
  unsigned int m_nNextTexture = 0;
  BOOL m_bTransition = FALSE;
  int m_nStep = 0;
  int m_nStepCount = 0;
  int m_nMarked = 0;
  HICON m_hMarkIcon = nullptr;
  // Without OpenGL: whether a picture has been handed over yet.
  bool m_bHasPicture = false;
};
