#include "shell/app/CAboutDlg.h"

#include "platform/afx/AfxButton.h"
#include "platform/win/WinGdi.h"
#include "shell/app/AppDialogLayout.h"
#include "shell/app/AppStartupInfo.h"
#include "shell/app/CLicenseDlg.h"
#include "shell/app/CSplashWnd.h"

namespace {

constexpr std::array<UINT, 4> kBitmapIds{272, 273, 274, 275};
constexpr int kVersionTextId = 6100;
constexpr int kSummaryTextId = 6101;
constexpr int kCopyrightTextId = 6102;
constexpr int kTitleTextId = 7000;
constexpr int kOkTextId = 9001;
constexpr int kLicenceTextId = 7001;
constexpr UINT kButtonFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

void RegisterTemplate()
{
    DialogItemTemplate ok{IDOK, u"Button", WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, {200, 258, 272, 272}, u"OK"};
    DialogItemTemplate group{CAboutDlg::kGroupBoxId, u"Static", WS_VISIBLE, 0, {4, 4, 330, 254}, u""};
    DialogItemTemplate licence{CAboutDlg::kLicenceButtonId, u"Button", WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0,
                               {54, 258, 166, 272}, u""};
    RegisterAppDialogTemplate(CAboutDlg::kTemplateId, {334, 277}, {ok, group, licence});
}

} // namespace

BEGIN_MESSAGE_MAP(CAboutDlg, CDialogBase)
ON_WM_PAINT()
ON_COMMAND(CAboutDlg::kLicenceButtonId, OnLicence)
END_MESSAGE_MAP()

CAboutDlg::CAboutDlg(CWnd* parent) : CDialogBase(kTemplateId, parent)
{
    RegisterTemplate();
}

void CAboutDlg::DoDataExchange(CDataExchange* dx)
{
    CDialogBase::DoDataExchange(dx);
    DDX_Control(dx, IDOK, m_OkButton);
    DDX_Control(dx, kLicenceButtonId, m_LicenceButton);
    DDX_Control(dx, kGroupBoxId, m_GroupBox);
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialogBase::OnInitDialog();
    // The version keeps the look of its caption's text.
    m_Captions[0].SetStringId(kVersionTextId, DT_SINGLELINE | DT_VCENTER);
    m_Captions[0].SetTextColor(RGB(0, 0, 0));
    m_Captions[0].SetText(kProgramFileVersion);
    m_Captions[1].SetStringId(kSummaryTextId, DT_WORDBREAK);
    m_Captions[1].SetTextColor(RGB(0, 0, 0));
    m_Captions[2].SetStringId(kCopyrightTextId, DT_WORDBREAK);
    m_Captions[2].SetTextColor(RGB(0, 0, 0));
    for (size_t i = 0; i < m_Bitmaps.size(); ++i)
        m_Bitmaps[i].LoadBitmap(kBitmapIds[i]);

    SetWindowText(AppText(kTitleTextId).c_str());
    m_OkButton.SetStringId(kOkTextId, kButtonFormat);
    m_LicenceButton.SetStringId(kLicenceTextId, kButtonFormat);

    SetClientAreaSize(this, 500, 450);
    m_GroupBox.ShowWindow(SW_HIDE);
    MoveDlgControl(this, IDOK, {300, 420, 408, 443});
    MoveDlgControl(this, kLicenceButtonId, {82, 420, 250, 443});
    return TRUE;
}

void CAboutDlg::OnPaint()
{
    CPaintDC dc(this);
    dc.FillSolidRect(CRect(10, 10, 490, 415), RGB(255, 255, 255));
    DrawBitmapAt(&dc, m_Bitmaps[1], 10, 10);
    DrawBitmapAt(&dc, m_Bitmaps[0], 10, 55);
    DrawBitmapAt(&dc, m_Bitmaps[3], 35, 255);
    DrawBitmapAt(&dc, m_Bitmaps[2], 425, 255);
    m_Captions[0].Draw(&dc, CRect(315, 20, 475, 35));
    m_Captions[1].Draw(&dc, CRect(40, 305, 355, 365));
    m_Captions[2].Draw(&dc, CRect(15, 360, 445, 480));
}

void CAboutDlg::OnLicence()
{
    CLicenseDlg licence(this);
    licence.DoModal();
}
