#include "shell/app/CLicenseDlg.h"

#include "platform/afx/AfxButton.h"
#include "platform/win/WinControls.h"
#include "platform/win/WinGdi.h"
#include "shell/app/AppDialogLayout.h"
#include "shell/app/AppFolders.h"
#include "shell/app/TextTables.h"

namespace {

constexpr int kTitleTextId = 7100;
constexpr int kCaptionTextId = 7101;
constexpr int kCopyTextId = 7102;
constexpr int kMissingTextId = 7103;
constexpr int kOkTextId = 6216;
constexpr UINT kButtonFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

void RegisterTemplate()
{
    const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW;
    DialogItemTemplate caption{CLicenseDlg::kCaptionId, u"Static", WS_VISIBLE, 0, {16, 6, 316, 15}, u""};
    DialogItemTemplate text{CLicenseDlg::kTextEditId, WC_EDIT,
                            WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 0, {11, 18, 311, 335},
                            u""};
    DialogItemTemplate copy{CLicenseDlg::kCopyButtonId, u"Button", button, 0, {40, 342, 173, 356}, u""};
    DialogItemTemplate ok{IDOK, u"Button", button, 0, {220, 342, 292, 356}, u"OK"};
    RegisterAppDialogTemplate(CLicenseDlg::kTemplateId, {332, 359}, {caption, text, copy, ok});
}

} // namespace

std::u16string ReadLicenceText(const FString& path)
{
    std::string bytes;
    if (!ReadTextTableFile(path, bytes) || bytes.size() < 2)
        return {};
    size_t at = 0;
    const auto first = static_cast<unsigned char>(bytes[0]);
    const auto second = static_cast<unsigned char>(bytes[1]);
    if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF))
        at = 2;
    std::u16string text;
    std::u16string line;
    bool open = false;
    for (; at + 1 < bytes.size(); at += 2) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[at]) |
                                                static_cast<unsigned char>(bytes[at + 1]) << 8);
        open = true;
        if (unit == u'\n') {
            text += line + u"\r\n";
            line.clear();
            open = false;
        } else if (unit != u'\r') {
            line += unit;
        }
    }
    if (open)
        text += line + u"\r\n";
    return text;
}

BEGIN_MESSAGE_MAP(CLicenseDlg, CDialogBase)
ON_WM_CTLCOLOR()
ON_COMMAND(CLicenseDlg::kCopyButtonId, OnCopy)
END_MESSAGE_MAP()

CLicenseDlg::CLicenseDlg(CWnd* parent) : CDialogBase(kTemplateId, parent)
{
    RegisterTemplate();
    m_WhiteBrush.CreateSolidBrush(RGB(255, 255, 255));
}

void CLicenseDlg::DoDataExchange(CDataExchange* dx)
{
    CDialogBase::DoDataExchange(dx);
    DDX_Control(dx, kCaptionId, m_Caption);
    DDX_Control(dx, kTextEditId, m_Text);
    DDX_Control(dx, kCopyButtonId, m_CopyButton);
    DDX_Control(dx, IDOK, m_OkButton);
}

BOOL CLicenseDlg::OnInitDialog()
{
    CDialogBase::OnInitDialog();
    SetWindowText(AppText(kTitleTextId).c_str());
    m_Caption.SetStringId(kCaptionTextId, DT_SINGLELINE | DT_RIGHT | DT_VCENTER, FALSE);
    m_CopyButton.SetStringId(kCopyTextId, kButtonFormat);
    m_OkButton.SetStringId(kOkTextId, kButtonFormat);

    std::u16string text = ReadLicenceText(AppFilePath(kAppFolderLicence, u"License.txt"));
    if (text.empty())
        text = AppText(kMissingTextId);
    m_Text.SetWindowText(text.c_str());

    SetClientAreaSize(this, 498, 584);
    MoveDlgControl(this, kCaptionId, {24, 10, 474, 25});
    MoveDlgControl(this, kTextEditId, {17, 30, 467, 545});
    MoveDlgControl(this, kCopyButtonId, {60, 556, 260, 579});
    MoveDlgControl(this, IDOK, {330, 556, 438, 579});
    return TRUE;
}

HBRUSH CLicenseDlg::OnCtlColor(CDC* dc, CWnd* wnd, UINT kind)
{
    if (wnd && wnd->GetSafeHwnd() == m_Text.GetSafeHwnd()) {
        dc->SetBkMode(OPAQUE);
        dc->SetBkColor(RGB(255, 255, 255));
        return static_cast<HBRUSH>(m_WhiteBrush.GetSafeHandle());
    }
    return CDialogBase::OnCtlColor(dc, wnd, kind);
}

void CLicenseDlg::OnCopy()
{
    m_Text.SetSel(0, -1, TRUE);
    m_Text.Copy();
}
