#include "toolkit/CET_PrintDraw.h"

#include "toolkit/CET_Calc.h"
#include "toolkit/CET_PictCalc.h"
#include "toolkit/PictureFiles.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr COLORREF kMarkColour = RGB(255, 0, 0);
constexpr COLORREF kCellFrameColour = RGB(225, 225, 225);

int Truncate(double v) { return static_cast<int>(std::clamp(v, -1e9, 1e9)); }

} // namespace

// ---- CET_PrintTextData ------------------------------------------------------------

CET_PrintTextData::CET_PrintTextData() {
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof m_font, &m_font);
  m_font.lfQuality = ANTIALIASED_QUALITY;
}

void CET_PrintTextData::CopyFrom(const CET_PrintTextData* other) {
  if (!other || other == this) return;
  m_text = other->m_text;
  m_font = other->m_font;
  m_colour = other->m_colour;
  m_rect = other->m_rect;
  m_format = other->m_format;
  m_flow = other->m_flow;
}

// ---- CET_PrintPictData ------------------------------------------------------------

void CET_PrintPictData::Reset() {
  m_picture.reset();
  ClearTexts();
  m_infoLines.clear();
}

void CET_PrintPictData::ClearTexts() { m_texts.clear(); }

void CET_PrintPictData::CopyFrom(const CET_PrintPictData* other) {
  if (other == this) return;
  Reset();
  if (!other) return;
  m_cell = other->m_cell;
  if (other->m_picture) {
    m_picture = std::make_unique<CET_Dib>();
    m_picture->CopyFrom(other->m_picture.get());
  }
  m_upsideDown = other->m_upsideDown;
  m_sourceArea = other->m_sourceArea;
  std::copy(std::begin(other->m_dialogValues), std::end(other->m_dialogValues), std::begin(m_dialogValues));
  m_secondArea = other->m_secondArea;
  m_path = other->m_path;
  for (const auto& text : other->m_texts) {
    auto copy = std::make_unique<CET_PrintTextData>();
    copy->CopyFrom(text.get());
    m_texts.push_back(std::move(copy));
  }
  m_infoLines = other->m_infoLines;
}

// ---- CET_PrintDraw ----------------------------------------------------------------

void CET_PrintDraw::SetPage(const std::vector<CET_PrintPictData*>& pictures, int originX, int originY, double scale,
                            int pageValue, int scaledFonts, double fontFactor) {
  m_pictures = pictures;
  m_originX = originX;
  m_originY = originY;
  m_scale = scale;
  m_pageValue = pageValue;
  m_scaledFonts = scaledFonts;
  m_fontFactor = fontFactor;
}

void CET_PrintDraw::SetTextItems(const std::vector<CET_PrintTextData*>* texts) {
  m_texts.clear();
  if (texts) m_texts = *texts;
}

RECT CET_PrintDraw::DeviceRect(const RECT& page) const {
  RECT r = CET_Calc::ScaleRect(page.left, page.top, page.right, page.bottom, m_scale);
  OffsetRect(&r, m_originX, m_originY);
  return r;
}

int CET_PrintDraw::HitTest(int x, int y) const {
  for (std::size_t i = 0; i < m_pictures.size(); ++i) {
    if (!m_pictures[i]) continue;
    const RECT cell = DeviceRect(m_pictures[i]->m_cell);
    if (PtInRect(&cell, POINT{x, y})) return static_cast<int>(i);
  }
  return -1;
}

void CET_PrintDraw::ToggleMark(int index) {
  if (index == -1) {
    m_marks = 0;
  } else if (index >= 0 && index < 64) {
    m_marks ^= std::uint64_t{1} << index;
  }
}

void CET_PrintDraw::Frame(CDC* dc, const RECT& rect, COLORREF colour, int width) {
  CPen pen(PS_SOLID, width, colour);
  CPen* oldPen = dc->SelectObject(&pen);
  CGdiObject* oldBrush = dc->SelectStockObject(NULL_BRUSH);
  dc->Rectangle(&rect);
  if (oldBrush) dc->SelectObject(oldBrush->GetSafeHandle());
  dc->SelectObject(oldPen);
}

int CET_PrintDraw::DrawPage(CDC* dc) {
  if (!dc || m_pictures.empty()) return 0;
  const int stretchMode = dc->SetStretchBltMode(COLORONCOLOR);
  const int mapMode = dc->SetMapMode(MM_TEXT);
  const int bkMode = dc->SetBkMode(TRANSPARENT);
  for (const CET_PrintTextData* text : m_texts) DrawTextItem(dc, text, 0, 0);
  int result = 1;
  for (std::size_t i = 0; i < m_pictures.size(); ++i) {
    if (!m_pictures[i] || !DrawPictItem(dc, m_pictures[i])) {
      result = 0;
      break;
    }
    if (IsMarked(static_cast<int>(i))) Frame(dc, DeviceRect(m_pictures[i]->m_cell), kMarkColour, 3);
  }
  dc->SetBkMode(bkMode);
  dc->SetMapMode(mapMode);
  dc->SetStretchBltMode(stretchMode);
  return result;
}

void CET_PrintDraw::DrawPicture(CDC* dc, CET_PrintPictData& item, const RECT& cell, bool turn) {
  CET_Dib& picture = *item.m_picture;
  BITMAPINFOHEADER& h = picture.header->bmiHeader;
  const int width = picture.GetWidth(), height = picture.GetHeight(), bits = picture.GetBitCount();
  const bool emptySource = IsRectEmpty(&item.m_sourceArea);
  if (item.m_upsideDown) {
    BYTE* turned = CET_PictCalc::RotateDibBits180(picture.bits, width, height, bits);
    CET_Calc::DrawDibToDC(dc, picture.header, turned ? turned : picture.bits, cell, m_wholePicture != 0, turn, true);
    DeleteDibBits(turned);
  } else if (m_wholePicture || emptySource) {
    CET_Calc::DrawDibToDC(dc, picture.header, picture.bits, cell, m_wholePicture != 0, turn, true);
  } else if (turn) {
    BYTE* turned = CET_PictCalc::RotateDibBits90(picture.bits, width, height, bits);
    if (!turned) return;
    const BITMAPINFOHEADER saved = h;
    h.biWidth = std::abs(saved.biHeight);
    h.biHeight = saved.biHeight < 0 ? -saved.biWidth : saved.biWidth;
    CET_Calc::StretchDibInBands(dc, cell, picture.header, turned, item.m_sourceArea);
    h = saved;
    DeleteDibBits(turned);
  } else {
    CET_Calc::StretchDibInBands(dc, cell, picture.header, picture.bits, item.m_sourceArea);
  }
}

int CET_PrintDraw::DrawPictItem(CDC* dc, CET_PrintPictData* item) {
  if (!dc || !item) return 0;
  const RECT cell = DeviceRect(item->m_cell);
  int release = 0;
  int ok = 1;
  if (!item->m_picture) {
    if (m_loadCallback) {
      ok = m_loadCallback(item, cell.left, cell.top, cell.right, cell.bottom, &release, m_loadUser);
    } else {
      // A picture that cannot be read leaves its cell empty.
      item->m_picture.reset(LoadPictFile(item->m_path, PICT_MODE_FULL, nullptr, nullptr, 0, 0));
    }
  }
  if (ok && item->m_picture && item->m_picture->IsValid() && item->m_picture->header) {
    const RECT whole{0, 0, item->m_picture->GetWidth(), item->m_picture->GetHeight()};
    const bool turn = m_autoRotate && !CET_Calc::IsSameOrientation(cell, whole);
    DrawPicture(dc, *item, cell, turn);
  }
  if (release && item->m_picture) item->m_picture.reset();
  if (!ok) return 0;
  DrawCellTexts(dc, *item);
  Frame(dc, cell, kCellFrameColour, 1);
  return 1;
}

void CET_PrintDraw::DrawCellTexts(CDC* dc, const CET_PrintPictData& item) {
  const int dx = item.m_cell.left, dy = item.m_cell.top;
  // Texts that flow on are gathered into one word-broken text.
  std::unique_ptr<CET_PrintTextData> merged;
  for (const auto& text : item.m_texts) {
    if (!text) continue;
    if (!text->m_flow) {
      if (merged) DrawTextItem(dc, merged.get(), dx, dy);
      merged.reset();
      DrawTextItem(dc, text.get(), dx, dy);
      continue;
    }
    if (!merged) {
      merged = std::make_unique<CET_PrintTextData>();
      merged->CopyFrom(text.get());
      continue;
    }
    merged->m_flow = text->m_flow;
    merged->m_rect.bottom = text->m_rect.bottom;
    merged->m_text += text->m_text;
    merged->m_format = (merged->m_format & ~(DT_SINGLELINE | DT_VCENTER)) | DT_WORDBREAK;
  }
  if (merged) DrawTextItem(dc, merged.get(), dx, dy);
}

int CET_PrintDraw::DrawTextItem(CDC* dc, const CET_PrintTextData* text, int dx, int dy) {
  if (!dc || !text) return 0;
  LOGFONTW font = text->m_font;
  if (m_scaledFonts) {
    font.lfHeight = std::max(8, Truncate(m_scale * m_fontFactor * text->m_font.lfHeight));
  } else {
    // Tenths of a point to the device's pixels: a character height.
    font.lfHeight = -MulDiv(text->m_font.lfHeight, dc->GetDeviceCaps(LOGPIXELSY), 720);
  }
  CFont created;
  created.CreateFontIndirect(&font);
  CFont* oldFont = dc->SelectObject(&created);
  const COLORREF oldColour = dc->SetTextColor(text->m_colour);
  RECT box = DeviceRect(text->m_rect);
  OffsetRect(&box, Truncate(dx * m_scale), Truncate(dy * m_scale));
  // A copy with room for an ellipsis: the item's own text is never cut.
  std::u16string copy(text->m_text);
  copy.resize(text->m_text.size() + 16, u'\0');
  dc->DrawText(copy.data(), static_cast<int>(text->m_text.size()), &box, text->m_format);
  dc->SetTextColor(oldColour);
  if (oldFont) dc->SelectObject(oldFont);
  return 1;
}
