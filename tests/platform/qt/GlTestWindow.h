#pragma once
// A child window that renders with OpenGL as the slide show's surface does:
// pixel format and context made in WM_CREATE (before the window shows), the
// context current only inside each operation, a paint that clears, draws a
// textured quad, swaps, and then draws with GDI over the swapped frame.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"
#include "platform/win/WinGL.h"

#include <GL/gl.h>

#include <memory>

class GlTestWindow : public CWnd {
public:
  HGLRC context = nullptr;
  bool visibleAtCreate = true;
  bool contextAtCreate = false;
  int paints = 0;

  BOOL CreateIn(CWnd* parent, const RECT& rect) {
    return Create(u"GlTestWindow", u"", WS_CHILD, rect, parent, 100);
  }

protected:
  // Makes the context current for one operation; false when there is none.
  bool Begin() { return context && wglMakeCurrent(*m_clientDc, context); }
  void End() { wglMakeCurrent(nullptr, nullptr); }

  afx_msg int OnCreate(LPCREATESTRUCT cs) {
    if (CWnd::OnCreate(cs) == -1) return -1;
    visibleAtCreate = IsWindowVisible();
    m_clientDc = std::make_unique<CClientDC>(this);
    PIXELFORMATDESCRIPTOR pfd;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 24;
    pfd.cDepthBits = 16;
    const int format = ChoosePixelFormat(*m_clientDc, &pfd);
    if (format == 0 || !SetPixelFormat(*m_clientDc, format, &pfd)) return 0;
    context = wglCreateContext(*m_clientDc); // a failure does not stop the creation
    contextAtCreate = context != nullptr;
    if (Begin()) {
      glClearColor(0.2f, 0.4f, 0.6f, 0.0f);
      glClearDepth(1.0);
      glEnable(GL_DEPTH_TEST);
      static const GLubyte texels[] = {255, 0, 0, 255, 0, 255, 0, 255,      // bottom row: red, green
                                       0, 0, 255, 255, 255, 255, 255, 255}; // top row: blue, white
      glGenTextures(1, &m_texture);
      glBindTexture(GL_TEXTURE_2D, m_texture);
      glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
      End();
    }
    return 0;
  }

  afx_msg void OnDestroy() {
    CWnd::OnDestroy();
    if (context) wglDeleteContext(context);
    context = nullptr;
    m_clientDc.reset();
  }

  afx_msg void OnSize(UINT type, int cx, int cy) {
    CWnd::OnSize(type, cx, cy);
    if (cx <= 0 || cy <= 0 || !Begin()) return;
    glViewport(0, 0, cx, cy);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, cx, 0, cy, -1, 1); // window pixels, y up
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    End();
  }

  afx_msg BOOL OnEraseBkgnd(CDC*) { return TRUE; }

  // Clear, a textured quad over (50, 50)-(150, 150), swap; then a black GDI
  // square at (10, 10)-(30, 30) over the frame.
  afx_msg void OnPaint() {
    CPaintDC dc(this);
    ++paints;
    if (!Begin()) return;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, m_texture);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(50, 50);
    glTexCoord2f(1, 0);
    glVertex2f(150, 50);
    glTexCoord2f(1, 1);
    glVertex2f(150, 150);
    glTexCoord2f(0, 1);
    glVertex2f(50, 150);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glFinish();
    SwapBuffers(*m_clientDc);
    End();
    dc.FillSolidRect(10, 10, 20, 20, RGB(0, 0, 0));
  }

  DECLARE_MESSAGE_MAP()

private:
  std::unique_ptr<CClientDC> m_clientDc;
  GLuint m_texture = 0;
};

// One test program includes this header.
BEGIN_MESSAGE_MAP(GlTestWindow, CWnd)
  ON_WM_CREATE()
  ON_WM_DESTROY()
  ON_WM_SIZE()
  ON_WM_ERASEBKGND()
  ON_WM_PAINT()
END_MESSAGE_MAP()
