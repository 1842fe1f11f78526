// The print preparation worker's messages: per picture its number and the
// bar's start and end, then the finish message once, and nothing but the
// finish for an empty list; and a page's pictures prepared under the progress
// dialog.

#include "output/print/PrintLoadWorker.h"

#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "output/RecordingProgressDlg.h"
#include "support/MovieWriter.h"
#include "support/PictureFileBuilder.h"
#include "support/TestSupport.h"

#include "shell/app/AppMessages.h"
#include "toolkit/PictureFileTypes.h"

#include "platform/testing/Headless.h"

#include "support/DibBuilder.h"

#include <gtest/gtest.h>

#include <thread>

namespace pt = platform::testing;

namespace {

std::unique_ptr<CET_Dib> Picture() {
  return testsupport::MakeBottomUpDib(2, 2, [](int, int) { return RGB(0, 0, 0); });
}

struct StillSource : PrintPictureSource {
  int FileType(const FString&) override { return ETFILETYPE_JPEG; }
  std::unique_ptr<CET_Dib> DevelopRaw(const FString&, const CET_FilterData*) override { return nullptr; }
  std::unique_ptr<CET_Dib> GrabMovieFrame(const FString&) override { return nullptr; }
  std::unique_ptr<CET_Dib> LoadStill(const FString&) override { return Picture(); }
  std::unique_ptr<CET_Dib> Filter(const CET_Dib&, const CET_FilterData&) override { return nullptr; }
  std::vector<std::u16string> InfoLines(const FString&) override { return {u"", u"", u""}; }
};

// A window standing for the progress dialog: it records what it is posted.
class ProgressWindow : public CWnd, public IThreadProgressDialog {
public:
  std::vector<std::tuple<UINT, WPARAM, LPARAM>> received;
  HWND GetProgressWindow() const override { return m_hWnd; }
  BOOL IsCancelled() const override { return FALSE; }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APP_PRINT_PROGRESS || message == WM_APP_THREAD_PROGRESS)
      received.emplace_back(message, wParam, lParam);
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

} // namespace

TEST(PrintLoadWorker, PostsEachPicturesStepsThenItsFinish) {
  pt::Init();
  ProgressWindow window;
  ASSERT_TRUE(window.CreateEx(0, nullptr, u"progress", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
  std::vector<std::unique_ptr<CET_PrintPictData>> owned;
  std::vector<CET_PrintPictData*> pictures;
  for (int i = 0; i < 2; ++i) {
    owned.push_back(std::make_unique<CET_PrintPictData>());
    pictures.push_back(owned.back().get());
  }
  StillSource source;
  PrintLoadParam param;
  param.pictures = &pictures;
  param.progress = &window;
  param.source = &source;
  param.startPause = param.endPause = 0;
  std::thread worker([&param] { PrintLoadThreadProc(&param); });
  worker.join();
  pt::Pump();
  using M = std::tuple<UINT, WPARAM, LPARAM>;
  const std::vector<M> expected{
      {WM_APP_PRINT_PROGRESS, 1, 2}, {WM_APP_THREAD_PROGRESS, 0, 0}, {WM_APP_THREAD_PROGRESS, 100, 0},
      {WM_APP_PRINT_PROGRESS, 2, 2}, {WM_APP_THREAD_PROGRESS, 0, 0}, {WM_APP_THREAD_PROGRESS, 100, 0},
      {WM_APP_THREAD_PROGRESS, 100, 1}};
  EXPECT_EQ(window.received, expected);
  EXPECT_TRUE(owned[0]->m_picture && owned[1]->m_picture);

  window.received.clear();
  std::vector<CET_PrintPictData*> none;
  param.pictures = &none;
  PrintLoadThreadProc(&param);
  pt::Pump();
  EXPECT_EQ(window.received, (std::vector<M>{{WM_APP_THREAD_PROGRESS, 100, 1}})) << "an empty list finishes at once";
  window.DestroyWindow();
}

TEST(PrintLoadWorker, APagePreparedUnderTheProgressDialog) {
  pt::Init();
  InitStorageClasses();
  testsupport::TempDir dir;
  const auto jpeg = dir.Path() / "still.jpg";
  const auto bytes = testsupport::QuarterJpeg(64, 48);
  testsupport::WriteFileBytes(jpeg, std::string(bytes.begin(), bytes.end()));
  testsupport::MovieShape shape;
  shape.frames = 20;
  const auto movie = dir.Path() / "clip.avi";
  testsupport::WriteMovie(movie, shape);
  std::vector<std::unique_ptr<CET_PrintPictData>> owned;
  std::vector<CET_PrintPictData*> list;
  for (const auto& path : {jpeg, movie}) {
    owned.push_back(std::make_unique<CET_PrintPictData>());
    owned.back()->m_path = PathFromNative(path.string());
    list.push_back(owned.back().get());
  }
  testsupport::RecordingProgressDlg progress;
  pt::OnNextModal([&](HWND) { progress.PumpUntilEnded(); });
  RunPrintPreparation(progress, nullptr, list, FALSE, nullptr);
  EXPECT_EQ(progress.finishedWith, 100);
  EXPECT_EQ(progress.posted, (std::vector<int>{0, 100, 0, 100}));
  ASSERT_TRUE(owned[0]->m_picture);
  EXPECT_EQ(owned[0]->m_picture->GetWidth(), 64);
  ASSERT_TRUE(owned[1]->m_picture);
  EXPECT_EQ(owned[1]->m_picture->GetWidth(), 320);
  EXPECT_EQ(owned[1]->m_infoLines.size(), 3u);
}
