// The review view's images: taking a new image from the frame (its quick
// picture, profiles and first worker), the worker's messages and results,
// turning the shown pictures, the loupe's regions and the grey-point pick.

#include "review/frame/CReviewFormView.h"

#include "review/core/GreyPoint.h"
#include "review/frame/CReviewFrame.h"
#include "review/frame/ReviewViewServices.h"
#include "shell/app/AppMessages.h"
#include "shell/dialogs/CMessageDlg.h"
#include "toolkit/CET_PictCalc.h"
#include "toolkit/PictureColor.h"
#include "toolkit/PictureFileTypes.h"

#include "platform/win/WinIcm.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kCustomSettingTextId = 105;
constexpr int kFailureTextId = 9011;
constexpr int kFailureSubTextId = 9010;
constexpr int kMessageStyleOk = 0;
constexpr COLORREF kHighlightWarning = RGB(255, 0, 0);
constexpr COLORREF kShadowWarning = RGB(0, 0, 255);
// The long side of the picture the image's record carries for the palettes.
constexpr int kRecordPictureSide = 640;

// The clipping-warning mode of a histogram view: the mode of the same number.
int ClipWarningModeFromIndex(int index) { return index >= CLIPWARN_ALL && index <= CLIPWARN_BLUE ? index : 0; }

// A code the raw development can give its pictures: 2, 3, 4 or 11; else 2.
int DevelopColorSpace(int code) { return code == 2 || code == 3 || code == 4 || code == 11 ? code : 2; }

CET_Dib* CopyOf(const CET_Dib* picture) {
  if (!picture || !picture->IsValid()) return nullptr;
  auto* copy = new CET_Dib;
  copy->CopyFrom(picture);
  return copy;
}

// A copy whose long side is at most longSide pixels (2 x 2 samples averaged
// per pixel), 24-bit bottom-up; a smaller picture is copied as it is.
CET_Dib* ReducedCopy(const CET_Dib* picture, int longSide) {
  if (!picture || !picture->IsValid()) return nullptr;
  const int width = picture->GetWidth(), height = picture->GetHeight();
  if (std::max(width, height) <= longSide) return CopyOf(picture);
  const double step = static_cast<double>(std::max(width, height)) / longSide;
  const int outWidth = std::max(1, static_cast<int>(width / step));
  const int outHeight = std::max(1, static_cast<int>(height / step));
  const int stride = (outWidth * 3 + 3) & ~3;
  auto reduced = std::make_unique<CET_Dib>();
  reduced->header = NewDibHeader();
  BITMAPINFOHEADER& header = reduced->header->bmiHeader;
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = outWidth;
  header.biHeight = outHeight;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biSizeImage = static_cast<DWORD>(stride * outHeight);
  reduced->size = header.biSizeImage;
  reduced->bits = NewDibBits(reduced->size);
  for (int y = 0; y < outHeight; ++y) {
    BYTE* row = reduced->bits + static_cast<std::size_t>(outHeight - 1 - y) * stride; // bottom-up
    for (int x = 0; x < outWidth; ++x) {
      int sum[3] = {0, 0, 0};
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
          const int sx = std::min(width - 1, static_cast<int>((x + 0.25 + 0.5 * dx) * step));
          const int sy = std::min(height - 1, static_cast<int>((y + 0.25 + 0.5 * dy) * step));
          const int colour = std::max(0, picture->GetPixel(sx, sy));
          sum[0] += GetBValue(colour);
          sum[1] += GetGValue(colour);
          sum[2] += GetRValue(colour);
        }
      }
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = static_cast<BYTE>((sum[c] + 2) / 4);
    }
    std::fill(row + outWidth * 3, row + stride, BYTE{0});
  }
  return reduced.release();
}

// The picture turned a quarter (clockwise) or three quarters, in a new record.
CET_Dib* Turned(const CET_Dib* picture, BOOL clockwise) {
  if (!picture || !picture->IsValid() || !picture->header) return nullptr;
  auto turned = std::make_unique<CET_Dib>();
  turned->header = NewDibHeader();
  turned->bits = CET_PictCalc::RotateDibBitsByAngle(clockwise ? 90.0 : 270.0, nullptr, picture->header,
                                                    picture->bits, turned->header);
  if (!turned->bits) return nullptr;
  turned->size = static_cast<DWORD>(DibRowBytes(turned->GetWidth(), turned->GetBitCount()) * turned->GetHeight());
  return turned.release();
}

} // namespace

const CET_Dib* CReviewFormView::GetDisplayedPicture() const {
  if (!m_Develop || m_Develop->IsWorkerRunning()) return nullptr;
  const ReviewDevelopParam& job = m_Develop->Job();
  if (job.fileType != kRawFileType && job.slot == CFilterDataSlots::kAsShot) return job.firstPicture;
  return job.developedPicture;
}

// ---- Opening an image ----------------------------------------------------------------------

CET_Dib* CReviewFormView::ShowQuickPicture(const CTLM_ThumbnailData* record) {
  if (!record) return nullptr;
  ReviewViewServices& services = Services();
  CET_Dib* picture = nullptr;
  if (GetFileType(record->m_Path) == kRawFileType) {
    picture = services.LoadEmbeddedPreview(record->m_Path);
    // A preview development only when no other work holds the engine.
    if (!picture && services.TryLockEngine()) {
      picture = services.DevelopPreview(record->m_Path);
      services.UnlockEngine();
    }
  }
  if (!picture) picture = CopyOf(record->m_pDib);
  if (picture) {
    m_Pane.SetImage(picture, TRUE, 1.0, 0, 0);
  } else {
    m_Pane.ClearImage();
  }
  UpdateInfoText(record);
  return picture;
}

void CReviewFormView::OpenImage(const CTLM_ThumbnailData* record, int slot, CFilterDataSlots* slots,
                                CET_Dib* quickPicture) {
  std::unique_ptr<CET_Dib> quick(quickPicture); // the view's from now on
  if (!record) return;
  m_ZoomLabel.SetText(u"", TRUE);
  EnableButton(ReviewView::kZoomOut, FALSE);
  EnableButton(ReviewView::kZoomIn, FALSE);
  m_Develop->SetReady(FALSE);
  m_Develop->DropParkedRequest();
  Zoom(1);
  if (!StopWorker(FALSE)) return;
  StartImage(*record, slot, slots, false);
  ReviewDevelopParam& job = m_Develop->Job();
  if (job.fileType == kRawFileType) {
    job.fullSize = FALSE;
    job.fitSize = GetPaneClientSize();
    job.scale = 0.0;
    job.firstPicture = quick.release();
  } else {
    job.fullSize = TRUE;
    job.fitSize = FIntSize();
    job.scale = 1.0;
  }
  m_Develop->StartWorker();
  EnableButton(ReviewView::kMark, record->m_Exif.CanMark() ? TRUE : FALSE);
  EnableButton(ReviewView::kDelete, record->IsLocked() ? FALSE : TRUE);
}

void CReviewFormView::RedevelopImage(const CTLM_ThumbnailData* record, int slot, CFilterDataSlots* slots) {
  if (!record) return;
  EnableButton(ReviewView::kZoomOut, FALSE);
  EnableButton(ReviewView::kZoomIn, FALSE);
  m_Develop->SetReady(FALSE);
  m_Develop->DropParkedRequest();
  if (!StopWorker(FALSE)) return;
  StartImage(*record, slot, slots, true);
  m_Develop->StartWorker();
  EnableButton(ReviewView::kMark, record->m_Exif.CanMark() ? TRUE : FALSE);
  EnableButton(ReviewView::kDelete, record->IsLocked() ? FALSE : TRUE);
}

// What opening and developing again share, up to the worker's start.
void CReviewFormView::StartImage(const CTLM_ThumbnailData& record, int slot, CFilterDataSlots* slots,
                                 bool redevelop) {
  m_ThumbPicture.Free();
  if (record.m_pDib) m_ThumbPicture.CopyFrom(record.m_pDib);
  m_nImageWidth = record.m_Width;
  m_nImageHeight = record.m_Height;
  if (m_bRulerOn) m_Pane.SetRuler(TRUE, TRUE);
  LayoutControls();
  // The write-settings and save buttons wait for the image's first result.
  EnableFileButtons(FALSE);
  UpdateInfoText(&record);

  ReviewDevelopParam& job = m_Develop->Job();
  if (!redevelop) {
    ChooseProfiles(record);
  }
  FString customName;
  if (slots) {
    CSingleLock lock(slots, TRUE);
    if (const CET_FilterData* custom = slots->PeekLocked(CFilterDataSlots::kCustom)) customName = custom->m_strName;
  }
  ShowSettingSelection(slot, customName);
  m_Develop->SetReady(FALSE);
  m_Develop->DropParkedRequest();
  if (redevelop) {
    job.slot = slot;
    job.progressBase = 0;
    return;
  }
  // The profiles outlive the reset.
  const FString source = job.sourceProfile;
  const FString monitor = job.monitorProfile;
  const int colorSpace = job.colorSpace;
  job.Reset();
  job.sourceProfile = source;
  job.monitorProfile = monitor;
  job.colorSpace = colorSpace;
  job.slot = slot;
  job.slots = slots;
  job.path = record.m_Path;
  job.fileType = GetFileType(record.m_Path);
  job.progressBase = 10;
}

void CReviewFormView::ChooseProfiles(const CTLM_ThumbnailData& record) {
  ReviewViewServices& services = Services();
  ReviewDevelopParam& job = m_Develop->Job();
  FString source;
  if (GetFileType(record.m_Path) == kRawFileType) {
    int code = 2;
    source = services.GetImageProfilePath(record.m_Path, &code);
    if (source.GetLength() > 0) {
      job.colorSpace = DevelopColorSpace(code);
    } else {
      source = services.GetColorSpaceProfilePath(2);
      job.colorSpace = 2;
    }
  } else {
    source = services.GetImageProfilePath(record.m_Path, nullptr);
    if (source.GetLength() == 0 && record.m_Exif.GetColorSpace() >= 0) {
      source = services.GetColorSpaceProfilePath(record.m_Exif.GetColorSpace());
    }
  }
  job.sourceProfile = source;
  job.monitorProfile = FString();
  if (CDC* dc = m_Pane.GetImageDC()) {
    char16_t path[260] = {};
    DWORD size = 260;
    if (::GetICMProfileW(dc->m_hDC, &size, path)) job.monitorProfile = FString(path);
    m_Pane.ReleaseImageDC(dc);
  }
  if (source.GetLength() == 0) {
    if (CReviewFrame* frame = Frame()) frame->SetColorManaged(FALSE);
  }
}

// ---- The worker's messages -------------------------------------------------------------------

LRESULT CReviewFormView::OnDevelopPartial(WPARAM picture, LPARAM) {
  if (const auto* quick = reinterpret_cast<const CET_Dib*>(picture)) m_Pane.SetImage(quick, TRUE, 1.0, 0, 0);
  return 0;
}

LRESULT CReviewFormView::OnDevelopProgress(WPARAM percent, LPARAM) {
  SetProgress(percent == 100 ? 0 : static_cast<int>(percent));
  return 0;
}

LRESULT CReviewFormView::OnDevelopDone(WPARAM ok, LPARAM) {
  m_Develop->OnWorkerDone();
  CReviewFrame* frame = Frame();
  if (!frame) return 0;
  if (frame->HasPendingImage()) {
    // The frame switches to another image: this result is not shown. The
    // frame opens the image it keeps pending once no stop is under way (a
    // stop that is the frame's own opening takes the newest record itself).
    frame->PostMessage(WM_REVIEW_OPEN_PENDING);
    return 0;
  }
  SetProgress(0);
  const bool wasReady = IsImageReady() != FALSE;
  ReviewDevelopParam& job = m_Develop->Job();
  if (ok) {
    ShowResult();
    EnableFileButtons(job.slots ? job.slots->IsModified(job.slot) : FALSE);
    if (!wasReady) frame->NotifyPaletteSettings(TRUE);
    frame->SendPreviewBitmap(GetDisplayedPicture());
  } else if (!IsCancelled()) {
    CMessageDlg message(this);
    message.SetMessage(kMessageStyleOk, FString(Services().Text(kFailureTextId)));
    message.SetSubMessage(kFailureSubTextId);
    message.DoModal();
    frame->PostMessage(WM_CLOSE);
  }
  if (!wasReady && ok) FirstResultShown();
  RestartParkedRequest(wasReady, ok != 0);
  return 0;
}

void CReviewFormView::ShowResult() {
  ReviewDevelopParam& job = m_Develop->Job();
  const CET_Dib* picture = GetDisplayedPicture();
  if (!picture) return;
  CReviewFrame* frame = Frame();
  const bool managed = frame && frame->IsColorManaged();
  if (managed) {
    // The same profile on both sides changes no pixel: no copy is made.
    CET_Dib* converted = job.sourceProfile == job.monitorProfile
                             ? nullptr
                             : TransformDibColor(picture, job.sourceProfile, job.monitorProfile);
    ReviewDevelopParam::ReplacePicture(job.managedPicture, converted);
  }
  ShowPicture(picture, managed ? job.managedPicture : nullptr);
}

void CReviewFormView::ShowPicture(const CET_Dib* picture, const CET_Dib* managed) {
  const ReviewDevelopParam& job = m_Develop->Job();
  if (!m_bWarnOn) {
    m_Pane.SetImage(managed ? managed : picture, FALSE, job.scale, job.imageSize.width, job.imageSize.height);
    return;
  }
  m_Pane.ShowWarningImage(ClipWarningModeFromIndex(m_nWarnChannel), m_nWarnHighlight, m_nWarnShadow,
                          kHighlightWarning, kShadowWarning, picture, managed, job.scale, job.imageSize.width,
                          job.imageSize.height);
}

void CReviewFormView::FirstResultShown() {
  CReviewFrame* frame = Frame();
  m_Develop->SetReady(TRUE);
  UpdateZoomLabel();
  m_Pane.SetRuler(m_bRulerOn, FALSE);
  ReportVisibleArea();
  std::unique_ptr<CTLM_ThumbnailData> record(frame->GetThumbnailRecord(nullptr));
  if (!record || (record->m_Width > 0 && record->m_Height > 0 && record->m_bFinalPicture)) return;
  const CRect shown = m_Pane.GetImageRect();
  m_nImageWidth = shown.Width();
  m_nImageHeight = shown.Height();
  record->m_Width = m_nImageWidth;
  record->m_Height = m_nImageHeight;
  record->m_bFinalPicture = 1;
  // The record's picture is for the palettes' small views: a reduced copy,
  // not one more picture of the image's full size.
  if (const CET_Dib* first = m_Develop->Job().firstPicture; first && first->IsValid()) {
    record->SetPicture(ReducedCopy(first, kRecordPictureSide));
    m_ThumbPicture.CopyFrom(record->m_pDib);
  }
  frame->ReplaceThumbnailRecord(record.get());
  ReportVisibleArea();
}

void CReviewFormView::RestartParkedRequest(bool wasReady, bool ok) {
  int slot = 0;
  std::unique_ptr<CET_FilterData> parked = m_Develop->TakeParkedRequest(slot);
  if (!parked && slot == 0) return;
  ReviewDevelopParam& job = m_Develop->Job();
  if (!wasReady && job.fileType == kRawFileType && parked && job.slots) {
    // The request was taken before the worker knew the file's own choices.
    if (auto* raw = dynamic_cast<CKVR_FilterData*>(parked.get())) {
      CSingleLock lock(job.slots, TRUE);
      const auto* asShot = dynamic_cast<const CKVR_FilterData*>(job.slots->PeekLocked(CFilterDataSlots::kAsShot));
      raw->m_nWhiteBalance = asShot && ok ? asShot->m_nWhiteBalance : -1;
      raw->m_nColorMode = asShot && ok ? asShot->m_nColorMode : -1;
      raw->m_nNoiseReduction = asShot && ok ? asShot->m_nNoiseReduction : -1;
      raw->m_nChromaNoise = asShot && ok ? asShot->m_nChromaNoise : -1;
      raw->m_nLumaNoise = asShot && ok ? asShot->m_nLumaNoise : -1;
    }
  }
  if (ok) {
    if (CReviewFrame* frame = Frame()) frame->SelectSlot(slot, parked.get(), TRUE);
  }
}

// ---- Turning -----------------------------------------------------------------------------

void CReviewFormView::RotatePictures(BOOL clockwise) {
  CReviewFrame* frame = Frame();
  if (!frame) return;
  if (!IsImageReady() || m_Develop->IsWorkerRunning()) {
    // Half-made pictures are not turned: the image opens again from scratch.
    StopWorker(FALSE);
    std::unique_ptr<CTLM_ThumbnailData> record(frame->Host().FindThumbnail(frame->GetImagePath()));
    if (record) frame->OpenImage(record.get());
    return;
  }
  ReviewDevelopParam& job = m_Develop->Job();
  for (CET_Dib** picture : {&job.firstPicture, &job.developedPicture, &job.managedPicture}) {
    if (*picture) ReviewDevelopParam::ReplacePicture(*picture, Turned(*picture, clockwise));
  }
  std::swap(job.imageSize.width, job.imageSize.height);
  if (const CET_Dib* shown = GetDisplayedPicture()) {
    const bool managed = frame->IsColorManaged() && job.managedPicture;
    ShowPicture(shown, managed ? job.managedPicture : nullptr);
  }
  if (m_Pane.GetZoomIndex() == -1) {
    UpdateZoomLabel();
    if (job.fileType == kRawFileType) StartDevelop(job.slot, job.slots);
  }
  std::unique_ptr<CTLM_ThumbnailData> record(frame->GetThumbnailRecord(nullptr));
  if (!record) return;
  const CRect shownRect = m_Pane.GetImageRect();
  m_nImageWidth = record->m_Width = shownRect.Width();
  m_nImageHeight = record->m_Height = shownRect.Height();
  record->m_bFinalPicture = 1;
  if (job.firstPicture) record->SetPicture(ReducedCopy(job.firstPicture, kRecordPictureSide));
  frame->ReplaceThumbnailRecord(record.get());
  SetZoomIndex(m_Pane.GetZoomIndex());
}

// ---- The loupe's region ----------------------------------------------------------------------

CET_Dib* CReviewFormView::RenderRegion(int left, int top, int right, int bottom, int x, int y, COLORREF* colour) {
  CReviewFrame* frame = Frame();
  if (!frame || m_Develop->IsWorkerRunning() || frame->Host().IsThumbnailLoading() || IsCancelled() ||
      !IsImageReady()) {
    return nullptr;
  }
  const RECT region{left, top, right, bottom};
  return m_Develop->Job().fileType == kRawFileType ? RenderRawRegion(region, x, y, colour)
                                                   : CutRegion(region, x, y, colour);
}

CET_Dib* CReviewFormView::RenderRawRegion(const RECT& region, int x, int y, COLORREF* colour) {
  ReviewViewServices& services = Services();
  ReviewDevelopParam& job = m_Develop->Job();
  // The window never waits for the engine: while other work holds it the
  // loupe stays empty until the next move.
  if (!services.TryLockEngine()) return nullptr;
  std::unique_ptr<CET_Dib> developed;
  {
    std::unique_ptr<CET_FilterData> slot(job.slots ? job.slots->GetSlot(job.slot) : nullptr);
    auto* settings = dynamic_cast<CKVR_FilterData*>(slot.get());
    const int width = job.imageSize.width > 0 ? job.imageSize.width : m_nImageWidth;
    const int height = job.imageSize.height > 0 ? job.imageSize.height : m_nImageHeight;
    developed.reset(services.DevelopRegion(job.path, job.colorSpace, width, height, region, settings));
  }
  services.UnlockEngine();
  if (!developed || !developed->IsValid()) return nullptr;
  if (colour) *colour = static_cast<COLORREF>(developed->GetPixel(x - region.left, y - region.top));
  std::unique_ptr<CET_Dib> managed;
  CReviewFrame* frame = Frame();
  if (frame && frame->IsColorManaged() && job.sourceProfile != job.monitorProfile) {
    managed.reset(TransformDibColor(developed.get(), job.sourceProfile, job.monitorProfile));
  }
  return FinishRegion(std::move(developed), std::move(managed));
}

CET_Dib* CReviewFormView::CutRegion(const RECT& region, int x, int y, COLORREF* colour) {
  const ReviewDevelopParam& job = m_Develop->Job();
  const CET_Dib* source = job.slot == CFilterDataSlots::kAsShot || !job.developedPicture ? job.firstPicture
                                                                                           : job.developedPicture;
  if (!source) return nullptr;
  std::unique_ptr<CET_Dib> cut(CET_PictCalc::CropDib(source, region));
  if (!cut || !cut->IsValid()) return nullptr;
  if (colour) *colour = static_cast<COLORREF>(cut->GetPixel(x - region.left, y - region.top));
  std::unique_ptr<CET_Dib> managed;
  if (job.managedPicture) managed.reset(CET_PictCalc::CropDib(job.managedPicture, region));
  return FinishRegion(std::move(cut), std::move(managed));
}

// The region with the main picture's clipping warnings, in the monitor's
// colours when there are such: the warned picture, else the managed, else the plain one.
CET_Dib* CReviewFormView::FinishRegion(std::unique_ptr<CET_Dib> region, std::unique_ptr<CET_Dib> managed) {
  if (m_bWarnOn) {
    if (CET_Dib* warned = MakeClipWarningDib(region.get(), managed.get(), ClipWarningModeFromIndex(m_nWarnChannel),
                                             m_nWarnHighlight, m_nWarnShadow, kHighlightWarning, kShadowWarning)) {
      return warned;
    }
  }
  return managed ? managed.release() : region.release();
}

// ---- Grey point ----------------------------------------------------------------------------

void CReviewFormView::PickGreyPoint(const CET_ImageWndMsgData& data) {
  CReviewFrame* frame = Frame();
  const ReviewDevelopParam& job = m_Develop->Job();
  if (!frame || !job.slots) return;
  GreyPointClick click;
  click.path = frame->GetImagePath();
  click.raw = frame->GetFileType() == kRawFileType;
  click.shown = GetDisplayedPicture();
  // A picture still being made has nothing to measure.
  if (!click.raw && !click.shown) return;
  click.point = data.m_ImagePoint;
  click.visible = data.m_VisibleRect;
  if (!click.raw) {
    // The shown picture's pixels: picture coordinates over the picture scale.
    const double scale = job.scale > 0 ? job.scale : 1.0;
    click.point /= scale;
    click.visible /= scale;
  }
  std::unique_ptr<CET_FilterData> settings = PickGreyPointSettings(click, *job.slots, frame->GetCurrentSlot(),
                                                                   FString(Services().Text(kCustomSettingTextId)));
  if (settings) frame->SelectSlot(CFilterDataSlots::kCustom, settings.get(), TRUE);
}
