#pragma once
// The framework's device-context and drawing-object classes: thin owners of
// the GDI handles of WinGdi.h. Qt-free.

#include "platform/afx/AfxTypes.h"
#include "platform/win/WinGdi.h"
#include "platform/win/WinPrint.h"

#include <string>

class CWnd;

class CGdiObject {
public:
  CGdiObject() = default;
  virtual ~CGdiObject() { DeleteObject(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;
  BOOL Attach(HGDIOBJ object);
  HGDIOBJ Detach();
  BOOL DeleteObject();
  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  HGDIOBJ m_hObject = nullptr;
};

class CBrush : public CGdiObject {
public:
  CBrush() = default;
  explicit CBrush(COLORREF colour) { CreateSolidBrush(colour); }
  BOOL CreateSolidBrush(COLORREF colour);
  operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};

class CPen : public CGdiObject {
public:
  CPen() = default;
  CPen(int style, int width, COLORREF colour) { CreatePen(style, width, colour); }
  BOOL CreatePen(int style, int width, COLORREF colour);
  operator HPEN() const { return static_cast<HPEN>(m_hObject); }
};

class CFont : public CGdiObject {
public:
  BOOL CreateFontIndirect(const LOGFONTW* font);
  int GetLogFont(LOGFONTW* font) const;
  operator HFONT() const { return static_cast<HFONT>(m_hObject); }
};

class CBitmap : public CGdiObject {
public:
  BOOL LoadBitmap(UINT resourceId);
  BOOL CreateCompatibleBitmap(class CDC* dc, int width, int height);
  int GetBitmap(BITMAP* info) const;
  operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};

// A region (WinGdiRegion.h) owned by the object.
class CRgn : public CGdiObject {
public:
  BOOL CreateRectRgn(int left, int top, int right, int bottom) {
    return Attach(::CreateRectRgn(left, top, right, bottom));
  }
  BOOL CreateRectRgnIndirect(LPCRECT rect) { return Attach(::CreateRectRgnIndirect(rect)); }
  BOOL CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
    return Attach(::CreateRoundRectRgn(left, top, right, bottom, ellipseWidth, ellipseHeight));
  }
  // This region becomes a op b (it must exist already, as in the framework).
  int CombineRgn(const CRgn* a, const CRgn* b, int mode) {
    return ::CombineRgn(*this, a ? static_cast<HRGN>(*a) : nullptr, b ? static_cast<HRGN>(*b) : nullptr, mode);
  }
  int CopyRgn(const CRgn* source) { return CombineRgn(source, nullptr, RGN_COPY); }
  int OffsetRgn(int dx, int dy) { return ::OffsetRgn(*this, dx, dy); }
  int GetRgnBox(LPRECT box) const { return ::GetRgnBox(*this, box); }
  BOOL PtInRegion(int x, int y) const { return ::PtInRegion(*this, x, y); }
  BOOL PtInRegion(POINT p) const { return PtInRegion(p.x, p.y); }
  BOOL EqualRgn(const CRgn* other) const { return other ? ::EqualRgn(*this, *other) : FALSE; }
  void SetRectRgn(int left, int top, int right, int bottom) { ::SetRectRgn(*this, left, top, right, bottom); }
  operator HRGN() const { return static_cast<HRGN>(m_hObject); }
};

class CDC {
public:
  CDC() = default;
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;
  // A wrapper that does not own the handle; valid until the handle is gone.
  static CDC* FromHandle(HDC dc);
  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }
  BOOL Attach(HDC dc);
  HDC Detach();
  BOOL CreateCompatibleDC(CDC* dc);
  BOOL DeleteDC();

  HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
  CGdiObject* SelectStockObject(int index);
  CBrush* SelectObject(CBrush* brush);
  CPen* SelectObject(CPen* pen);
  CFont* SelectObject(CFont* font);
  CBitmap* SelectObject(CBitmap* bitmap);
  int SaveDC() { return ::SaveDC(m_hDC); }
  BOOL RestoreDC(int state) { return ::RestoreDC(m_hDC, state); }
  int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
  COLORREF SetBkColor(COLORREF colour) { return ::SetBkColor(m_hDC, colour); }
  COLORREF SetTextColor(COLORREF colour) { return ::SetTextColor(m_hDC, colour); }
  int SetStretchBltMode(int mode) { return ::SetStretchBltMode(m_hDC, mode); }
  int SetMapMode(int mode) { return ::SetMapMode(m_hDC, mode); }
  CPoint SetViewportOrg(int x, int y);
  CPoint GetViewportOrg() const;
  int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }
  int GetClipBox(LPRECT rect) const { return ::GetClipBox(m_hDC, rect); }

  void FillRect(LPCRECT rect, CBrush* brush) { ::FillRect(m_hDC, rect, *brush); }
  void FillSolidRect(LPCRECT rect, COLORREF colour);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF colour);
  void FrameRect(LPCRECT rect, CBrush* brush) { ::FrameRect(m_hDC, rect, *brush); }
  // One-pixel edges: top and left in the first colour, bottom and right in the second.
  void Draw3dRect(LPCRECT rect, COLORREF topLeft, COLORREF bottomRight);
  void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
  CPoint MoveTo(int x, int y);
  CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
  BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
  BOOL LineTo(POINT p) { return LineTo(p.x, p.y); }
  BOOL Rectangle(LPCRECT r) { return ::Rectangle(m_hDC, r->left, r->top, r->right, r->bottom); }
  BOOL BitBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, DWORD rop) {
    return ::BitBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sx, sy, rop);
  }
  BOOL StretchBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, int sw, int sh, DWORD rop) {
    return ::StretchBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sx, sy, sw, sh, rop);
  }
  int DrawText(LPCWSTR text, int count, LPRECT rect, UINT format) {
    return ::DrawTextW(m_hDC, text, count, rect, format);
  }
  int DrawText(const std::u16string& text, LPRECT rect, UINT format) {
    return ::DrawTextW(m_hDC, text.c_str(), static_cast<int>(text.size()), rect, format);
  }
  BOOL GetTextMetrics(TEXTMETRICW* metrics) const { return ::GetTextMetricsW(m_hDC, metrics); }
  CSize GetTextExtent(const std::u16string& text) const;
  BOOL DrawIcon(int x, int y, HICON icon, int cx, int cy) {
    return ::DrawIconEx(m_hDC, x, y, icon, cx, cy, 0, nullptr, DI_NORMAL);
  }

  // Printing (on a printer DC).
  int StartDoc(LPDOCINFO info);
  int StartDoc(LPCWSTR documentName);
  int StartPage();
  int EndPage();
  int EndDoc();
  int AbortDoc();
  BOOL IsPrinting() const { return m_bPrinting; }

  // State read back.
  int GetBkMode() const { return ::GetBkMode(m_hDC); }
  COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
  COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }
  UINT SetTextAlign(UINT align) { return ::SetTextAlign(m_hDC, align); }
  UINT GetTextAlign() const { return ::GetTextAlign(m_hDC); }
  int SetICMMode(int mode) { return ::SetICMMode(m_hDC, mode); }
  CFont* GetCurrentFont() const;
  CPen* GetCurrentPen() const;
  CBrush* GetCurrentBrush() const;

  // Regions and clipping.
  BOOL FillRgn(CRgn* region, CBrush* brush) { return region && brush ? ::FillRgn(m_hDC, *region, *brush) : FALSE; }
  BOOL FrameRgn(CRgn* region, CBrush* brush, int width, int height) {
    return region && brush ? ::FrameRgn(m_hDC, *region, *brush, width, height) : FALSE;
  }
  BOOL PaintRgn(CRgn* region) { return region ? ::PaintRgn(m_hDC, *region) : FALSE; }
  int SelectClipRgn(CRgn* region) { return ::SelectClipRgn(m_hDC, region ? static_cast<HRGN>(*region) : nullptr); }
  int SelectClipRgn(CRgn* region, int mode) {
    return ::ExtSelectClipRgn(m_hDC, region ? static_cast<HRGN>(*region) : nullptr, mode);
  }
  int ExcludeClipRect(int left, int top, int right, int bottom) {
    return ::ExcludeClipRect(m_hDC, left, top, right, bottom);
  }
  int ExcludeClipRect(LPCRECT r) { return ExcludeClipRect(r->left, r->top, r->right, r->bottom); }
  int IntersectClipRect(int left, int top, int right, int bottom) {
    return ::IntersectClipRect(m_hDC, left, top, right, bottom);
  }
  int IntersectClipRect(LPCRECT r) { return IntersectClipRect(r->left, r->top, r->right, r->bottom); }
  BOOL PtVisible(int x, int y) const { return ::PtVisible(m_hDC, x, y); }
  BOOL RectVisible(LPCRECT rect) const { return ::RectVisible(m_hDC, rect); }

  // More drawing.
  BOOL Rectangle(int left, int top, int right, int bottom) { return ::Rectangle(m_hDC, left, top, right, bottom); }
  BOOL Polyline(const POINT* points, int count) { return ::Polyline(m_hDC, points, count); }
  COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
  COLORREF SetPixel(int x, int y, COLORREF colour) { return ::SetPixel(m_hDC, x, y, colour); }
  BOOL DrawEdge(LPRECT rect, UINT edge, UINT flags) { return ::DrawEdge(m_hDC, rect, edge, flags); }
  BOOL AlphaBlend(int x, int y, int width, int height, CDC* source, int sx, int sy, int sw, int sh,
                  BLENDFUNCTION blend) {
    return ::AlphaBlend(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sx, sy, sw, sh, blend);
  }
  BOOL TransparentBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, int sw, int sh,
                      UINT transparent) {
    return ::TransparentBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sx, sy, sw, sh,
                            transparent);
  }
  BOOL TextOut(int x, int y, LPCWSTR text, int count) { return ::TextOutW(m_hDC, x, y, text, count); }
  BOOL TextOut(int x, int y, const std::u16string& text) {
    return TextOut(x, y, text.c_str(), static_cast<int>(text.size()));
  }
  BOOL ExtTextOut(int x, int y, UINT options, LPCRECT rect, const std::u16string& text, const INT* dx = nullptr) {
    return ::ExtTextOutW(m_hDC, x, y, options, rect, text.c_str(), static_cast<UINT>(text.size()), dx);
  }
  CSize GetTextExtent(LPCWSTR text, int count) const {
    SIZE size{};
    ::GetTextExtentPoint32W(m_hDC, text, count, &size);
    return size;
  }

  HDC m_hDC = nullptr;
  BOOL m_bPrinting = FALSE;

private:
  bool m_temporary = false;
};

// The DC of a window's paint: BeginPaint in the constructor, EndPaint in the destructor.
class CPaintDC : public CDC {
public:
  explicit CPaintDC(CWnd* wnd);
  ~CPaintDC() override;
  PAINTSTRUCT m_ps;

private:
  HWND m_hWnd = nullptr;
};

// A window's client DC: GetDC in the constructor, ReleaseDC in the destructor.
class CClientDC : public CDC {
public:
  explicit CClientDC(CWnd* wnd);
  ~CClientDC() override;

private:
  HWND m_hWnd = nullptr;
};
