#include "output/CSaveMultiProgressDlg.h"

#include "output/SaveWorkers.h"
#include "shell/app/AppMessages.h"
#include "shell/dialogs/CMessageDlg.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CSaveJob.h"
#include "shell/facade/CTLM_ThumbnailData.h"

#include "platform/win/WinBase.h"

namespace {

// How often the waiting worker looks for the answer.
constexpr DWORD kAnswerPollMs = 200;

} // namespace

BEGIN_MESSAGE_MAP(CSaveMultiProgressDlg, CThreadProgressDlg)
ON_MESSAGE(WM_APP_SAVE_FILE_STARTED, OnFileStarted)
ON_MESSAGE(WM_APP_SAVE_ASK_OVERWRITE, OnAskOverwrite)
ON_WM_SYSCOMMAND()
ON_WM_DESTROY()
END_MESSAGE_MAP()

CSaveMultiProgressDlg::CSaveMultiProgressDlg(CWnd* parent) : CThreadProgressDlg(kTemplate, parent) {
  saveprogress::RegisterTemplate(kTemplate);
}

CSaveMultiProgressDlg::~CSaveMultiProgressDlg() = default;

void CSaveMultiProgressDlg::GetDoneFiles(std::vector<FString>* files) const {
  if (files) *files = m_DoneFiles;
}

void CSaveMultiProgressDlg::GetAutoAdjustResults(std::vector<std::unique_ptr<CKVR_FilterData>>* results) const {
  if (!results) return;
  results->clear();
  for (const auto& result : m_AutoResults) {
    results->emplace_back(static_cast<CKVR_FilterData*>(result->Clone()));
  }
}

void CSaveMultiProgressDlg::DoDataExchange(CDataExchange* dx) {
  CThreadProgressDlg::DoDataExchange(dx);
  DDX_Control(dx, CSaveProgressDlg::kFrameId, m_Frame);
  DDX_Control(dx, CSaveProgressDlg::kActionLabelId, m_ActionLabel);
  DDX_Control(dx, CSaveProgressDlg::kCountLabelId, m_CountLabel);
}

BOOL CSaveMultiProgressDlg::OnInitDialog() {
  CThreadProgressDlg::OnInitDialog();
  saveprogress::Layout(*this, m_Frame, m_Picture, m_ActionLabel, m_CountLabel, m_ProgressBar, m_Cancel);
  m_pWorker.reset(AfxBeginThread(BatchDevelopSaveThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
  if (!m_pWorker) {
    // Nothing can run: the dialog ends at once instead of waiting for ever.
    PostMessage(WM_APP_THREAD_PROGRESS, static_cast<WPARAM>(-1), 1);
    return TRUE;
  }
  m_pWorker->m_bAutoDelete = FALSE;
  SetThread(m_pWorker.get());
  return TRUE;
}

LRESULT CSaveMultiProgressDlg::OnFileStarted(WPARAM index, LPARAM record) {
  const int count = m_pJob ? static_cast<int>(m_pJob->m_aInputs.size()) : 0;
  m_CountLabel.SetText(saveprogress::FileCountText(static_cast<int>(index) + 1, count), TRUE);
  // The record is this dialog's once it was posted.
  auto* thumbnail = reinterpret_cast<CTLM_ThumbnailData*>(record);
  m_Picture.SetThumbnail(thumbnail);
  if (thumbnail) {
    thumbnail->Reset();
    thumbnail->Delete();
  }
  return 0;
}

LRESULT CSaveMultiProgressDlg::OnAskOverwrite(WPARAM index, LPARAM) {
  FString output;
  if (m_pJob && index < m_pJob->m_aOutputs.size()) output = m_pJob->m_aOutputs[index];
  const int answer = RunOverwriteQuestion(output);
  CSingleLock lock(&m_AnswerLock, TRUE);
  m_nAnswer = answer;
  m_nQuestionPending = 0;
  return 0;
}

int CSaveMultiProgressDlg::RunOverwriteQuestion(const FString& output) {
  CMessageDlg question(nullptr);
  question.SetMessage(kMessageStyleOverwriteMany, output);
  return static_cast<int>(question.DoModal());
}

int CSaveMultiProgressDlg::AskOverwrite(int index) {
  {
    CSingleLock lock(&m_AnswerLock, TRUE);
    m_nQuestionPending = 1;
    m_nAnswer = -1;
  }
  PostMessage(WM_APP_SAVE_ASK_OVERWRITE, static_cast<WPARAM>(index), 0);
  for (;;) {
    Sleep(kAnswerPollMs);
    CSingleLock lock(&m_AnswerLock, TRUE);
    if (m_nQuestionPending == 0) return m_nAnswer;
  }
}

void CSaveMultiProgressDlg::AddDoneFile(const FString& source, const CKVR_FilterData* automatic) {
  m_DoneFiles.push_back(source);
  if (automatic) m_AutoResults.emplace_back(static_cast<CKVR_FilterData*>(automatic->Clone()));
}

// Minimising the batch minimises the main window, and the dialog with it.
void CSaveMultiProgressDlg::OnSysCommand(UINT id, LPARAM lParam) {
  CWnd* owner = GetOwner();
  if ((id & 0xFFF0) == SC_MINIMIZE && owner) {
    owner->PostMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    return;
  }
  CThreadProgressDlg::OnSysCommand(id, lParam);
}

void CSaveMultiProgressDlg::OnDestroy() { CThreadProgressDlg::OnDestroy(); }
