#include "output/print/PrintPreparation.h"

#include "output/print/PrintLayout.h"
#include "output/print/PrintPan.h"
#include "shell/facade/CKVR_FilterData.h"
#include "toolkit/CET_Calc.h"
#include "toolkit/PictureFileTypes.h"

#include <algorithm>
#include <cmath>

std::vector<CET_PrintPictData*> PicturesToPrepare(const std::vector<CET_PrintPictData*>& pictures, int page,
                                                  int cellsPerPage, int copies) {
  std::vector<CET_PrintPictData*> list;
  if (page < 0 || cellsPerPage <= 0) return list;
  copies = std::max(1, copies);
  const long long total = static_cast<long long>(pictures.size()) * copies;
  const long long first = static_cast<long long>(page) * cellsPerPage;
  CET_PrintPictData* previous = nullptr;
  for (long long i = first; i < first + cellsPerPage && i < total; ++i) {
    CET_PrintPictData* picture = pictures[static_cast<std::size_t>(i / copies)];
    if (picture == previous) continue;
    previous = picture;
    if (!picture->m_picture) list.push_back(picture);
  }
  return list;
}

namespace {

// A field and one blank; the value only when there is one.
void AddField(std::u16string& line, const FString& value, std::u16string_view before = {},
              std::u16string_view after = {}) {
  if (!value.View().empty()) {
    line += before;
    line += value.View();
    line += after;
  }
  line += u' ';
}

} // namespace

void BuildInfoLines(const FString& fileName, const ShootingFields* fields, const std::u16string& apertureLabel,
                    std::vector<std::u16string>& lines) {
  if (!fields) {
    lines.emplace_back(fileName.View());
    lines.emplace_back();
    lines.emplace_back();
    return;
  }
  std::u16string line0, line1, line2;
  AddField(line0, fileName);
  AddField(line0, fields->date);
  AddField(line0, fields->time);
  AddField(line1, fields->camera);
  AddField(line2, fields->shutter, {}, u"s");
  AddField(line2, fields->aperture, apertureLabel);
  AddField(line2, fields->iso, u"ISO");
  AddField(line2, fields->exposureComp);
  AddField(line2, fields->focalLength);
  lines.push_back(std::move(line0));
  lines.push_back(std::move(line1));
  lines.push_back(std::move(line2));
}

void FillCellInfoTexts(CET_PrintPictData& cell, const InfoPrintSetting& info) {
  std::vector<int> order;
  if (info.m_nBasic) order.insert(order.end(), {0, 1});
  if (info.m_nCapture) order.push_back(2);
  std::size_t slot = 0;
  for (int line : order) {
    if (slot >= cell.m_texts.size()) break;
    if (line < static_cast<int>(cell.m_infoLines.size())) cell.m_texts[slot]->m_text = cell.m_infoLines[line];
    ++slot;
  }
}

RECT CarryCropOver(RECT cell, RECT crop, int width, int height, bool autoRotate) {
  const int cropWidth = crop.right - crop.left;
  if (cropWidth <= 0 || crop.bottom <= crop.top || width <= 0 || height <= 0) return crop;
  RECT picture{0, 0, width, height};
  if (autoRotate && !CET_Calc::IsSameOrientation(cell, picture)) picture = {0, 0, height, width};
  const RECT full = CET_Calc::GetAspectCropRect(cell, picture, nullptr);
  const int fullWidth = full.right - full.left, fullHeight = full.bottom - full.top;
  if (cropWidth == fullWidth) return crop;
  // The crop of the preview's picture has the cell's proportions too: scaled
  // by the widths' ratio it becomes this picture's crop of the same place.
  const double ratio = static_cast<double>(fullWidth) / cropWidth;
  RECT moved{static_cast<LONG>(std::trunc(crop.left * ratio)), static_cast<LONG>(std::trunc(crop.top * ratio)), 0,
             0};
  moved.right = moved.left + fullWidth;
  moved.bottom = moved.top + fullHeight;
  return KeepCropInPicture(moved, fullWidth, fullHeight, picture);
}

std::unique_ptr<CET_Dib> DibFromMovieFrame(const BITMAPINFO* header, const void* bits, DWORD size) {
  if (!header || !bits || size == 0) return nullptr;
  const BITMAPINFOHEADER& h = header->bmiHeader;
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biBitCount != 24) return nullptr;
  const long long rows = h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight;
  if (static_cast<long long>(DibRowBytes(h.biWidth, 24)) * rows > size) return nullptr;
  auto dib = std::make_unique<CET_Dib>();
  dib->Set(header, static_cast<const BYTE*>(bits), size);
  return dib;
}

void PreparePrintPictures(const std::vector<CET_PrintPictData*>& pictures, bool filterStills,
                          const CET_FilterData* settings, PrintPictureSource& source,
                          const std::function<void(int, int)>& starting, const std::function<void()>& finished) {
  const int count = static_cast<int>(pictures.size());
  for (int n = 0; n < count; ++n) {
    if (starting) starting(n + 1, count);
    CET_PrintPictData& picture = *pictures[static_cast<std::size_t>(n)];
    if (!picture.m_picture) {
      switch (source.FileType(picture.m_path)) {
      case ETFILETYPE_KVR:
        picture.m_picture = source.DevelopRaw(picture.m_path, settings);
        break;
      case ETFILETYPE_AVI:
        picture.m_picture = source.GrabMovieFrame(picture.m_path);
        break;
      default:
        picture.m_picture = source.LoadStill(picture.m_path);
        if (picture.m_picture && filterStills && settings) {
          // The adjusted copy takes the decoded picture's place; without one the decoded picture stays.
          if (auto adjusted = source.Filter(*picture.m_picture, *settings)) picture.m_picture = std::move(adjusted);
        }
        break;
      }
    }
    if (picture.m_infoLines.empty()) picture.m_infoLines = source.InfoLines(picture.m_path);
    if (finished) finished();
  }
}

void LoadCellForPrint(CET_PrintPictData& cell, PrintPictureSource& source, const CET_FilterData* rawSettings,
                      bool infoOn, const InfoPrintSetting& info, bool autoRotate) {
  if (cell.m_picture) return;
  switch (source.FileType(cell.m_path)) {
  case ETFILETYPE_KVR:
    cell.m_picture = source.DevelopRaw(cell.m_path, rawSettings);
    break;
  case ETFILETYPE_AVI:
    cell.m_picture = source.GrabMovieFrame(cell.m_path);
    break;
  default:
    cell.m_picture = source.LoadStill(cell.m_path);
    break;
  }
  if (cell.m_infoLines.empty()) {
    cell.m_infoLines = source.InfoLines(cell.m_path);
    if (infoOn) FillCellInfoTexts(cell, info);
  }
  if (cell.m_picture)
    cell.m_sourceArea = CarryCropOver(cell.m_cell, cell.m_sourceArea, cell.m_picture->GetWidth(),
                                      std::abs(cell.m_picture->GetHeight()), autoRotate);
}

void FreeRawPictureBitmaps(PrintLayout& layout, const std::vector<CET_PrintPictData*>& pictures,
                           PrintPictureSource& source) {
  // The page on show borrows these bitmaps; it must not draw freed ones.
  layout.DetachPictures();
  for (CET_PrintPictData* picture : pictures)
    if (source.FileType(picture->m_path) == ETFILETYPE_KVR) picture->m_picture.reset();
}

std::unique_ptr<CET_FilterData> PrintSettingsFor(bool fromReview, const CET_FilterData* reviewSettings, int mode,
                                                 const CET_FilterData* savedSetting) {
  if (fromReview) return std::unique_ptr<CET_FilterData>(reviewSettings ? reviewSettings->Clone() : nullptr);
  switch (mode) {
  case 1: {
    auto automatic = std::make_unique<CKVR_FilterData>();
    automatic->m_nAuto = 1;
    return automatic;
  }
  case 2:
    if (savedSetting) return std::unique_ptr<CET_FilterData>(savedSetting->Clone());
    return std::make_unique<CKVR_FilterData>();
  default:
    return nullptr;
  }
}
