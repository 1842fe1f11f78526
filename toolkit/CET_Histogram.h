#pragma once
// The tones of a picture counted in four channels (luminance, red, green,
// blue) and drawn as column graphs into a rectangle of a DC, with optional
// marker lines, coloured clipped ends, a gradient, a background and a frame.
// It holds no window: its owner sets it up, fills it and draws it when it
// paints.

#include "platform/win/WinTypes.h"

#include <memory>

class CDC;
class CRect;
class CET_Dib;

class CET_Histogram {
public:
  CET_Histogram() = default;
  virtual ~CET_Histogram() = default;
  CET_Histogram(const CET_Histogram&) = delete;
  CET_Histogram& operator=(const CET_Histogram&) = delete;

  // Drawing into rect, which starts at the DC's origin: its width and height
  // are the coordinates the lines use.
  virtual void Draw(CDC* dc, CRect rect);
  virtual void DrawChannel(CDC* dc, CRect rect, int channel);

  // Frees the counts, then stores the settings.
  void Setup(unsigned bins, int scaleToMaximum, BOOL frame, BOOL fill, BOOL gradient, COLORREF background,
             COLORREF frameColour);
  void SetChannelColor(int index, COLORREF colour);
  void SetMarkers(int position1, int position2, COLORREF colour1, COLORREF colour2, BOOL colourClippedEnds);
  void SetStyle(int markersShown) { m_markersShown = markersShown; }
  void SetGain(double gain) { m_gain = gain; }
  // Counts every step-th pixel (step at least 1) of a 24- or 32-bit picture;
  // any other picture, or one without pixels, leaves the histogram empty.
  void Count(const CET_Dib* picture, int step);

  // The counts of a channel (0 luminance, 1 red, 2 green, 3 blue); null when
  // nothing was counted.
  const unsigned* Counts(int channel) const;
  unsigned Maximum(int channel) const { return channel >= 0 && channel < 4 ? m_maxima[channel] : 0; }
  unsigned Sampled() const { return m_sampled; }
  unsigned Bins() const { return m_bins; }
  // The marker positions (0 the first, 1 the second) and whether they show.
  int Marker(int index) const { return index == 0 || index == 1 ? m_markers[index] : 0; }
  void SetMarker(int index, int position) {
    if (index == 0 || index == 1) m_markers[index] = position;
  }
  int MarkersShown() const { return m_markersShown; }

private:
  void FreeCounts();
  // Horizontal and vertical margins.
  int HorizontalMargin() const;
  int VerticalMargin() const;
  // Bins per column for a width.
  double ColumnStep(int width) const;

  unsigned m_bins = 256;
  std::unique_ptr<unsigned[]> m_counts[4];
  unsigned m_maxima[4] = {};
  unsigned m_sampled = 0;
  int m_scaleToMaximum = 0;
  BOOL m_fill = TRUE;
  COLORREF m_background = 0;
  COLORREF m_channelColours[4] = {};
  COLORREF m_frameColour = 0;
  int m_markersShown = 0;
  int m_markers[2] = {};
  COLORREF m_markerColours[2] = {};
  BOOL m_frame = TRUE;
  BOOL m_gradient = FALSE;
  double m_gain = 1.0;
  BOOL m_colourClippedEnds = FALSE;
};
