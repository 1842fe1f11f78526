#include "output/print/CTLM_PrintOptionHeadDlg.h"

#include "output/print/PrintOptionControls.h"
#include "shell/dialogs/DialogLayout.h"

#include "platform/win/WinGdiText.h"

#include <mutex>

namespace {

constexpr int kClientWidth = 384;
constexpr int kClientHeight = 160;
constexpr RECT kFrameRect{13, 13, 371, 115};
constexpr RECT kTextRect{27, 30, 250, 48};
constexpr RECT kFontRect{257, 30, 357, 53};
constexpr RECT kPositionLabelRect{27, 75, 127, 90};
constexpr RECT kPositionRect{137, 75, 317, 93};
constexpr RECT kOKRect{77, 130, 185, 153};
constexpr RECT kCancelRect{209, 130, 317, 153};

constexpr UINT kCentredLine = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

// (text, code): top left, centre, right; bottom left, centre, right.
const std::vector<std::pair<int, int>> kPositions{{5521, 1}, {5522, 2}, {5523, 3},
                                                   {5524, 4}, {5525, 5}, {5526, 6}};

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    using D = CTLM_PrintOptionHeadDlg;
    constexpr DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    dialogs::RegisterPixelTemplate(
        D::kTemplate, {kClientWidth, kClientHeight},
        {PixelItem(D::kFrameId, u"Static", WS_VISIBLE, kFrameRect),
         PixelItem(D::kTextId, WC_EDIT, WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, kTextRect),
         PixelItem(D::kFontId, u"Button", button, kFontRect),
         PixelItem(D::kPositionLabelId, u"Static", WS_VISIBLE, kPositionLabelRect),
         PixelItem(D::kPositionId, u"ComboBox", WS_VISIBLE | WS_TABSTOP, kPositionRect),
         PixelItem(IDOK, u"Button", button, kOKRect), PixelItem(IDCANCEL, u"Button", button, kCancelRect)});
  });
}

} // namespace

BEGIN_MESSAGE_MAP(CTLM_PrintOptionHeadDlg, CDialogBase)
ON_CONTROL(BN_CLICKED, CTLM_PrintOptionHeadDlg::kFontId, OnFont)
END_MESSAGE_MAP()

CTLM_PrintOptionHeadDlg::CTLM_PrintOptionHeadDlg(CWnd* parent) : CDialogBase(kTemplate, parent) {
  RegisterTemplate();
}

CTLM_PrintOptionHeadDlg::~CTLM_PrintOptionHeadDlg() = default;

void CTLM_PrintOptionHeadDlg::DoDataExchange(CDataExchange* dx) {
  CDialogBase::DoDataExchange(dx);
  DDX_Control(dx, kFrameId, m_Frame);
  DDX_Control(dx, kTextId, m_Text);
  DDX_Control(dx, kFontId, m_Font);
  DDX_Control(dx, kPositionLabelId, m_PositionLabel);
  DDX_Control(dx, kPositionId, m_Position);
  DDX_Control(dx, IDOK, m_OK);
  DDX_Control(dx, IDCANCEL, m_Cancel);
}

BOOL CTLM_PrintOptionHeadDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  SetWindowText(dialogs::TableText(5519).c_str());
  m_Frame.SetColors(RGB(0, 0, 0), printoptions::kOptionBackground);
  m_Frame.SetRoundCorners(1);
  m_Font.SetStringId(5511, kCentredLine);
  m_PositionLabel.SetStringId(5510, kCentredLine, FALSE);
  m_OK.SetStringId(5527, kCentredLine);
  m_Cancel.SetStringId(5528, kCentredLine);
  m_PositionLabel.SetBkColor(printoptions::kOptionBackground);
  m_Font.SetBkColor(printoptions::kOptionBackground);
  m_Position.SetTextStyleById(102);
  printoptions::FillPositions(m_Position, kPositions);
  dialogs::SetClientSize(*this, kClientWidth, kClientHeight);
  const std::pair<CWnd*, RECT> places[] = {{&m_Frame, kFrameRect},
                                           {&m_Text, kTextRect},
                                           {&m_Font, kFontRect},
                                           {&m_PositionLabel, kPositionLabelRect},
                                           {&m_Position, kPositionRect},
                                           {&m_OK, kOKRect},
                                           {&m_Cancel, kCancelRect}};
  for (const auto& [control, rect] : places) dialogs::Place(*control, rect);
  m_Text.SetWindowText(std::u16string(m_Setting.m_strHeadFoot.View()).c_str());
  printoptions::SelectPosition(m_Position, m_Setting.m_nPos);
  return TRUE;
}

void CTLM_PrintOptionHeadDlg::OnOK() {
  m_Setting.m_strHeadFoot = FString(m_Text.GetWindowText());
  m_Setting.m_nPos = printoptions::SelectedPosition(m_Position);
  EndDialog(IDOK);
}

void CTLM_PrintOptionHeadDlg::OnFont() {
  printoptions::ChoosePrintFont(this, m_Setting.m_Font, m_Setting.m_Coler, false);
}
