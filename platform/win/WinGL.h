#pragma once
// OpenGL contexts of windows under the window system's names (WGL). Qt-free.
// A window's client DC takes a pixel format, then a context; the context
// draws into a frame buffer of the window's client size (made again when the
// size changes) and SwapBuffers copies the finished frame into the window's
// retained surface, so GDI drawing after the swap lies on top of it. The
// context exists as soon as it is made (in WM_CREATE, before the window
// shows) and is current only between wglMakeCurrent(dc, context) and
// wglMakeCurrent(nullptr, nullptr). OpenGL itself (and GLU) are called
// directly; without OpenGL, wglCreateContext answers null. GUI thread only.

#include "platform/win/WinGdi.h"

struct PIXELFORMATDESCRIPTOR {
  WORD nSize = sizeof(PIXELFORMATDESCRIPTOR);
  WORD nVersion = 1;
  DWORD dwFlags = 0;
  BYTE iPixelType = 0;
  BYTE cColorBits = 0;
  BYTE cRedBits = 0;
  BYTE cRedShift = 0;
  BYTE cGreenBits = 0;
  BYTE cGreenShift = 0;
  BYTE cBlueBits = 0;
  BYTE cBlueShift = 0;
  BYTE cAlphaBits = 0;
  BYTE cAlphaShift = 0;
  BYTE cAccumBits = 0;
  BYTE cAccumRedBits = 0;
  BYTE cAccumGreenBits = 0;
  BYTE cAccumBlueBits = 0;
  BYTE cAccumAlphaBits = 0;
  BYTE cDepthBits = 0;
  BYTE cStencilBits = 0;
  BYTE cAuxBuffers = 0;
  BYTE iLayerType = 0;
  BYTE bReserved = 0;
  DWORD dwLayerMask = 0;
  DWORD dwVisibleMask = 0;
  DWORD dwDamageMask = 0;
};
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40);
using LPPIXELFORMATDESCRIPTOR = PIXELFORMATDESCRIPTOR*;

constexpr DWORD PFD_DOUBLEBUFFER = 0x00000001;
constexpr DWORD PFD_DRAW_TO_WINDOW = 0x00000004;
constexpr DWORD PFD_SUPPORT_OPENGL = 0x00000020;
constexpr BYTE PFD_TYPE_RGBA = 0;
constexpr BYTE PFD_MAIN_PLANE = 0;

struct HGLRC__;
using HGLRC = HGLRC__*;

// 1 (the one format: RGBA, 24 colour and 24 depth bits) for a window DC and
// a descriptor that asks for OpenGL in RGBA; 0 otherwise.
int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* descriptor);
// A window takes one pixel format for its life.
BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* descriptor);
HGLRC wglCreateContext(HDC dc);
// Frees the context with its textures and frame buffer.
BOOL wglDeleteContext(HGLRC context);
// Makes the context current on the window of dc (its own window's DC);
// null for both releases the current one.
BOOL wglMakeCurrent(HDC dc, HGLRC context);
HGLRC wglGetCurrentContext();
HDC wglGetCurrentDC();
// Finishes the frame of the context current on dc's window and shows it in
// the window's surface.
BOOL SwapBuffers(HDC dc);
