#pragma once
// The progress dialog of a batch develop-and-save. It starts its own worker
// (BatchDevelopSaveThreadProc) once it is up, shows the picture and the number
// of each file as the worker starts it, and asks the user about an output
// file that exists on the worker's behalf: the worker waits, polling, while
// the question runs on this dialog's thread. Minimising it minimises its
// owner (the main window) instead.

#include "output/CSaveProgressDlg.h"

#include "foundation/FString.h"
#include "platform/afx/AfxMt.h"

#include <memory>
#include <vector>

class CET_ThumbnailDataManager;
class CKVR_FilterData;
class CSaveJob;

class CSaveMultiProgressDlg : public CThreadProgressDlg {
public:
  static constexpr UINT kTemplate = 284;

  // The answers of the overwrite question (the message dialog's codes).
  static constexpr int kAnswerCancel = 12;
  static constexpr int kAnswerYes = 13;
  static constexpr int kAnswerNo = 14;
  static constexpr int kAnswerYesToAll = 21;

  explicit CSaveMultiProgressDlg(CWnd* parent = nullptr);
  ~CSaveMultiProgressDlg() override;

  // Before DoModal; both stay the caller's and must outlive the dialog.
  void SetJob(CSaveJob* job) { m_pJob = job; }
  void SetThumbnailList(CET_ThumbnailDataManager* list) { m_pThumbnailList = list; }
  // After DoModal: the inputs that were saved, and in automatic mode the
  // values computed for each of them. Null is ignored.
  void GetDoneFiles(std::vector<FString>* files) const;
  void GetAutoAdjustResults(std::vector<std::unique_ptr<CKVR_FilterData>>* results) const;

  BOOL OnInitDialog() override;

  // ---- The worker's side (its own thread)
  const CSaveJob* GetJob() const { return m_pJob; }
  const CET_ThumbnailDataManager* GetThumbnailList() const { return m_pThumbnailList; }
  // Asks about the existing output of that file and waits for the answer.
  int AskOverwrite(int index);
  // A file saved; automatic: the values computed for it (copied), else null.
  void AddDoneFile(const FString& source, const CKVR_FilterData* automatic);

  const CStaticBase& CountLabel() const { return m_CountLabel; }
  const CMiniImageWnd& Picture() const { return m_Picture; }

protected:
  // The question itself, on the dialog's thread: the message dialog with the
  // output's path; one of the answers above.
  virtual int RunOverwriteQuestion(const FString& output);

  void DoDataExchange(CDataExchange* dx) override;
  afx_msg LRESULT OnFileStarted(WPARAM index, LPARAM record);
  afx_msg LRESULT OnAskOverwrite(WPARAM index, LPARAM);
  afx_msg void OnSysCommand(UINT id, LPARAM lParam);
  afx_msg void OnDestroy();
  DECLARE_MESSAGE_MAP()

private:
  CET_ThumbnailDataManager* m_pThumbnailList = nullptr;
  CSaveJob* m_pJob = nullptr;
  std::unique_ptr<CWinThread> m_pWorker;
  std::vector<FString> m_DoneFiles;
  std::vector<std::unique_ptr<CKVR_FilterData>> m_AutoResults;
  CSemaphore m_AnswerLock{1, 1};
  int m_nQuestionPending = 0;
  int m_nAnswer = -1;

  CGroupeBoxBase m_Frame;
  CMiniImageWnd m_Picture;
  CStaticBase m_ActionLabel;
  CStaticBase m_CountLabel;
};
