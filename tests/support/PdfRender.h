#pragma once
// A page of a PDF rendered by poppler's pdftoppm at 72 dpi, as RGB rows, for
// tests that print to the PDF printer and look at what came out.

#include "platform/win/WinTypes.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testsupport {

struct PdfPageRender {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  COLORREF At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return RGB(rgb[i], rgb[i + 1], rgb[i + 2]);
  }
};

// Page `page` (from 1) of the PDF, rendered into `folder`; empty when
// pdftoppm fails or writes something else than 8-bit RGB.
inline PdfPageRender RenderPdfPage(const std::filesystem::path& pdf, int page, const std::filesystem::path& folder) {
  const std::string prefix = (folder / "render").string();
  const std::string command = "pdftoppm -r 72 -f " + std::to_string(page) + " -l " + std::to_string(page) +
                              " -singlefile '" + pdf.string() + "' '" + prefix + "'";
  if (std::system(command.c_str()) != 0) return {};
  PdfPageRender r;
  std::ifstream in(prefix + ".ppm", std::ios::binary);
  std::string magic;
  int maxValue = 0;
  in >> magic >> r.width >> r.height >> maxValue;
  in.get();
  if (magic != "P6" || maxValue != 255 || r.width <= 0 || r.height <= 0) return {};
  r.rgb.resize(static_cast<std::size_t>(r.width) * r.height * 3);
  in.read(reinterpret_cast<char*>(r.rgb.data()), static_cast<std::streamsize>(r.rgb.size()));
  if (!in) return {};
  return r;
}

} // namespace testsupport
