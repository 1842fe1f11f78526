#include "output/print/CTLM_PrintOptionDlg.h"

#include "output/print/PrintOptionControls.h"
#include "shell/dialogs/DialogLayout.h"

#include "platform/win/WinGdiText.h"

#include <mutex>

namespace {

constexpr int kClientWidth = 384;
constexpr int kClientHeight = 240;
constexpr RECT kFrameRect{13, 13, 371, 195};
constexpr RECT kBasicRect{22, 29, 322, 44};
constexpr RECT kBasicNoteRect{27, 46, 357, 76};
constexpr RECT kCaptureRect{22, 79, 322, 94};
constexpr RECT kCaptureNoteRect{27, 96, 357, 126};
constexpr RECT kFontRect{217, 130, 317, 153};
constexpr RECT kPositionLabelRect{27, 165, 127, 180};
constexpr RECT kPositionRect{137, 165, 317, 183};
constexpr RECT kOKRect{77, 210, 185, 233};
constexpr RECT kCancelRect{209, 210, 317, 233};

constexpr UINT kWordBreak = DT_WORDBREAK;
constexpr UINT kLeftLine = DT_VCENTER | DT_SINGLELINE;
constexpr UINT kCentredLine = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

// (text, code): below the picture (0 inside the cell, 7-9), over its bottom (4-6).
const std::vector<std::pair<int, int>> kPositions{{5512, 0}, {5513, 7}, {5514, 8}, {5515, 9},
                                                   {5516, 4}, {5517, 5}, {5518, 6}};

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    using D = CTLM_PrintOptionDlg;
    constexpr DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    constexpr DWORD check = WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW;
    dialogs::RegisterPixelTemplate(
        D::kTemplate, {kClientWidth, kClientHeight},
        {PixelItem(D::kFrameId, u"Static", WS_VISIBLE, kFrameRect),
         PixelItem(D::kBasicId, u"Button", check, kBasicRect),
         PixelItem(D::kBasicNoteId, u"Static", WS_VISIBLE, kBasicNoteRect),
         PixelItem(D::kCaptureId, u"Button", check, kCaptureRect),
         PixelItem(D::kCaptureNoteId, u"Static", WS_VISIBLE, kCaptureNoteRect),
         PixelItem(D::kFontId, u"Button", button, kFontRect),
         PixelItem(D::kPositionLabelId, u"Static", WS_VISIBLE, kPositionLabelRect),
         PixelItem(D::kPositionId, u"ComboBox", WS_VISIBLE | WS_TABSTOP, kPositionRect),
         PixelItem(IDOK, u"Button", button, kOKRect), PixelItem(IDCANCEL, u"Button", button, kCancelRect)});
  });
}

} // namespace

BEGIN_MESSAGE_MAP(CTLM_PrintOptionDlg, CDialogBase)
ON_CONTROL(BN_CLICKED, CTLM_PrintOptionDlg::kFontId, OnFont)
END_MESSAGE_MAP()

CTLM_PrintOptionDlg::CTLM_PrintOptionDlg(CWnd* parent) : CDialogBase(kTemplate, parent) { RegisterTemplate(); }

CTLM_PrintOptionDlg::~CTLM_PrintOptionDlg() = default;

void CTLM_PrintOptionDlg::DoDataExchange(CDataExchange* dx) {
  CDialogBase::DoDataExchange(dx);
  DDX_Control(dx, kFrameId, m_Frame);
  DDX_Control(dx, kBasicId, m_Basic);
  DDX_Control(dx, kBasicNoteId, m_BasicNote);
  DDX_Control(dx, kCaptureId, m_Capture);
  DDX_Control(dx, kCaptureNoteId, m_CaptureNote);
  DDX_Control(dx, kFontId, m_Font);
  DDX_Control(dx, kPositionLabelId, m_PositionLabel);
  DDX_Control(dx, kPositionId, m_Position);
  DDX_Control(dx, IDOK, m_OK);
  DDX_Control(dx, IDCANCEL, m_Cancel);
}

BOOL CTLM_PrintOptionDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  m_Basic.SetIconStyle(0);
  m_Capture.SetIconStyle(0);
  m_Frame.SetColors(RGB(0, 0, 0), printoptions::kOptionBackground);
  dialogs::SetClientSize(*this, kClientWidth, kClientHeight);
  const std::pair<CWnd*, RECT> places[] = {
      {&m_Frame, kFrameRect},     {&m_Basic, kBasicRect}, {&m_BasicNote, kBasicNoteRect},
      {&m_Capture, kCaptureRect}, {&m_CaptureNote, kCaptureNoteRect}, {&m_Font, kFontRect},
      {&m_PositionLabel, kPositionLabelRect}, {&m_Position, kPositionRect}, {&m_OK, kOKRect},
      {&m_Cancel, kCancelRect}};
  for (const auto& [control, rect] : places) dialogs::Place(*control, rect);
  SetWindowText(dialogs::TableText(5500).c_str());
  m_Basic.SetStringId(5502, kLeftLine);
  m_BasicNote.SetStringId(5503, kWordBreak, FALSE);
  m_Capture.SetStringId(5504, kLeftLine);
  m_CaptureNote.SetStringId(5505, kWordBreak, FALSE);
  m_Font.SetStringId(5511, kCentredLine);
  m_PositionLabel.SetStringId(5510, kCentredLine, FALSE);
  m_OK.SetStringId(6216, kCentredLine);
  m_Cancel.SetStringId(6217, kCentredLine);
  m_Position.SetTextStyleById(102);
  printoptions::FillPositions(m_Position, kPositions);
  for (CStaticBase* text : {&m_BasicNote, &m_CaptureNote, &m_PositionLabel})
    text->SetBkColor(printoptions::kOptionBackground);
  m_Basic.SetBkColor(printoptions::kOptionBackground);
  m_Capture.SetBkColor(printoptions::kOptionBackground);
  m_Font.SetBkColor(printoptions::kOptionBackground);
  UpdateControls();
  return TRUE;
}

void CTLM_PrintOptionDlg::UpdateControls() {
  m_Basic.SetCheck(m_Setting.m_nBasic != 0 ? 1 : 0);
  m_Capture.SetCheck(m_Setting.m_nCapture != 0 ? 1 : 0);
  printoptions::SelectPosition(m_Position, m_Setting.m_nPos);
}

void CTLM_PrintOptionDlg::OnOK() {
  m_Setting.m_nBasic = m_Basic.GetCheck() ? 1 : 0;
  m_Setting.m_nCapture = m_Capture.GetCheck() ? 1 : 0;
  m_Setting.m_nPos = printoptions::SelectedPosition(m_Position);
  EndDialog(IDOK);
}

void CTLM_PrintOptionDlg::OnFont() {
  printoptions::ChoosePrintFont(this, m_Setting.m_Font, m_Setting.m_Coler, true);
}
