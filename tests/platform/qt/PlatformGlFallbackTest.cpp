// Without OpenGL (the offscreen platform and no X display), an OpenGL
// window is still made: it has no context and its paints draw nothing.

#include "GlTestWindow.h"
#include "platform/testing/Headless.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace pt = platform::testing;

TEST(PlatformGlFallback, WithoutOpenGlTheWindowExistsAndDrawsNothing) {
  ::unsetenv("DISPLAY");
  pt::Init();
  CWnd top;
  ASSERT_TRUE(top.CreateEx(0, u"Top", u"GL", WS_POPUP | WS_VISIBLE, RECT{0, 0, 300, 300}, nullptr, 0));
  GlTestWindow gl;
  ASSERT_TRUE(gl.CreateIn(&top, RECT{0, 0, 200, 200}));
  EXPECT_FALSE(gl.contextAtCreate);
  EXPECT_EQ(gl.context, nullptr);
  gl.ShowWindow(SW_SHOW);
  pt::Pump();
  EXPECT_GE(gl.paints, 1);
  const pt::PixelImage shot = pt::GrabClient(gl);
  EXPECT_EQ(pt::PixelAt(shot, 75, 75), pt::PixelAt(shot, 5, 5)) << "no frame drawn";
  EXPECT_EQ(pt::PixelAt(shot, 20, 20), pt::PixelAt(shot, 5, 5));
}
