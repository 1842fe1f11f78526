// OpenGL windows on an X server with Mesa (xvfb-run): the context exists in
// WM_CREATE before the window shows, the cleared frame and a textured quad
// read back into the window's surface, GDI drawn after the swap lies on
// top, the frame buffer follows a resize, and the calls refuse what does
// not belong together.

#include "GlTestWindow.h"
#include "platform/testing/Display.h"

#include <gtest/gtest.h>

namespace pt = platform::testing;

namespace {

class PlatformGl : public ::testing::Test {
protected:
  void SetUp() override {
    if (const std::string why = pt::StartOnDisplay(true); !why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(top.CreateEx(0, u"Top", u"GL", WS_POPUP, RECT{100, 100, 500, 400}, nullptr, 0));
    ASSERT_TRUE(gl.CreateIn(&top, RECT{0, 0, 200, 200}));
  }
  CWnd top;
  GlTestWindow gl;
};

TEST_F(PlatformGl, TheFrameAndATexturedQuadShowWithGdiOnTop) {
  EXPECT_TRUE(gl.contextAtCreate) << "made in WM_CREATE";
  EXPECT_FALSE(gl.visibleAtCreate) << "before the window shows";
  gl.ShowWindow(SW_SHOW);
  top.ShowWindow(SW_SHOW);
  pt::Pump();
  ASSERT_GE(gl.paints, 1);
  EXPECT_EQ(wglGetCurrentContext(), nullptr) << "no context stays current between messages";

  const pt::PixelImage shot = pt::GrabClient(gl);
  pt::SavePng(shot, "gl-frame.png");
  const COLORREF clear = RGB(51, 102, 153);
  EXPECT_EQ(pt::PixelAt(shot, 5, 5), clear);
  EXPECT_EQ(pt::PixelAt(shot, 190, 190), clear);
  // GL's rows run upwards: the texture's bottom row lies at the window's lower half of the quad.
  EXPECT_EQ(pt::PixelAt(shot, 75, 125), RGB(255, 0, 0));
  EXPECT_EQ(pt::PixelAt(shot, 125, 125), RGB(0, 255, 0));
  EXPECT_EQ(pt::PixelAt(shot, 75, 75), RGB(0, 0, 255));
  EXPECT_EQ(pt::PixelAt(shot, 125, 75), RGB(255, 255, 255));
  EXPECT_EQ(pt::PixelAt(shot, 49, 75), clear);
  EXPECT_EQ(pt::PixelAt(shot, 50, 75), RGB(0, 0, 255));
  EXPECT_EQ(pt::PixelAt(shot, 20, 20), RGB(0, 0, 0)) << "GDI after the swap lies on top";
  EXPECT_EQ(pt::PixelAt(shot, 30, 20), clear);

  // A larger window gets a larger frame buffer: the whole client is the frame.
  gl.MoveWindow(0, 0, 300, 220);
  gl.Invalidate();
  pt::Pump();
  const pt::PixelImage wider = pt::GrabClient(gl);
  EXPECT_EQ(pt::PixelAt(wider, 290, 210), clear);
  EXPECT_EQ(pt::PixelAt(wider, 75, 145), RGB(255, 0, 0)) << "the quad keeps its place from the bottom";
}

TEST_F(PlatformGl, CallsOnTheWrongWindowOrWithoutAContextFail) {
  ASSERT_NE(gl.context, nullptr);
  CClientDC other(&top);
  EXPECT_FALSE(wglMakeCurrent(other, gl.context)) << "a context draws on its own window only";
  EXPECT_FALSE(SwapBuffers(other));
  PIXELFORMATDESCRIPTOR pfd;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW; // no OpenGL asked for
  EXPECT_EQ(ChoosePixelFormat(other, &pfd), 0);
  EXPECT_EQ(wglCreateContext(other), nullptr) << "no pixel format set";
  CDC memory;
  memory.CreateCompatibleDC(nullptr);
  pfd.dwFlags = PFD_SUPPORT_OPENGL;
  EXPECT_EQ(ChoosePixelFormat(memory, &pfd), 0);

  const HGLRC context = gl.context;
  gl.DestroyWindow();
  EXPECT_FALSE(wglDeleteContext(context)) << "gone with its window";
  EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
}

} // namespace
