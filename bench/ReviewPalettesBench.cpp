// The two palettes on their paths that the person waits for:
//   - the information palette's refresh for a new focused file in the browser
//     (the message, the statics, both lists and their repaint: "refresh_ms",
//     goal at most 5) beside the read of the file's shooting information it
//     shows ("read_ms", the read the browser's record carries), alternating
//     between a raw file of the synthetic camera and the JPEG the program
//     saves of it, so that every refresh shows another file; "x_read" is the
//     refresh's time over the read's;
//   - one step of a drag of the navigator's rectangle (the small picture
//     window's clamp, the panel, the palette, the followed review window's
//     scroll) up to the repaint of its 1920 x 1080 pane showing a
//     24-megapixel picture at 100 % ("drag_ms", goal at most 16), beside the
//     same scroll and repaint of the pane alone ("pane_ms"; "x_pane" the
//     drag step's time over the pane's).
// Each result is checked once before timing. Runs headless (offscreen, as the
// tests).

#include <benchmark/benchmark.h>

#include "engine/colour/TransformColor.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "platform/afx/AfxDC.h"
#include "platform/testing/Headless.h"
#include "review/palettes/CAdjustPalette.h"
#include "review/palettes/CInfoPalette.h"
#include "review/palettes/CPaletteToolNavi.h"
#include "review/pane/CReviewImageWnd.h"
#include "shell/app/AppFolders.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "shell/facade/CSaveJob.h"
#include "shell/facade/KVR_DevelopAndSave.h"
#include "support/BuildTree.h"
#include "support/DibBuilder.h"
#include "support/SyntheticCamera.h"
#include "support/TestSupport.h"
#include "toolkit/PictureFileTypes.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

namespace pt = platform::testing;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "ReviewPalettesBench: wrong result: %s\n", what);
  std::abort();
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

benchmark::Counter PerIteration(const benchmark::State& state, double seconds) {
  return benchmark::Counter(1e3 * seconds / static_cast<double>(state.iterations()));
}

// The application with the program's own texts, fonts and pictures.
struct Application {
  CLumitraApp app;
  Application() {
    pt::Init();
    InitStorageClasses();
    SetAppProgramPath(testsupport::BuildTreeProgramPath());
    SetColorProfileProgramPath(testsupport::BuildTreeProgramPath());
    const fs::path data = fs::path(testsupport::BuildTreeProgramPath().GetAscii()).parent_path() / "resources";
    if (!app.LoadStringTable(PathFromNative((data / "String.txt").string())) ||
        !app.LoadFontTable(PathFromNative((data / "Font.txt").string()))) {
      Fail("the program's text tables");
    }
  }
};

// ---- The information palette

class Selection : public IInfoPaletteServices {
public:
  const CTLM_ThumbnailData* selected = nullptr;
  void GetSelectedThumbnails(CET_ThumbnailDataManager* list) override {
    if (selected) list->Add(selected->Clone());
  }
  BOOL GetExif(const FString&, CTLM_Exif*) override { return FALSE; }
  BOOL CopyText(const FString&) override { return TRUE; }
};

// A browser record of the file, its shooting information read as the browser reads it.
std::unique_ptr<CTLM_ThumbnailData> BrowserRecord(const fs::path& file, double* readSeconds) {
  auto record = std::make_unique<CTLM_ThumbnailData>();
  record->m_Path = PathFromNative(file.string());
  record->m_FileName = PathFromNative(file.filename().string());
  record->m_FileType = GetFileType(record->m_Path);
  record->m_FileSize = fs::file_size(file);
  record->m_bFinalPicture = 1;
  const auto start = Clock::now();
  if (!record->m_Exif.Load(record->m_Path)) Fail("the shooting information");
  *readSeconds += Seconds(start);
  record->m_Width = record->m_Exif.GetImageWidth();
  record->m_Height = record->m_Exif.GetImageHeight();
  record->SetPicture(testsupport::MakeBottomUpDib(160, 120, [](int x, int y) { return RGB(x, y, 90); }).release());
  return record;
}

void BM_InfoPaletteRefresh(benchmark::State& state) {
  Application application;
  testsupport::TempDir dir;
  testsupport::SyntheticOptions options;
  options.shot = testsupport::SyntheticShot::DaylightIso800Auto;
  const fs::path raw = dir.Path() / "shot.kvr";
  testsupport::WriteSyntheticRaw(raw, options);
  CSaveJob job;
  job.m_nSettingMode = 1;
  job.m_aInputs = {PathFromNative(raw.string())};
  job.m_aOutputs = {PathFromNative((dir.Path() / "shot.jpg").string())};
  if (KVR_DevelopAndSave(&job, nullptr, nullptr, nullptr) != kSaveDone) Fail("the JPEG");
  const fs::path files[] = {raw, dir.Path() / "shot.jpg"};
  const std::u16string formats[] = {u"KVR", u"JPEG"};

  Selection selection;
  CInfoPalette* palette = CInfoPalette::Open(&selection);
  if (!palette) Fail("the palette");
  CStaticBase* format = dynamic_cast<CStaticBase*>(palette->GetDlgItem(CInfoPalette::kFirstStaticId + 1));
  double read = 0, refresh = 0;
  std::size_t turn = 0;
  const auto show = [&](const CTLM_ThumbnailData* record) {
    selection.selected = record;
    FString path = record->m_Path;
    const auto start = Clock::now();
    palette->SendMessage(WM_APP_SHOW_INFO, reinterpret_cast<WPARAM>(&path), 0);
    palette->RedrawWindow(nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    refresh += Seconds(start);
  };
  {
    double unused = 0;
    for (int i = 0; i < 2; ++i) {
      const auto record = BrowserRecord(files[i], &unused);
      show(record.get());
      if (format->GetText() != formats[i] || palette->GetRecord().m_Path != record->m_Path) Fail("the file shown");
    }
    refresh = 0;
  }
  for (auto _ : state) {
    const auto record = BrowserRecord(files[turn++ % 2], &read);
    show(record.get());
  }
  CInfoPalette::Close();
  state.counters["refresh_ms"] = PerIteration(state, refresh);
  state.counters["read_ms"] = PerIteration(state, read);
  state.counters["x_read"] = benchmark::Counter(read > 0 ? refresh / read : 0.0);
}
BENCHMARK(BM_InfoPaletteRefresh)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// ---- The navigator

constexpr int kPaneWidth = 1920;
constexpr int kPaneHeight = 1080;
constexpr int kPictureWidth = 6000;
constexpr int kPictureHeight = 4000;

// Green runs from 0 at the top to 255 at the bottom, red from the left to the right.
std::unique_ptr<CET_Dib> BigPicture() {
  return testsupport::MakeBottomUpDib(kPictureWidth, kPictureHeight, [](int x, int y) {
    return RGB(x * 255 / kPictureWidth, y * 255 / kPictureHeight, 100);
  });
}

// A review window as far as the navigator reaches it: its pane at 100 %,
// scrolled to the visible part the palette sends and repainted at once.
class ReviewWindow : public CWnd, public IAdjustPaletteFrame {
public:
  CReviewImageWnd pane;
  std::unique_ptr<CET_Dib> picture = BigPicture();
  std::unique_ptr<CET_Dib> thumbnail = testsupport::MakeBottomUpDib(150, 100, [](int x, int y) {
    return RGB(x * 255 / 150, y * 255 / 100, 100);
  });

  ReviewWindow() {
    CreateEx(0, u"Review", u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, kPaneWidth + 20, kPaneHeight + 20), nullptr, 0);
    pane.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, kPaneWidth, kPaneHeight), this, 1);
    pane.SetImage(picture.get(), TRUE, 1.0, 0, 0);
    pane.SetZoomIndex(CReviewImageWnd::kActualSizeStep);
  }
  ~ReviewWindow() override {
    pane.DestroyWindow();
    DestroyWindow();
  }
  // The last visible part the palette sent.
  FDoubleRect shown;
  void Show(const FDoubleRect& visible) {
    shown = visible;
    pane.ScrollToRelativeRect(visible);
    pane.UpdateWindow();
  }

  CWnd* GetFrameWnd() override { return this; }
  CTLM_ThumbnailData* GetThumbnailRecord(int* pending) override {
    *pending = 0;
    auto* record = new CTLM_ThumbnailData;
    record->m_Path = FString(u"/pictures/big.jpg");
    record->m_Width = kPictureWidth;
    record->m_Height = kPictureHeight;
    record->m_bFinalPicture = 1;
    auto* copy = new CET_Dib;
    copy->CopyFrom(thumbnail.get());
    record->SetPicture(copy);
    return record;
  }
  void GetCurrentState(int* slot, CET_FilterData*, CET_Dib*) override { *slot = 1; }
  void GetCustomSettings(CET_FilterData*) override {}
  void GetWarnings(int* flag, int* type, BYTE* shadow, BYTE* highlight) override {
    *flag = *type = 0;
    *shadow = 10;
    *highlight = 250;
  }
  BOOL IsCurrentSlotModified() override { return FALSE; }
  FDoubleRect GetVisibleRect() override { return {0.0, 0.0, 0.32, 0.27}; }
  BOOL IsImageReady() override { return TRUE; }

protected:
  afx_msg LRESULT OnVisibleRect(WPARAM rect, LPARAM) {
    if (rect) Show(*reinterpret_cast<const FDoubleRect*>(rect));
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ReviewWindow, CWnd)
  ON_MESSAGE(WM_APP_VISIBLE_RECT, OnVisibleRect)
END_MESSAGE_MAP()

int GreenAtCentre(CWnd& pane) {
  return GetGValue(pt::PixelAt(pt::GrabClient(pane.m_hWnd), kPaneWidth / 2, kPaneHeight / 2));
}

void BM_NavigatorDragToPaneRepaint(benchmark::State& state) {
  Application application;
  application.app.GetSettings()->m_dwPaletteState = 0x80; // the navigator open
  ReviewWindow review;
  CAdjustPalette* palette = CAdjustPalette::Open();
  if (!palette) Fail("the palette");
  FString path(u"/pictures/big.jpg");
  IAdjustPaletteFrame* followed = &review;
  palette->SendMessage(WM_APP_ACTIVE_IMAGE, reinterpret_cast<WPARAM>(&path), reinterpret_cast<LPARAM>(followed));
  pt::Pump();
  auto* navigator = dynamic_cast<CPaletteToolNavi*>(palette->GetPanel(CAdjustPalette::kNavigatorPanel));
  if (!navigator) Fail("the navigator");
  CWnd* mini = CWnd::FromHandle(navigator->GetPicture().m_hWnd);
  const CRect fit = navigator->GetPicture().FittedPictureRect();
  const CRect start = navigator->GetPicture().GetTrackerRect();
  if (start.IsRectEmpty() || fit.IsRectEmpty()) Fail("the navigator's rectangle");

  // One drag step as the tracker reports it: its rectangle moved by dx, dy.
  const auto step = [&](int dx, int dy) {
    CRect moved = start;
    moved.OffsetRect(dx, dy);
    mini->SendMessage(WM_APP_VISIBLE_RECT, reinterpret_cast<WPARAM>(&moved), 0);
  };
  // The rectangle's middle at the navigator's middle: the picture's middle
  // row (green about 127) at the pane's centre; past the bottom edge: clamped
  // to the bottom rows.
  const CPoint middle = fit.CenterPoint() - start.CenterPoint();
  step(middle.x, middle.y);
  if (std::abs(GreenAtCentre(review.pane) - 127) > 6) Fail("the pane after a drag to the middle");
  step(middle.x, fit.Height() * 4);
  const int bottomGreen = 255 * (kPictureHeight - kPaneHeight / 2) / kPictureHeight;
  if (std::abs(GreenAtCentre(review.pane) - bottomGreen) > 6) Fail("the pane after a drag past the bottom");

  // The drag walks over the picture; the pane alone makes the same scroll
  // from the same fractions.
  const int travel = fit.Width() - start.Width();
  double drag = 0, direct = 0;
  int i = 0;
  for (auto _ : state) {
    const int dx = i++ % (2 * travel) - travel / 2;
    auto t = Clock::now();
    step(dx, middle.y);
    drag += Seconds(t);
    const FDoubleRect visible = review.shown;
    t = Clock::now();
    review.Show(visible);
    direct += Seconds(t);
  }
  CAdjustPalette::Close();
  state.counters["drag_ms"] = PerIteration(state, drag);
  state.counters["pane_ms"] = PerIteration(state, direct);
  state.counters["x_pane"] = benchmark::Counter(direct > 0 ? drag / direct : 0.0);
}
BENCHMARK(BM_NavigatorDragToPaneRepaint)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
