#include "output/slideshow/CSlideShowWnd.h"

#include "output/slideshow/SlideTransitions.h"
#include "shell/app/AppMessages.h"
#include "toolkit/CET_Calc.h"
#include "toolkit/CET_Dib.h"
#include "toolkit/ControlParts.h"

#include <GL/gl.h>
#include <GL/glu.h>

using slideshow::Vec3;

namespace {

constexpr int kIconSize = 16;
constexpr int kShownIconSize = 32;
constexpr int kIconTop = 10;

// The window's picture: texture (0,0) at the bottom-left corner.
void FullQuad(GLfloat z) {
  glBegin(GL_QUADS);
  glNormal3f(0, 0, 1);
  glTexCoord2f(0, 0);
  glVertex3f(-1, -1, z);
  glTexCoord2f(0, 1);
  glVertex3f(-1, 1, z);
  glTexCoord2f(1, 1);
  glVertex3f(1, 1, z);
  glTexCoord2f(1, 0);
  glVertex3f(1, -1, z);
  glEnd();
}

void BindTexture(unsigned int texture) {
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glBindTexture(GL_TEXTURE_2D, texture);
}

void UnbindTexture() {
  glBindTexture(GL_TEXTURE_2D, 0);
  glDisable(GL_TEXTURE_2D);
}

void EnableBlending() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void Vertex(const Vec3& v) { glVertex3d(v[0], v[1], v[2]); }

// The window's size, black, with the picture fitted into it: a bottom-up
// 24-bit DIB section. Null when it cannot be made.
struct WindowPicture {
  HBITMAP bitmap = nullptr;
  BYTE* bits = nullptr;
};

WindowPicture DrawIntoWindowPicture(CWnd& window, const CET_Dib& picture, int width, int height) {
  CClientDC windowDc(&window);
  CDC memory;
  if (!memory.CreateCompatibleDC(&windowDc)) return {};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap) DeleteObject(bitmap);
    return {};
  }
  HGDIOBJ old = memory.SelectObject(bitmap);
  const int oldMode = memory.SetStretchBltMode(COLORONCOLOR);
  memory.FillSolidRect(0, 0, width, height, RGB(0, 0, 0));
  const RECT fitted = CET_Calc::FitRectInRect({0, 0, width, height}, {0, 0, picture.GetWidth(), picture.GetHeight()});
  CET_Calc::DrawDibToDC(&memory, picture.header, picture.bits, fitted, true, false, false);
  memory.SetStretchBltMode(oldMode);
  memory.SelectObject(old);
  GdiFlush();
  return {bitmap, static_cast<BYTE*>(bits)};
}

} // namespace

BEGIN_MESSAGE_MAP(CSlideShowWnd, COpenGLWnd)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_WM_TIMER()
END_MESSAGE_MAP()

CSlideShowWnd::CSlideShowWnd() = default;

CSlideShowWnd::~CSlideShowWnd() { FreeIcon(m_hMarkIcon); }

int CSlideShowWnd::OnCreate(LPCREATESTRUCT cs) {
  if (COpenGLWnd::OnCreate(cs) == -1) return -1;
  m_hMarkIcon = LoadIconResource(kMarkIconId, kIconSize, kIconSize);
  return 0;
}

void CSlideShowWnd::OnDestroy() {
  COpenGLWnd::OnDestroy(); // the context frees both textures
  m_nCurrentTexture = 0;
  m_nNextTexture = 0;
  m_bTransition = FALSE;
  m_nStep = 0;
  m_nStepCount = 0;
}

BOOL CSlideShowWnd::SetEffect(int effect) {
  m_nEffect = effect;
  return TRUE;
}

BOOL CSlideShowWnd::SetPicture(const CET_Dib* picture) {
  if (!picture || !picture->IsValid() || !picture->header || m_bTransition) return FALSE;
  CRect client;
  GetClientRect(&client);
  const int width = client.Width();
  const int height = client.Height();
  if (width <= 0 || height <= 0) return FALSE;
  if (!MakeCurrent()) {
    // Nothing can be drawn: the new picture simply takes the old one's place.
    if (m_bHasPicture && GetParent()) GetParent()->PostMessage(WM_APP_SLIDE_NEXT, 0, 0);
    m_bHasPicture = true;
    return TRUE;
  }
  const WindowPicture image = DrawIntoWindowPicture(*this, *picture, width, height);
  if (!image.bitmap) {
    ReleaseContext();
    return FALSE;
  }
  const bool startsTransition = m_nCurrentTexture != 0;
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4); // the DIB section's rows end on 4 bytes
  gluBuild2DMipmaps(GL_TEXTURE_2D, 3, width, height, GL_BGR, GL_UNSIGNED_BYTE, image.bits);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glBindTexture(GL_TEXTURE_2D, 0);
  if (startsTransition) {
    m_bTransition = TRUE;
    m_nStep = 0;
    m_nStepCount = slideshow::kTransitionSteps;
    SetTimer(kStepTimer, kStepMilliseconds, nullptr);
  }
  ReleaseContext();
  DeleteObject(image.bitmap);
  (startsTransition ? m_nNextTexture : m_nCurrentTexture) = texture;
  m_bHasPicture = true;
  return TRUE;
}

void CSlideShowWnd::OnTimer(UINT_PTR id) {
  if (id == kStepTimer && m_bTransition) {
    ++m_nStep;
    Invalidate(TRUE);
    if (m_nStep > m_nStepCount) EndTransition();
  }
  COpenGLWnd::OnTimer(id);
}

void CSlideShowWnd::EndTransition() {
  KillTimer(kStepTimer);
  m_bTransition = FALSE;
  m_nStep = 0;
  m_nStepCount = 0;
  if (MakeCurrent()) {
    const GLuint old = m_nCurrentTexture;
    glDeleteTextures(1, &old);
    ReleaseContext();
  }
  m_nCurrentTexture = m_nNextTexture;
  m_nNextTexture = 0;
  if (GetParent()) GetParent()->SendMessage(WM_APP_SLIDE_NEXT, 0, 0);
}

BOOL CSlideShowWnd::Render() {
  if (!m_bTransition) {
    DrawPicture();
    return TRUE;
  }
  const double p = slideshow::TransitionProgress(m_nStep, m_nStepCount);
  switch (m_nEffect) {
  case 0: DrawZoom(p); break;
  case 1: DrawCrossFade(p); break;
  case 2: DrawPageRoll(p); break;
  case 3: DrawPageFold(p); break;
  case 4: DrawDiamond(p); break;
  default: break; // an unknown effect shows the cleared frame
  }
  return TRUE;
}

void CSlideShowWnd::DrawPicture() {
  if (m_nCurrentTexture == 0) return;
  BindTexture(m_nCurrentTexture);
  FullQuad(0);
  UnbindTexture();
}

void CSlideShowWnd::DrawZoom(double p) {
  BindTexture(m_nCurrentTexture);
  FullQuad(-3);
  glBindTexture(GL_TEXTURE_2D, m_nNextTexture);
  const auto h = static_cast<GLfloat>(slideshow::ZoomHalfSize(p));
  glBegin(GL_QUADS);
  glNormal3f(0, 0, 1);
  glTexCoord2f(0, 0);
  glVertex3f(-h, -h, 0);
  glTexCoord2f(0, 1);
  glVertex3f(-h, h, 0);
  glTexCoord2f(1, 1);
  glVertex3f(h, h, 0);
  glTexCoord2f(1, 0);
  glVertex3f(h, -h, 0);
  glEnd();
  UnbindTexture();
}

void CSlideShowWnd::DrawCrossFade(double p) {
  EnableBlending();
  BindTexture(m_nNextTexture);
  glColor4d(1, 1, 1, p);
  FullQuad(-3);
  glBindTexture(GL_TEXTURE_2D, m_nCurrentTexture);
  glColor4d(1, 1, 1, 1 - p);
  FullQuad(0);
  glColor4f(1, 1, 1, 1);
  UnbindTexture();
  glDisable(GL_BLEND);
}

void CSlideShowWnd::DrawPageRoll(double p) {
  BindTexture(m_nNextTexture);
  FullQuad(-9);
  // The part right of the cut stays where it is.
  glBindTexture(GL_TEXTURE_2D, m_nCurrentTexture);
  const double x0 = slideshow::RollCut(p);
  glBegin(GL_QUADS);
  glNormal3f(0, 0, 1);
  glTexCoord2d(p, 0);
  glVertex3d(x0, -1, -6);
  glTexCoord2d(p, 1);
  glVertex3d(x0, 1, -6);
  glTexCoord2d(1, 1);
  glVertex3d(1, 1, -6);
  glTexCoord2d(1, 0);
  glVertex3d(1, -1, -6);
  glEnd();
  // The roll: a lit cylinder around the cut carrying the picture left of it.
  // At the middle step the light's direction is the zero vector; it then
  // comes from the viewer instead, so that frame is not lit from nowhere.
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  const GLfloat position[4] = {static_cast<GLfloat>(x0), 0, x0 == 0.0 ? 1.0f : 0.0f, 0};
  const GLfloat ambient[4] = {0.1f, 0.1f, 0.1f, 1};
  const GLfloat diffuse[4] = {0.5f, 0.5f, 0.5f, 1};
  const GLfloat specular[4] = {1, 1, 1, 0};
  glLightfv(GL_LIGHT0, GL_POSITION, position);
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 60);
  glBegin(GL_QUAD_STRIP);
  for (int i = 0; i < slideshow::kStripPairs; ++i) {
    const slideshow::RollVertex v = slideshow::RollStripVertex(p, i);
    glNormal3d(v.normal[0], v.normal[1], v.normal[2]);
    glTexCoord2d(v.s, 0);
    glVertex3d(v.x, -1, v.z);
    glTexCoord2d(v.s, 1);
    glVertex3d(v.x, 1, v.z);
  }
  glEnd();
  glDisable(GL_LIGHT0);
  glDisable(GL_LIGHTING);
  UnbindTexture();
}

void CSlideShowWnd::DrawPageFold(double p) {
  EnableBlending();
  BindTexture(m_nNextTexture);
  FullQuad(-6);
  // An invisible triangle that fills the depth buffer keeps the top-left
  // corner of the old picture open.
  glColor4f(1, 1, 1, 0);
  glBegin(GL_TRIANGLES);
  glVertex3d(-1, 1 - 2 * p, 0);
  glVertex3d(-1, 1, 0);
  glVertex3d(2 * p - 1, 1, 0);
  glEnd();
  glColor4f(1, 1, 1, 1);
  glBindTexture(GL_TEXTURE_2D, m_nCurrentTexture);
  FullQuad(-3);
  UnbindTexture();
  // The flap folded over, untextured, with default light and material.
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glBegin(GL_QUAD_STRIP);
  Vec3 previous{-1, 1, -0.8};
  for (int i = 0; i < slideshow::kStripPairs; ++i) {
    const slideshow::FoldPair pair = slideshow::FoldStripPair(p, i);
    Vec3 normal{};
    if (slideshow::PlaneNormal(pair.p1, pair.p2, previous, normal)) glNormal3d(normal[0], normal[1], normal[2]);
    Vertex(pair.p1);
    Vertex(pair.p2);
    previous = pair.p1;
  }
  glEnd();
  glDisable(GL_LIGHT0);
  glDisable(GL_LIGHTING);
  glDisable(GL_BLEND);
}

void CSlideShowWnd::DrawDiamond(double p) {
  EnableBlending();
  BindTexture(m_nNextTexture);
  FullQuad(-3);
  // The invisible diamond in the depth buffer lets the new picture show through.
  const double d = slideshow::DiamondHalfDiagonal(p);
  glColor4f(1, 1, 1, 0);
  glBegin(GL_POLYGON);
  glVertex3d(-d, 0, 0);
  glVertex3d(0, d, 0);
  glVertex3d(d, 0, 0);
  glVertex3d(0, -d, 0);
  glEnd();
  glColor4f(1, 1, 1, 1);
  glBindTexture(GL_TEXTURE_2D, m_nCurrentTexture);
  FullQuad(0);
  UnbindTexture();
  glDisable(GL_BLEND);
}

void CSlideShowWnd::AfterRender(CDC* paintDc) {
  if (m_bTransition || m_nMarked == 0 || !m_hMarkIcon) return;
  CRect client;
  GetClientRect(&client);
  DrawIconEx(*paintDc, client.Width() / 2 - kShownIconSize / 2, kIconTop, m_hMarkIcon, kShownIconSize, kShownIconSize,
             0, nullptr, DI_NORMAL);
}
