#include "output/print/CPrintProgressDlg.h"

#include "shell/app/AppMessages.h"
#include "shell/app/TextTables.h"
#include "shell/dialogs/DialogLayout.h"

#include "platform/win/WinGdiText.h"

#include <mutex>

namespace {

constexpr int kWhatTextId = 5904;
constexpr int kCountTextId = 5902;
constexpr int kCountFormatId = 131;

constexpr int kClientWidth = 300;
constexpr int kClientHeight = 80;
constexpr RECT kWhatRect{20, 10, 200, 30};
constexpr RECT kCountRect{200, 10, 280, 30};
constexpr RECT kProgressBarRect{20, 40, 280, 58};
constexpr RECT kCancelRect{100, 50, 200, 73};

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    using D = CPrintProgressDlg;
    dialogs::RegisterPixelTemplate(
        D::kTemplate, {kClientWidth, kClientHeight},
        {PixelItem(D::kWhatId, u"Static", WS_VISIBLE, kWhatRect),
         PixelItem(D::kCountId, u"Static", WS_VISIBLE, kCountRect),
         PixelItem(D::kProgressBarId, u"Static", WS_VISIBLE, kProgressBarRect),
         PixelItem(IDCANCEL, u"Button", WS_TABSTOP | BS_PUSHBUTTON, kCancelRect)});
  });
}

} // namespace

BEGIN_MESSAGE_MAP(CPrintProgressDlg, CThreadProgressDlg)
ON_MESSAGE(WM_APP_PRINT_PROGRESS, OnPrintProgress)
END_MESSAGE_MAP()

CPrintProgressDlg::CPrintProgressDlg(CWnd* parent) : CThreadProgressDlg(kTemplate, parent) { RegisterTemplate(); }

CPrintProgressDlg::~CPrintProgressDlg() = default;

void CPrintProgressDlg::DoDataExchange(CDataExchange* dx) {
  CThreadProgressDlg::DoDataExchange(dx);
  DDX_Control(dx, kWhatId, m_What);
  DDX_Control(dx, kCountId, m_Count);
}

BOOL CPrintProgressDlg::OnInitDialog() {
  SetCancelEnabled(FALSE);
  CThreadProgressDlg::OnInitDialog();
  dialogs::Place(m_What, kWhatRect);
  dialogs::Place(m_Count, kCountRect);
  dialogs::Place(m_ProgressBar, kProgressBarRect);
  m_What.SetStringId(kWhatTextId, DT_LEFT | DT_VCENTER | DT_SINGLELINE, FALSE);
  m_Count.SetStringId(kCountTextId, DT_RIGHT | DT_VCENTER | DT_SINGLELINE, FALSE);
  return TRUE;
}

LRESULT CPrintProgressDlg::OnPrintProgress(WPARAM wParam, LPARAM lParam) {
  const auto text = FormatTableText(dialogs::TableText(kCountFormatId),
                                    {static_cast<int>(wParam), static_cast<int>(lParam)});
  m_Count.SetText(text.value_or(std::u16string()), FALSE);
  m_Count.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  return 0;
}
