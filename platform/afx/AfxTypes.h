#pragma once
// The framework's value classes over the window system's POINT, SIZE and
// RECT. Qt-free. Rectangles keep exclusive right and bottom edges.

#include "platform/win/WinUser.h"

class CPoint : public POINT {
public:
  CPoint() = default;
  CPoint(int x0, int y0) { x = x0; y = y0; }
  CPoint(POINT p) : POINT(p) {}
  // A point packed into a message's lParam (signed 16-bit words).
  explicit CPoint(LPARAM lp) { x = GET_X_LPARAM(lp); y = GET_Y_LPARAM(lp); }
  void Offset(int dx, int dy) { x += dx; y += dy; }
  CPoint operator+(POINT p) const { return {x + p.x, y + p.y}; }
  CPoint operator-(POINT p) const { return {x - p.x, y - p.y}; }
};

class CSize : public SIZE {
public:
  CSize() = default;
  CSize(int w, int h) { cx = w; cy = h; }
  CSize(SIZE s) : SIZE(s) {}
};

class CRect : public RECT {
public:
  CRect() = default;
  CRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
  CRect(const RECT& r) : RECT(r) {}
  CRect(POINT topLeft, SIZE size) {
    left = topLeft.x; top = topLeft.y; right = left + size.cx; bottom = top + size.cy;
  }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  CSize Size() const { return {Width(), Height()}; }
  CPoint TopLeft() const { return {left, top}; }
  CPoint BottomRight() const { return {right, bottom}; }
  CPoint CenterPoint() const { return {(left + right) / 2, (top + bottom) / 2}; }
  BOOL IsRectEmpty() const { return right <= left || bottom <= top; }
  BOOL IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  BOOL PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  void SetRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
  void SetRectEmpty() { SetRect(0, 0, 0, 0); }
  void OffsetRect(int dx, int dy) { left += dx; right += dx; top += dy; bottom += dy; }
  void OffsetRect(POINT p) { OffsetRect(p.x, p.y); }
  void InflateRect(int dx, int dy) { left -= dx; right += dx; top -= dy; bottom += dy; }
  void InflateRect(int l, int t, int r, int b) { left -= l; top -= t; right += r; bottom += b; }
  void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
  void DeflateRect(int l, int t, int r, int b) { InflateRect(-l, -t, -r, -b); }
  BOOL IntersectRect(const RECT* a, const RECT* b) { return ::IntersectRect(this, a, b); }
  BOOL UnionRect(const RECT* a, const RECT* b) { return ::UnionRect(this, a, b); }
  BOOL EqualRect(const RECT* r) const { return ::EqualRect(this, r); }
  operator LPRECT() { return this; }
  operator LPCRECT() const { return this; }
  bool operator==(const RECT& r) const { return ::EqualRect(this, &r) != FALSE; }
  bool operator!=(const RECT& r) const { return !(*this == r); }
};
