// Fonts from LOGFONTW, and the metrics every DC's text layout measures with.
//
// Faces: the original system's interface faces are substituted by the pinned
// DejaVu faces (sans, mono, serif); any other face is used when installed and
// otherwise falls back to DejaVu Sans. Heights: a negative lfHeight is the
// character (em) height in pixels, a positive one the cell height (ascent
// plus descent). No hinting and no kerning: as on the original system, a
// text's advance is the sum of its characters' advances, so widths are
// measured from a per-font table of advances (in 1/64 pixel) that the
// painter's glyph positions agree with.

#include "platform/qt/QtBackend.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QHash>

#include <array>
#include <mutex>
#include <unordered_map>

namespace platform::qt {
namespace {

QString SubstituteFamily(const QString& face) {
  static const QHash<QString, QString> table = {
      {"ms shell dlg", "DejaVu Sans"},     {"ms shell dlg 2", "DejaVu Sans"}, {"ms sans serif", "DejaVu Sans"},
      {"microsoft sans serif", "DejaVu Sans"}, {"tahoma", "DejaVu Sans"},     {"arial", "DejaVu Sans"},
      {"segoe ui", "DejaVu Sans"},         {"verdana", "DejaVu Sans"},        {"system", "DejaVu Sans"},
      {"ms ui gothic", "DejaVu Sans"},     {"sans serif", "DejaVu Sans"},     {"sans-serif", "DejaVu Sans"},
      {"courier new", "DejaVu Sans Mono"}, {"courier", "DejaVu Sans Mono"},   {"consolas", "DejaVu Sans Mono"},
      {"lucida console", "DejaVu Sans Mono"}, {"monospace", "DejaVu Sans Mono"},
      {"times new roman", "DejaVu Serif"}, {"georgia", "DejaVu Serif"},      {"serif", "DejaVu Serif"},
  };
  const QString key = face.trimmed().toLower();
  if (key.isEmpty()) return QStringLiteral("DejaVu Sans");
  if (auto it = table.find(key); it != table.end()) return *it;
  if (QFontDatabase::hasFamily(face)) return face;
  return QStringLiteral("DejaVu Sans");
}

QFont MakeFont(const LOGFONTW& lf) {
  std::size_t n = 0;
  while (n < LF_FACESIZE && lf.lfFaceName[n]) ++n;
  QFont font(SubstituteFamily(QString::fromUtf16(lf.lfFaceName, static_cast<qsizetype>(n))));
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setKerning(false);
  font.setWeight(static_cast<QFont::Weight>(std::clamp<LONG>(lf.lfWeight == 0 ? FW_NORMAL : lf.lfWeight, 1, 1000)));
  font.setItalic(lf.lfItalic != 0);
  font.setUnderline(lf.lfUnderline != 0);
  font.setStrikeOut(lf.lfStrikeOut != 0);
  if (lf.lfQuality == NONANTIALIASED_QUALITY) font.setStyleStrategy(QFont::NoAntialias);
  const LONG height = lf.lfHeight == 0 ? -11 : lf.lfHeight;
  if (height < 0) {
    font.setPixelSize(static_cast<int>(std::clamp<std::int64_t>(-std::int64_t{height}, 1, 4096)));
  } else {
    // The em size whose ascent plus descent is the asked cell height.
    font.setPixelSize(100);
    const QFontMetricsF m(font);
    const double cell = m.ascent() + m.descent();
    const double em = std::min<LONG>(height, 4096) * 100.0 / (cell > 0 ? cell : 100.0);
    font.setPixelSize(std::clamp(static_cast<int>(std::lround(em)), 1, 4096));
  }
  return font;
}

struct FontEntry {
  explicit FontEntry(const LOGFONTW& lf) : font(MakeFont(lf)), metrics(font) {
    latin.fill(-1);
    const QFontMetrics m(font);
    tm.tmAscent = m.ascent();
    tm.tmDescent = m.descent();
    tm.tmHeight = m.ascent() + m.descent();
    tm.tmInternalLeading = std::max(0, tm.tmHeight - font.pixelSize());
    tm.tmExternalLeading = std::max(0, m.leading());
    tm.tmAveCharWidth = m.averageCharWidth();
    tm.tmMaxCharWidth = m.maxWidth();
    tm.tmWeight = lf.lfWeight == 0 ? FW_NORMAL : lf.lfWeight;
    face = QFontInfo(font).family().toStdU16String();
  }

  // The advance of one character (a code point) in 1/64 pixel.
  std::int64_t Advance(char32_t c) {
    if (c < latin.size() && latin[c] >= 0) return latin[c];
    if (c >= latin.size()) {
      if (auto it = others.find(c); it != others.end()) return it->second;
    }
    const char32_t units[1] = {c};
    const std::int32_t advance =
        static_cast<std::int32_t>(std::lround(metrics.horizontalAdvance(QString::fromUcs4(units, 1)) * 64.0));
    if (c < latin.size()) {
      latin[c] = advance;
    } else if (others.size() < 65536) {
      others.emplace(c, advance);
    }
    return advance;
  }

  QFont font;
  QFontMetricsF metrics;
  TEXTMETRICW tm;
  std::u16string face;
  std::array<std::int32_t, 256> latin;
  std::unordered_map<char32_t, std::int32_t> others;
};

// Fonts by their LOGFONTW bytes. DCs draw on any thread, so the table and
// each entry's advance table are guarded; at most 512 fonts are kept.
std::mutex g_fontMutex;
std::unordered_map<std::string, std::shared_ptr<FontEntry>>& Fonts() {
  static auto* fonts = new std::unordered_map<std::string, std::shared_ptr<FontEntry>>;
  return *fonts;
}

std::shared_ptr<FontEntry> EntryFor(const LOGFONTW& lf) {
  LOGFONTW key = lf;
  key.lfEscapement = 0; // the same face and size, whichever way it runs
  key.lfOrientation = 0;
  const std::string bytes(reinterpret_cast<const char*>(&key), sizeof key);
  std::lock_guard lock(g_fontMutex);
  auto& fonts = Fonts();
  if (auto it = fonts.find(bytes); it != fonts.end()) return it->second;
  if (fonts.size() >= 512) fonts.clear();
  return fonts.emplace(bytes, std::make_shared<FontEntry>(key)).first->second;
}

} // namespace

QFont FontFor(const LOGFONTW& font) { return EntryFor(font)->font; }

TEXTMETRICW QtHost::GetTextMetrics(const LOGFONTW& font) { return EntryFor(font)->tm; }

int QtHost::GetTextWidth(const LOGFONTW& font, std::u16string_view text) {
  const std::shared_ptr<FontEntry> entry = EntryFor(font);
  std::int64_t sum = 0;
  std::lock_guard lock(g_fontMutex);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    sum += entry->Advance(c);
  }
  return static_cast<int>(std::min<std::int64_t>((sum + 32) / 64, 1 << 30));
}

std::u16string QtHost::GetFontFace(const LOGFONTW& font) { return EntryFor(font)->face; }

} // namespace platform::qt
