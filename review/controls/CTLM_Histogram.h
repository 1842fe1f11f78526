#pragma once
// The histogram panel's graph: the channel counts of a picture turned into
// five ready-made views (all channels, luminance, red, green, blue) on a
// compressive vertical scale, and the selected view copied into a window with
// translucent shading at the shadow and highlight markers.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"
#include "toolkit/CET_Histogram.h"

#include <array>

class CET_Dib;

// The column of a bin in a view width columns wide (bin 1 on column 1, bin
// 255 on the last, bin 0 on column 0), held within the view.
int HistogramColumn(int bin, int width);
// The compression of a share t (a count over the total): 0 -> 0, 1 -> 1,
// 0.01 -> about 0.5.
double HistogramCurve(double t);
// A curve stroke's top and bottom rows in a view h rows high.
int HistogramLineTop(double t, int h);
int HistogramLineBottom(double t, int h);

class CTLM_Histogram : public CET_Histogram {
public:
  enum View { kAll = 0, kLuminance = 1, kRed = 2, kGreen = 3, kBlue = 4, kViewCount = 5 };

  CTLM_Histogram() = default;
  ~CTLM_Histogram() override;

  // Counts every step-th pixel of the picture, then renders the views.
  void Build(const CET_Dib* picture, int step, CDC* dc, int width, int height);
  // Renders the five views at width x height from the counts.
  void Prepare(CDC* dc, int width, int height);
  // Paints the selected view and the marker shading into rect (the DC's
  // pixels around it, one pixel wide, stay as they are).
  void Draw(CDC* dc, CRect rect) override;
  void DrawChannel(CDC*, CRect, int) override {}

  int GetView() const { return m_view; }
  void SetView(int view) { m_view = view; }
  BYTE GetShadowMarker() const { return static_cast<BYTE>(Marker(0)); }
  void SetShadowMarker(BYTE position) { SetMarker(0, position); }
  BYTE GetHighlightMarker() const { return static_cast<BYTE>(Marker(1)); }
  void SetHighlightMarker(BYTE position) { SetMarker(1, position); }

  // A prepared view (null until prepared) and the views' size.
  HBITMAP GetViewBitmap(int view) const { return view >= 0 && view < kViewCount ? m_views[view] : nullptr; }
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }

  // The views' colours by index: 1 red + 2 green + 4 blue + 8 luminance.
  static const std::array<COLORREF, 16> kColours;

private:
  void DeleteViews();
  void ShadeMarkers(CDC* target) const;

  int m_view = kAll;
  int m_width = 0;
  int m_height = 0;
  std::array<HBITMAP, kViewCount> m_views{};
};
