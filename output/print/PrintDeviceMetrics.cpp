#include "output/print/PrintDeviceMetrics.h"

#include "output/print/PrintLayout.h"

#include "platform/win/WinGdiText.h"

#include <string>

namespace {

// The height of text in a font on the DC; 0 when the font cannot be made.
int TextHeight(HDC dc, LOGFONTW font, LONG height, const std::u16string& text) {
  font.lfHeight = height;
  HFONT handle = CreateFontIndirectW(&font);
  if (!handle) return 0;
  HGDIOBJ old = SelectObject(dc, handle);
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, old);
  DeleteObject(handle);
  return extent.cy;
}

} // namespace

platform::PrinterCaps ReadPrinterCaps(HDC printer) {
  platform::PrinterCaps caps;
  caps.dpiX = GetDeviceCaps(printer, LOGPIXELSX);
  caps.dpiY = GetDeviceCaps(printer, LOGPIXELSY);
  caps.paper = {GetDeviceCaps(printer, PHYSICALWIDTH), GetDeviceCaps(printer, PHYSICALHEIGHT)};
  caps.offset = {GetDeviceCaps(printer, PHYSICALOFFSETX), GetDeviceCaps(printer, PHYSICALOFFSETY)};
  caps.printable = {GetDeviceCaps(printer, HORZRES), GetDeviceCaps(printer, VERTRES)};
  return caps;
}

PrintFontMetrics MeasurePrintFonts(HDC printer, const InfoPrintSetting& info, const HeadFootPrintSetting& header) {
  PrintFontMetrics metrics;
  const int dpiY = GetDeviceCaps(printer, LOGPIXELSY);
  const std::u16string sample(kPrintFontSample);
  const LOGFONTW infoFont = UsablePrintFont(info.m_Font);
  metrics.lineHeight = TextHeight(printer, infoFont, -MulDiv(infoFont.lfHeight, dpiY, 720), sample);
  const int asNumber = TextHeight(printer, infoFont, infoFont.lfHeight, sample);
  metrics.textRatio = asNumber > 0 ? static_cast<double>(metrics.lineHeight) / asNumber : 1.0;
  const LOGFONTW headerFont = UsablePrintFont(header.m_Font);
  metrics.bandHeight = TextHeight(printer, headerFont, -MulDiv(headerFont.lfHeight, dpiY, 720),
                                  std::u16string(header.m_strHeadFoot.View()));
  return metrics;
}
