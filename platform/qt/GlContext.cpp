// OpenGL contexts of windows: a QOpenGLContext (compatibility profile, so
// the fixed-function calls work) on an offscreen surface, drawing into a
// frame buffer object of the window's client size. Neither QOpenGLWidget (its
// context exists only after the window first shows, and GL runs only inside
// its paintGL) nor QOpenGLWindow (a native window outside the layer's
// surfaces) fits windows that make their context in WM_CREATE and draw GDI
// over the swapped frame. SwapBuffers reads the frame back into the window's
// retained surface.

#include "platform/core/Handles.h"
#include "platform/qt/QtBackend.h"
#include "platform/win/WinGL.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>

#include <map>

namespace platform::qt {
namespace {

constexpr int kOnlyFormat = 1;
constexpr unsigned kGlBgra = 0x80E1;         // GL_BGRA: rows read straight into the surface's byte order
constexpr unsigned kGlPackRowLength = 0x0D02; // GL_PACK_ROW_LENGTH

struct GlContext {
  HWND window = nullptr;
  std::unique_ptr<QOpenGLContext> context;
  std::unique_ptr<QOffscreenSurface> surface;
  std::unique_ptr<QOpenGLFramebufferObject> frame;
};

// GUI thread only, as the windows.
core::HandleTable<GlContext>& Contexts() {
  static auto* table = new core::HandleTable<GlContext>;
  return *table;
}
std::map<HWND, int>& PixelFormats() {
  static auto* formats = new std::map<HWND, int>;
  return *formats;
}
HGLRC g_current = nullptr;
HDC g_currentDc = nullptr;

GlContext* ContextOf(HGLRC handle) { return Contexts().Get(reinterpret_cast<std::uintptr_t>(handle)); }

HWND WindowOfDc(HDC dc) {
  HWND hwnd = WindowFromDC(dc);
  return hwnd && IsWindow(hwnd) ? hwnd : nullptr;
}

QSize ClientSize(HWND hwnd) {
  RECT client{};
  GetClientRect(hwnd, &client);
  return QSize(std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1));
}

// The window's frame buffer at its client size, made again when the size changed.
bool EnsureFrame(GlContext& c) {
  const QSize size = ClientSize(c.window);
  if (c.frame && c.frame->size() == size) return true;
  c.frame.reset();
  QOpenGLFramebufferObjectFormat format;
  format.setAttachment(QOpenGLFramebufferObject::Depth);
  c.frame = std::make_unique<QOpenGLFramebufferObject>(size, format);
  return c.frame->isValid();
}

void Release() {
  if (GlContext* c = ContextOf(g_current)) c->context->doneCurrent();
  g_current = nullptr;
  g_currentDc = nullptr;
}

// Reads the frame straight into the window's surface, then turns its rows
// (OpenGL's run upwards) and makes every pixel opaque, in one pass.
void ShowFrame(GlContext& c) {
  HostWidget* widget = WidgetOf(c.window);
  if (!widget || !c.frame) return;
  QImage& surface = widget->Surface();
  const int width = std::min(surface.width(), c.frame->width());
  const int height = std::min(surface.height(), c.frame->height());
  if (width <= 0 || height <= 0) return;
  QOpenGLFunctions* gl = c.context->functions();
  gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
  gl->glPixelStorei(kGlPackRowLength, static_cast<GLint>(surface.bytesPerLine() / 4));
  gl->glReadPixels(0, 0, width, height, kGlBgra, GL_UNSIGNED_BYTE, surface.bits());
  gl->glPixelStorei(kGlPackRowLength, 0);
  for (int y = 0; y < (height + 1) / 2; ++y) {
    auto* top = reinterpret_cast<std::uint32_t*>(surface.scanLine(y));
    auto* bottom = reinterpret_cast<std::uint32_t*>(surface.scanLine(height - 1 - y));
    for (int x = 0; x < width; ++x) {
      const std::uint32_t upper = top[x] | 0xFF000000u;
      top[x] = bottom[x] | 0xFF000000u;
      bottom[x] = upper;
    }
  }
  RECT client{0, 0, width, height};
  if (core::WindowRecord* r = core::Record(c.window); r && r->host) r->host->SchedulePresent(client);
}

} // namespace
} // namespace platform::qt

using namespace platform::qt;

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* pfd) {
  if (!platform::core::WindowCallAllowed("ChoosePixelFormat") || !pfd || !WindowOfDc(dc)) return 0;
  const bool wanted = pfd->nSize == sizeof(PIXELFORMATDESCRIPTOR) && (pfd->dwFlags & PFD_SUPPORT_OPENGL) &&
                      pfd->iPixelType == PFD_TYPE_RGBA;
  return wanted ? kOnlyFormat : 0;
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*) {
  if (!platform::core::WindowCallAllowed("SetPixelFormat") || format != kOnlyFormat) return FALSE;
  HWND hwnd = WindowOfDc(dc);
  if (!hwnd) return FALSE;
  auto& formats = PixelFormats();
  std::erase_if(formats, [](const auto& entry) { return !IsWindow(entry.first); });
  return formats.emplace(hwnd, format).first->second == format ? TRUE : FALSE;
}

HGLRC wglCreateContext(HDC dc) {
  if (!platform::core::WindowCallAllowed("wglCreateContext")) return nullptr;
  HWND hwnd = WindowOfDc(dc);
  if (!hwnd || !PixelFormats().contains(hwnd)) return nullptr;
  QSurfaceFormat format;
  format.setRenderableType(QSurfaceFormat::OpenGL);
  format.setProfile(QSurfaceFormat::CompatibilityProfile);
  format.setRedBufferSize(8);
  format.setGreenBufferSize(8);
  format.setBlueBufferSize(8);
  format.setDepthBufferSize(24);
  auto c = std::make_unique<GlContext>();
  c->window = hwnd;
  c->context = std::make_unique<QOpenGLContext>();
  c->context->setFormat(format);
  if (!c->context->create()) return nullptr; // no OpenGL here
  c->surface = std::make_unique<QOffscreenSurface>();
  c->surface->setFormat(c->context->format());
  c->surface->create();
  if (!c->surface->isValid()) return nullptr;
  return reinterpret_cast<HGLRC>(Contexts().Add(std::move(c)));
}

BOOL wglDeleteContext(HGLRC handle) {
  if (!platform::core::WindowCallAllowed("wglDeleteContext")) return FALSE;
  std::unique_ptr<GlContext> c = Contexts().Remove(reinterpret_cast<std::uintptr_t>(handle));
  if (!c) return FALSE;
  if (g_current == handle) {
    g_current = nullptr;
    g_currentDc = nullptr;
  }
  // The frame buffer goes with its context current; another context current
  // on this thread is made current again after.
  QOpenGLContext* other = QOpenGLContext::currentContext();
  QSurface* otherSurface = other ? other->surface() : nullptr;
  if (c->context->makeCurrent(c->surface.get())) {
    c->frame.reset();
    c->context->doneCurrent();
  }
  c.reset();
  if (other && other != QOpenGLContext::currentContext()) other->makeCurrent(otherSurface);
  return TRUE;
}

BOOL wglMakeCurrent(HDC dc, HGLRC handle) {
  if (!platform::core::WindowCallAllowed("wglMakeCurrent")) return FALSE;
  if (!handle) {
    Release();
    return TRUE;
  }
  GlContext* c = ContextOf(handle);
  if (!c || WindowOfDc(dc) != c->window || !IsWindow(c->window)) return FALSE;
  if (g_current && g_current != handle) Release();
  if (!c->context->makeCurrent(c->surface.get())) return FALSE;
  if (!EnsureFrame(*c)) {
    c->context->doneCurrent();
    return FALSE;
  }
  c->frame->bind();
  g_current = handle;
  g_currentDc = dc;
  return TRUE;
}

HGLRC wglGetCurrentContext() { return g_current; }
HDC wglGetCurrentDC() { return g_currentDc; }

BOOL SwapBuffers(HDC dc) {
  if (!platform::core::WindowCallAllowed("SwapBuffers")) return FALSE;
  GlContext* c = ContextOf(g_current);
  if (!c || WindowOfDc(dc) != c->window) return FALSE;
  c->context->functions()->glFinish();
  ShowFrame(*c);
  return TRUE;
}
