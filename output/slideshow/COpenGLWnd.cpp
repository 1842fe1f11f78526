#include "output/slideshow/COpenGLWnd.h"

#include <GL/gl.h>

BEGIN_MESSAGE_MAP(COpenGLWnd, CWnd)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_WM_SIZE()
ON_WM_ERASEBKGND()
ON_WM_PAINT()
END_MESSAGE_MAP()

COpenGLWnd::COpenGLWnd() = default;

// The context goes with its window (WM_DESTROY).
COpenGLWnd::~COpenGLWnd() = default;

BOOL COpenGLWnd::PreCreateWindow(CREATESTRUCT& cs) {
  cs.style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  return CWnd::PreCreateWindow(cs);
}

int COpenGLWnd::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  InitOpenGL(); // without OpenGL the window still exists and draws nothing
  return 0;
}

BOOL COpenGLWnd::SetupPixelFormat() {
  PIXELFORMATDESCRIPTOR pfd;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 24;
  pfd.cDepthBits = 16;
  const int format = ChoosePixelFormat(*m_pClientDC, &pfd);
  return format != 0 && SetPixelFormat(*m_pClientDC, format, &pfd);
}

BOOL COpenGLWnd::InitOpenGL() {
  m_pClientDC = std::make_unique<CClientDC>(this);
  if (!SetupPixelFormat()) return FALSE;
  m_hRC = wglCreateContext(*m_pClientDC);
  if (!MakeCurrent()) return FALSE;
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  ReleaseContext();
  return TRUE;
}

bool COpenGLWnd::MakeCurrent() { return m_hRC && m_pClientDC && wglMakeCurrent(*m_pClientDC, m_hRC); }

void COpenGLWnd::ReleaseContext() { wglMakeCurrent(nullptr, nullptr); }

void COpenGLWnd::OnDestroy() {
  CWnd::OnDestroy();
  if (m_hRC) wglDeleteContext(m_hRC); // frees the textures with it
  m_hRC = nullptr;
  m_pClientDC.reset();
}

void COpenGLWnd::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  if (cx <= 0 || cy <= 0 || !MakeCurrent()) return;
  glViewport(0, 0, cx, cy);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-1, 1, -1, 1, 0.1, 20);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(0, 0, -0.1f);
  ReleaseContext();
}

BOOL COpenGLWnd::OnEraseBkgnd(CDC*) { return TRUE; }

void COpenGLWnd::OnPaint() {
  CPaintDC dc(this);
  if (!MakeCurrent()) return;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glPushMatrix();
  Render();
  glPopMatrix();
  glFinish();
  SwapBuffers(*m_pClientDC);
  ReleaseContext();
  AfterRender(&dc);
}

BOOL COpenGLWnd::Render() {
  glBegin(GL_POLYGON);
  glColor3f(1, 0, 0);
  glVertex2f(-1, -1);
  glColor3f(0, 1, 0);
  glVertex2f(1, -1);
  glColor3f(0, 0, 1);
  glVertex2f(1, 1);
  glColor3f(1, 1, 0);
  glVertex2f(-1, 1);
  glEnd();
  glColor3f(1, 1, 1);
  return TRUE;
}

void COpenGLWnd::AfterRender(CDC*) {}
