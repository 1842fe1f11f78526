// The review windows' host in the program: the browser's main frame.

#include "review/frame/ReviewFrameHost.h"

#include "shell/frame/CMainFrame.h"

namespace {

class MainFrameHost : public IReviewFrameHost {
public:
  CWnd* GetMainWnd() override { return GetMainFrame(); }
  void ReorderReviewFrame(IReviewFrame* frame, int action) override {
    if (CMainFrame* main = GetMainFrame()) main->ReorderReviewFrame(frame, action);
  }
  int GetReviewFrameCount() override {
    CMainFrame* main = GetMainFrame();
    return main ? main->GetReviewFrameCount() : 0;
  }
  void GetImagePosition(const FString& path, int* index, int* count) override {
    if (CMainFrame* main = GetMainFrame()) {
      main->GetImagePosition(path, index, count);
    } else {
      *index = -1;
      *count = -1;
    }
  }
  FString GetNextImagePath(const FString& path) override {
    CMainFrame* main = GetMainFrame();
    return main ? main->GetNextImagePath(path) : FString();
  }
  FString GetPrevImagePath(const FString& path) override {
    CMainFrame* main = GetMainFrame();
    return main ? main->GetPrevImagePath(path) : FString();
  }
  CTLM_ThumbnailData* FindThumbnail(const FString& path) override {
    CMainFrame* main = GetMainFrame();
    return main ? main->FindThumbnail(path) : nullptr;
  }
  BOOL IsThumbnailLoading() override {
    CMainFrame* main = GetMainFrame();
    return main ? main->IsThumbnailLoading() : FALSE;
  }
  BOOL HasProgressDialog() override {
    CMainFrame* main = GetMainFrame();
    return main ? main->HasProgressDialog() : FALSE;
  }
};

} // namespace

IReviewFrameHost& MainFrameReviewHost() {
  static MainFrameHost host;
  return host;
}
