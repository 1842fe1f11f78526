#pragma once
// A child window that owns an OpenGL rendering context on its client area.
// The context is made in WM_CREATE and is current only inside one operation
// of the window (a paint, a resize, a texture upload), so other OpenGL
// windows of the program are never disturbed. A paint clears, calls Render,
// swaps, and then hands the paint DC to AfterRender, so that GDI drawing lies
// over the swapped frame. Without OpenGL the window exists and draws nothing.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"
#include "platform/win/WinGL.h"

#include <memory>

class COpenGLWnd : public CWnd {
public:
  COpenGLWnd();
  ~COpenGLWnd() override;

  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  // Draws the frame with the context current; the default draws one polygon
  // over the window with red, green, blue and yellow corners.
  virtual BOOL Render();
  // GDI drawing over the swapped frame; the default draws nothing.
  virtual void AfterRender(CDC* paintDc);

  bool HasContext() const { return m_hRC != nullptr; }

protected:
  BOOL InitOpenGL();
  BOOL SetupPixelFormat();
  // Makes the context current on the client DC: false (and nothing current)
  // without one. ReleaseContext ends the operation.
  bool MakeCurrent();
  static void ReleaseContext();

  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg void OnDestroy();
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  afx_msg void OnPaint();
  DECLARE_MESSAGE_MAP()

private:
  std::unique_ptr<CClientDC> m_pClientDC;
  HGLRC m_hRC = nullptr;
};
