#pragma once
// The progress dialog of one develop-and-save: the thread progress dialog
// with the small picture of the image being saved, what is being done and
// which file of how many it is.

#include "output/CThreadProgressDlg.h"
#include "review/controls/CMiniImageWnd.h"
#include "toolkit/CGroupeBoxBase.h"
#include "toolkit/CStaticBase.h"

class CTLM_ThumbnailData;

class CSaveProgressDlg : public CThreadProgressDlg {
public:
  static constexpr UINT kTemplate = 244;
  static constexpr int kFrameId = 1143;
  static constexpr int kPictureId = 1164;
  static constexpr int kActionLabelId = 1165;
  static constexpr int kCountLabelId = 1166;

  explicit CSaveProgressDlg(CWnd* parent = nullptr);

  // Before DoModal: which file of how many, and the image's picture (copied).
  void SetFileCount(int number, int count);
  void SetThumbnail(const CTLM_ThumbnailData* thumbnail);

  BOOL OnInitDialog() override;

  const CMiniImageWnd& Picture() const { return m_Picture; }
  const CStaticBase& CountLabel() const { return m_CountLabel; }

protected:
  void DoDataExchange(CDataExchange* dx) override;

  int m_nFileNumber = 0;
  int m_nFileCount = 0;
  CGroupeBoxBase m_Frame;
  CMiniImageWnd m_Picture;
  CStaticBase m_ActionLabel;
  CStaticBase m_CountLabel;
};

namespace saveprogress {

// Registers a save progress template (the frame, both labels, the bar and
// Cancel; the picture window is made when the dialog opens).
void RegisterTemplate(UINT templateId);
// Lays out a dialog of that template once the base has initialised it:
// client size, frame, picture window (made here), labels, bar and Cancel.
void Layout(CThreadProgressDlg& dialog, CGroupeBoxBase& frame, CMiniImageWnd& picture, CStaticBase& action,
            CStaticBase& count, CProgressBarBase& bar, CBasicButton& cancel);
// Text 131 with the number and the count ("3 / 10").
std::u16string FileCountText(int number, int count);

} // namespace saveprogress
