#pragma once
// The review windows and palettes the program installs in its main frame
// (CMainFrame::SetReviewWindows): every way of opening a picture in the
// browser makes or reuses a CReviewFrame through it.

#include "shell/frame/ReviewWindows.h"

class IReviewFrameHost;
class ReviewViewServices;

class CReviewWindows : public IReviewWindows {
public:
  // The program's own host (the main frame) and services by default.
  CReviewWindows();
  CReviewWindows(IReviewFrameHost& host, ReviewViewServices& services);

  IReviewFrame* CreateReviewFrame() override;
  BOOL CanCreateReviewFrame() const override { return TRUE; }
  BOOL HasInfoPalette() const override;
  CWnd* GetInfoPalette() override;
  CWnd* OpenInfoPalette() override;
  void CloseInfoPalette() override;
  CWnd* GetAdjustPalette() override;
  void CloseAdjustPalette() override;

private:
  IReviewFrameHost& m_Host;
  ReviewViewServices& m_Services;
};
