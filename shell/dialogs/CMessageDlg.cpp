#include "shell/dialogs/CMessageDlg.h"

#include "shell/dialogs/DialogLayout.h"

#include "platform/win/WinGdiText.h"

#include <mutex>

namespace {

constexpr int kTitleTextId = 9000;
constexpr int kOKTextId = 9001;
constexpr int kCancelTextId = 9002;
constexpr int kYesTextId = 9003;
constexpr int kNoTextId = 9004;
constexpr int kReplaceQuestionTextId = 9005;
constexpr int kPathLookTextId = 9006;
constexpr int kYesToAllTextId = 9007;
constexpr int kMessageLookTextId = 9008;

constexpr int kClientWidth = 460;
constexpr int kClientHeight = 160;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 23;
constexpr int kLineWidth = 440;
constexpr int kLineHeight = 20;
constexpr POINT kFirstLineAt{10, 30};
constexpr POINT kSecondLineAt{10, 60};
// Where the buttons wait, hidden, until a style places them.
constexpr POINT kButton1At{20, 100};
constexpr POINT kButton2At{330, 100};
constexpr POINT kYesToAllAt{20, 130};
constexpr POINT kLastButtonAt{330, 130};

// Messages and paths are not ours: an "&" in them is a character, not a prefix.
constexpr UINT kLineFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
constexpr UINT kPathFormat = DT_VCENTER | DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_MODIFYSTRING | DT_NOPREFIX;
constexpr UINT kButtonFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

RECT LineAt(POINT at) { return {at.x, at.y, at.x + kLineWidth, at.y + kLineHeight}; }
RECT ButtonAt(POINT at) { return {at.x, at.y, at.x + kButtonWidth, at.y + kButtonHeight}; }

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    constexpr DWORD button = BS_PUSHBUTTON | WS_TABSTOP;
    dialogs::RegisterPixelTemplate(CMessageDlg::kTemplate, {kClientWidth, kClientHeight},
                                   {PixelItem(CMessageDlg::kFirstLineId, u"Static", 0, LineAt(kFirstLineAt)),
                                    PixelItem(CMessageDlg::kSecondLineId, u"Static", 0, LineAt(kSecondLineAt)),
                                    PixelItem(IDOK, u"Button", button, ButtonAt(kButton1At)),
                                    PixelItem(IDCANCEL, u"Button", button, ButtonAt(kButton2At)),
                                    PixelItem(CMessageDlg::kYesToAllId, u"Button", button, ButtonAt(kYesToAllAt)),
                                    PixelItem(CMessageDlg::kLastButtonId, u"Button", button, ButtonAt(kLastButtonAt))});
  });
}

// The styles that leave the second line free for a sub-message.
bool SecondLineFree(int style) {
  return style == kMessageStyleOK || style == kMessageStyleOKCancel || style == kMessageStyleYesNo;
}

} // namespace

BEGIN_MESSAGE_MAP(CMessageDlg, CDialogBase)
  ON_CONTROL(BN_CLICKED, IDOK, OnButton1)
  ON_CONTROL(BN_CLICKED, IDCANCEL, OnButton2)
  ON_CONTROL(BN_CLICKED, CMessageDlg::kYesToAllId, OnButtonYesToAll)
  ON_CONTROL(BN_CLICKED, CMessageDlg::kLastButtonId, OnButtonLast)
  ON_WM_CLOSE()
END_MESSAGE_MAP()

CMessageDlg::CMessageDlg(CWnd* parent) : CDialogBase(kTemplate, parent) { RegisterTemplate(); }

CMessageDlg::~CMessageDlg() = default;

void CMessageDlg::SetMessage(int style, const FString& text) {
  m_nStyle = style;
  m_strMessage = text;
  switch (style) {
  case kMessageStyleOK: m_nResult1 = kMessageOK; break;
  case kMessageStyleOKCancel:
    m_nResult1 = kMessageOK;
    m_nResult2 = kMessageCancel;
    break;
  case kMessageStyleOverwrite:
  case kMessageStyleYesNo:
    m_nResult1 = kMessageYes;
    m_nResult2 = kMessageNo;
    break;
  case kMessageStyleOverwriteMany:
    m_nResult1 = kMessageYes;
    m_nResult2 = kMessageNo;
    m_nResultYesToAll = kMessageYesToAll;
    m_nResultLast = kMessageCancel;
    break;
  default: break;
  }
}

void CMessageDlg::SetTitle(int textId) { m_strTitle = FString(dialogs::TableText(textId)); }

void CMessageDlg::SetSubMessage(int textId) { m_nSubMessageId = textId; }

int CMessageDlg::GetButtonResult(int buttonId) const {
  switch (buttonId) {
  case IDOK: return m_nResult1;
  case IDCANCEL: return m_nResult2;
  case kYesToAllId: return m_nResultYesToAll;
  case kLastButtonId: return m_nResultLast;
  default: return 0;
  }
}

void CMessageDlg::DoDataExchange(CDataExchange* dx) {
  CDialogBase::DoDataExchange(dx);
  DDX_Control(dx, kFirstLineId, m_FirstLine);
  DDX_Control(dx, kSecondLineId, m_SecondLine);
  DDX_Control(dx, IDOK, m_Button1);
  DDX_Control(dx, IDCANCEL, m_Button2);
  DDX_Control(dx, kYesToAllId, m_ButtonYesToAll);
  DDX_Control(dx, kLastButtonId, m_ButtonLast);
}

BOOL CMessageDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  if (m_strTitle.GetLength() == 0) m_strTitle = FString(dialogs::TableText(kTitleTextId));
  HideAndResetControls();
  ShowStyle();
  dialogs::SetClientSize(*this, kClientWidth, kClientHeight);
  SetWindowText(m_strTitle.GetText());
  return TRUE;
}

void CMessageDlg::HideAndResetControls() {
  const std::pair<CWnd*, RECT> defaults[] = {
      {&m_FirstLine, LineAt(kFirstLineAt)},      {&m_SecondLine, LineAt(kSecondLineAt)},
      {&m_Button1, ButtonAt(kButton1At)},         {&m_Button2, ButtonAt(kButton2At)},
      {&m_ButtonYesToAll, ButtonAt(kYesToAllAt)}, {&m_ButtonLast, ButtonAt(kLastButtonAt)}};
  for (const auto& [control, rect] : defaults) {
    control->ShowWindow(SW_HIDE);
    dialogs::Place(*control, rect);
  }
}

void CMessageDlg::ShowStyle() {
  switch (m_nStyle) {
  case kMessageStyleOK:
    ShowLine(m_FirstLine, kMessageLookTextId, kLineFormat, &m_strMessage);
    ShowButton(m_Button1, {180, 110}, kOKTextId);
    break;
  case kMessageStyleOKCancel:
    ShowLine(m_FirstLine, kMessageLookTextId, kLineFormat, &m_strMessage);
    ShowButton(m_Button1, {20, 120}, kOKTextId);
    ShowButton(m_Button2, {330, 120}, kCancelTextId);
    break;
  case kMessageStyleOverwrite:
    ShowLine(m_FirstLine, kReplaceQuestionTextId, kLineFormat, nullptr);
    ShowLine(m_SecondLine, kPathLookTextId, kPathFormat, &m_strMessage);
    ShowButton(m_Button1, {20, 130}, kYesTextId);
    ShowButton(m_Button2, {330, 130}, kNoTextId);
    break;
  case kMessageStyleOverwriteMany:
    ShowLine(m_FirstLine, kReplaceQuestionTextId, kLineFormat, nullptr);
    ShowLine(m_SecondLine, kPathLookTextId, kPathFormat, &m_strMessage);
    ShowButton(m_Button1, {20, 100}, kYesTextId);
    ShowButton(m_Button2, {330, 100}, kNoTextId);
    ShowButton(m_ButtonYesToAll, {20, 130}, kYesToAllTextId);
    ShowButton(m_ButtonLast, {330, 130}, kCancelTextId);
    break;
  case kMessageStyleYesNo:
    ShowLine(m_FirstLine, kReplaceQuestionTextId, kLineFormat, nullptr);
    ShowButton(m_Button1, {20, 130}, kYesTextId);
    ShowButton(m_Button2, {330, 130}, kNoTextId);
    break;
  default: return; // an unknown style shows nothing
  }
  if (m_nSubMessageId != 0 && SecondLineFree(m_nStyle)) {
    ShowLine(m_SecondLine, m_nSubMessageId, kLineFormat, nullptr);
  }
}

// A line in the look (text, font, colour) of a text of the table; a given
// text replaces only the look's text.
void CMessageDlg::ShowLine(CStaticBase& line, int lookTextId, UINT format, const FString* text) {
  line.SetStringId(lookTextId, format, FALSE);
  if (text) line.SetText(std::u16string(text->View()), FALSE);
  line.ShowWindow(SW_SHOW);
}

void CMessageDlg::ShowButton(CBasicButton& button, POINT at, int captionTextId) {
  button.SetStringId(captionTextId, kButtonFormat);
  dialogs::Place(button, ButtonAt(at));
  button.ShowWindow(SW_SHOW);
}

// Enter never closes the box.
void CMessageDlg::OnOK() {}

void CMessageDlg::OnCancel() { EndDialog(kMessageCancel); }

// Enter does nothing and Esc cancels, whichever button has the focus: the
// dialog keys would otherwise click button 1 or 2, whose results depend on
// the style.
BOOL CMessageDlg::PreTranslateMessage(MSG* msg) {
  if (msg && msg->message == WM_KEYDOWN && (msg->hwnd == m_hWnd || ::IsChild(m_hWnd, msg->hwnd))) {
    if (msg->wParam == VK_RETURN) return TRUE;
    if (msg->wParam == VK_ESCAPE) {
      OnCancel();
      return TRUE;
    }
  }
  return CDialogBase::PreTranslateMessage(msg);
}

void CMessageDlg::OnClose() { OnCancel(); }

void CMessageDlg::OnButton1() { EndDialog(m_nResult1); }
void CMessageDlg::OnButton2() { EndDialog(m_nResult2); }
void CMessageDlg::OnButtonYesToAll() { EndDialog(m_nResultYesToAll); }
void CMessageDlg::OnButtonLast() { EndDialog(m_nResultLast); }

int ShowTableMessage(CWnd* parent, int style, int textId) {
  CMessageDlg box(parent);
  box.SetMessage(style, FString(dialogs::TableText(textId)));
  return static_cast<int>(box.DoModal());
}
