// DrawText's layout rules, as the original system has them: "&" marks the
// next character as a prefix (underlined) and "&&" stands for "&"; without
// DT_SINGLELINE a line feed (CR LF, LF or CR) starts a line; DT_WORDBREAK
// breaks lines at spaces so that they fit the rectangle's width (a word
// wider than the rectangle stays whole); an ellipsis cuts a line that does
// not fit; DT_VCENTER and DT_BOTTOM place a single line; DT_CALCRECT keeps
// the left and top and makes the rectangle bound the text.

#include "platform/core/TextLayout.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace platform::core {
namespace {

constexpr std::u16string_view kEllipsis = u"...";

int Clamp32(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// A line's text with the indexes of its underlined characters.
struct Marked {
  std::u16string text;
  std::vector<std::size_t> underlined;
};

Marked ResolvePrefixes(std::u16string_view in, UINT format) {
  Marked m;
  m.text.reserve(in.size());
  const bool prefixes = !(format & DT_NOPREFIX);
  for (std::size_t i = 0; i < in.size(); ++i) {
    const char16_t c = in[i];
    // A "&" before a line break or at the end marks nothing and stays.
    if (prefixes && c == u'&' && i + 1 < in.size() && in[i + 1] != u'\n' && in[i + 1] != u'\r') {
      ++i;
      if (in[i] != u'&') m.underlined.push_back(m.text.size());
      m.text.push_back(in[i]);
      continue;
    }
    m.text.push_back(c);
  }
  return m;
}

struct Segment {
  std::size_t begin;
  std::size_t end;
};

std::vector<Segment> Paragraphs(const std::u16string& text, UINT format) {
  if (format & DT_SINGLELINE) return {{0, text.size()}};
  std::vector<Segment> out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'\n' && text[i] != u'\r') continue;
    out.push_back({start, i});
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  out.push_back({start, text.size()});
  return out;
}

// Greedy breaking at spaces: a line takes words while they fit; the first
// word of a line always goes on it; the spaces at a break are dropped.
void BreakWords(const std::u16string& text, Segment paragraph, std::int64_t maxWidth, const ITextMeasure& measure,
                std::vector<Segment>& out) {
  const std::u16string_view all(text);
  std::size_t start = paragraph.begin;
  const std::size_t end = paragraph.end;
  const std::size_t before = out.size();
  for (;;) {
    std::size_t lineEnd = start;
    bool first = true;
    for (std::size_t i = start; i < end;) {
      std::size_t j = i;
      while (j < end && text[j] == u' ') ++j;
      if (j == end) break; // only spaces left
      while (j < end && text[j] != u' ') ++j;
      if (!first && measure.Width(all.substr(start, j - start)) > maxWidth) break;
      lineEnd = j;
      first = false;
      i = j;
    }
    if (first) {
      // Nothing but spaces: an empty paragraph still makes its one line.
      if (out.size() == before) out.push_back({start, start});
      return;
    }
    out.push_back({start, lineEnd});
    std::size_t next = lineEnd;
    while (next < end && text[next] == u' ') ++next;
    if (next >= end) return;
    start = next;
  }
}

// The largest k (0 when none) for which make(k) fits maxWidth; make(k) grows with k.
template <class Make>
std::size_t LongestFitting(std::size_t limit, std::int64_t maxWidth, const ITextMeasure& measure, Make&& make) {
  std::size_t lo = 0, hi = limit; // answer in [lo, hi]
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo + 1) / 2;
    if (measure.Width(make(mid)) <= maxWidth) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  return lo;
}

// Never cut between the halves of a surrogate pair.
std::size_t NotInsidePair(const std::u16string& s, std::size_t k) {
  return k > 0 && k < s.size() && IsLowSurrogate(s[k]) ? k - 1 : k;
}

// Cuts the end of a line that is too wide and puts "..." there.
bool CutEnd(Marked& line, std::int64_t maxWidth, const ITextMeasure& measure) {
  if (measure.Width(line.text) <= maxWidth) return false;
  std::u16string probe;
  std::size_t k = LongestFitting(line.text.size() - 1, maxWidth, measure, [&](std::size_t n) -> std::u16string_view {
    probe.assign(line.text, 0, n);
    probe += kEllipsis;
    return probe;
  });
  k = NotInsidePair(line.text, k);
  line.text.resize(k);
  line.text += kEllipsis;
  std::erase_if(line.underlined, [k](std::size_t u) { return u >= k; });
  return true;
}

// Cuts the middle of a path that is too wide: the part from its last
// separator on (the file name) stays, "..." replaces the end of the rest.
bool CutPath(Marked& line, std::int64_t maxWidth, const ITextMeasure& measure) {
  if (measure.Width(line.text) <= maxWidth) return false;
  const std::size_t sep = line.text.find_last_of(u"/\\");
  if (sep == std::u16string::npos || sep == 0) return CutEnd(line, maxWidth, measure);
  const std::u16string tail = line.text.substr(sep);
  std::u16string probe;
  std::size_t k = LongestFitting(sep, maxWidth, measure, [&](std::size_t n) -> std::u16string_view {
    probe.assign(line.text, 0, n);
    probe += kEllipsis;
    probe += tail;
    return probe;
  });
  k = NotInsidePair(line.text, k);
  const std::size_t shift = k + kEllipsis.size();
  std::vector<std::size_t> kept;
  for (std::size_t u : line.underlined) {
    if (u < k) kept.push_back(u);
    if (u >= sep) kept.push_back(u - sep + shift);
  }
  line.underlined = std::move(kept);
  line.text.resize(k);
  line.text += kEllipsis;
  line.text += tail;
  return true;
}

} // namespace

TextLayout LayOutText(std::u16string_view input, const RECT& rect, UINT format, const ITextMeasure& measure) {
  TextLayout layout;
  const Marked marked = ResolvePrefixes(input, format);
  const std::int64_t boxWidth = std::max<std::int64_t>(0, std::int64_t{rect.right} - rect.left);

  // Lines as parts of the marked text.
  std::vector<Segment> segments;
  for (const Segment& paragraph : Paragraphs(marked.text, format)) {
    if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) {
      BreakWords(marked.text, paragraph, boxWidth, measure, segments);
    } else {
      segments.push_back(paragraph);
    }
  }

  const UINT ellipsis = format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS);
  bool cut = false;
  std::vector<Marked> lines;
  lines.reserve(segments.size());
  for (const Segment& s : segments) {
    Marked line;
    line.text = marked.text.substr(s.begin, s.end - s.begin);
    for (std::size_t u : marked.underlined) {
      if (u >= s.begin && u < s.end) line.underlined.push_back(u - s.begin);
    }
    if (ellipsis & DT_PATH_ELLIPSIS) {
      cut = CutPath(line, boxWidth, measure) || cut;
    } else if (ellipsis) {
      cut = CutEnd(line, boxWidth, measure) || cut;
    }
    lines.push_back(std::move(line));
  }

  const int lineHeight = measure.Height() + ((format & DT_EXTERNALLEADING) ? measure.ExternalLeading() : 0);
  const bool single = lines.size() == 1 && (format & DT_SINGLELINE);
  std::int64_t top = rect.top;
  if (single && (format & DT_VCENTER)) {
    top = rect.top + (std::int64_t{rect.bottom} - rect.top - lineHeight) / 2;
  } else if (single && (format & DT_BOTTOM)) {
    top = std::int64_t{rect.bottom} - lineHeight;
  }
  std::int64_t widest = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    Marked& m = lines[i];
    const std::int64_t w = measure.Width(m.text);
    widest = std::max(widest, w);
    std::int64_t left = rect.left;
    if (format & DT_CENTER) {
      left = rect.left + (std::int64_t{rect.right} - rect.left - w) / 2;
    } else if (format & DT_RIGHT) {
      left = std::int64_t{rect.right} - w;
    }
    const std::int64_t y = top + std::int64_t{lineHeight} * static_cast<std::int64_t>(i);
    LaidOutLine out;
    out.cell = {Clamp32(left), Clamp32(y), Clamp32(left + w), Clamp32(y + lineHeight)};
    for (std::size_t u : m.underlined) {
      const std::u16string_view text(m.text);
      out.underlines.emplace_back(measure.Width(text.substr(0, u)), measure.Width(text.substr(0, u + 1)));
    }
    out.text = std::move(m.text);
    layout.lines.push_back(std::move(out));
  }

  const std::int64_t height = std::int64_t{lineHeight} * static_cast<std::int64_t>(layout.lines.size());
  layout.result = Clamp32(single && (format & (DT_VCENTER | DT_BOTTOM)) ? top + lineHeight - rect.top : height);
  layout.calcRect = {rect.left, rect.top, Clamp32(rect.left + widest), Clamp32(rect.top + height)};
  if ((format & DT_MODIFYSTRING) && cut && layout.lines.size() == 1) {
    layout.modified = true;
    layout.modifiedText = layout.lines.front().text;
  }
  return layout;
}

} // namespace platform::core
