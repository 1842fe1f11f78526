#include "shell/app/CCheckMonitorDlg.h"

#include "platform/afx/AfxButton.h"
#include "platform/win/WinGdi.h"
#include "shell/app/AppDialogLayout.h"

namespace {

constexpr int kTitleTextId = 5800;
constexpr int kOkTextId = 5808;
// Behind the patterns and their labels.
constexpr COLORREF kPatternGrey = RGB(100, 98, 99);
constexpr COLORREF kLineGrey = RGB(160, 160, 160);

enum class Kind { Text, Label, Line, Picture };

struct StaticPlace {
    int id;
    Kind kind;
    RECT rect;
    int content; // a text id, or for a picture its icon's id
    COLORREF background;
};

constexpr UINT kWordBreak = DT_WORDBREAK;
constexpr UINT kLabelFormat = DT_SINGLELINE | DT_VCENTER;

// The gamma pattern's two halves form one picture; so do the grey steps'.
constexpr std::array<StaticPlace, 15> kStatics{{
    {1170, Kind::Text, {10, 10, 400, 50}, 5801, kToolkitBackground},
    {1062, Kind::Line, {0, 55, 410, 56}, 0, kLineGrey},
    {1174, Kind::Picture, {20, 69, 178, 311}, 258, kPatternGrey},
    {1178, Kind::Picture, {178, 69, 335, 311}, 259, kPatternGrey},
    {1173, Kind::Label, {145, 80, 390, 100}, 5802, kPatternGrey},
    {1176, Kind::Text, {145, 105, 390, 165}, 5803, kPatternGrey},
    {1177, Kind::Text, {145, 225, 390, 295}, 5804, kPatternGrey},
    {1063, Kind::Line, {0, 325, 410, 326}, 0, kLineGrey},
    {1175, Kind::Label, {20, 345, 390, 365}, 5805, kPatternGrey},
    {1179, Kind::Picture, {20, 370, 160, 410}, 260, kPatternGrey},
    {1183, Kind::Picture, {160, 370, 300, 410}, 261, kPatternGrey},
    {1180, Kind::Text, {20, 415, 390, 460}, 5806, kPatternGrey},
    {1064, Kind::Line, {0, 480, 410, 481}, 0, kLineGrey},
    {1181, Kind::Text, {10, 490, 400, 570}, 5807, kToolkitBackground},
    {1065, Kind::Line, {0, 580, 410, 581}, 0, kLineGrey},
}};

struct GroupPlace {
    int id;
    RECT rect;
};
constexpr std::array<GroupPlace, 2> kGroups{{{1171, {10, 65, 400, 315}}, {1172, {10, 335, 400, 470}}}};

void RegisterTemplate()
{
    std::vector<DialogItemTemplate> items;
    // The groups first, so that what lies on them is drawn over them.
    for (const GroupPlace& group : kGroups)
        items.push_back({group.id, u"Static", WS_VISIBLE, 0, {0, 0, 10, 10}, u""});
    for (const StaticPlace& place : kStatics)
        items.push_back({place.id, u"Static", WS_VISIBLE, 0, {0, 0, 10, 10}, u""});
    items.push_back({IDOK, u"Button", WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, {110, 369, 163, 383}, u"OK"});
    RegisterAppDialogTemplate(CCheckMonitorDlg::kTemplateId, {274, 394}, std::move(items));
}

} // namespace

BEGIN_MESSAGE_MAP(CCheckMonitorDlg, CDialogBase)
END_MESSAGE_MAP()

CCheckMonitorDlg::CCheckMonitorDlg(CWnd* parent) : CDialogBase(kTemplateId, parent)
{
    RegisterTemplate();
}

void CCheckMonitorDlg::DoDataExchange(CDataExchange* dx)
{
    CDialogBase::DoDataExchange(dx);
    for (size_t i = 0; i < kGroups.size(); ++i)
        DDX_Control(dx, kGroups[i].id, m_Groups[i]);
    for (size_t i = 0; i < kStatics.size(); ++i)
        DDX_Control(dx, kStatics[i].id, m_Statics[i]);
    DDX_Control(dx, IDOK, m_OkButton);
}

BOOL CCheckMonitorDlg::OnInitDialog()
{
    CDialogBase::OnInitDialog();
    SetClientAreaSize(this, 410, 640);
    SetWindowText(AppText(kTitleTextId).c_str());
    for (size_t i = 0; i < kGroups.size(); ++i) {
        m_Groups[i].SetColors(kPatternGrey, kPatternGrey);
        MoveDlgControl(this, kGroups[i].id, kGroups[i].rect);
    }
    for (size_t i = 0; i < kStatics.size(); ++i) {
        const StaticPlace& place = kStatics[i];
        CStaticBase& control = m_Statics[i];
        control.SetBkColor(place.background);
        switch (place.kind) {
        case Kind::Text:
            control.SetStringId(place.content, kWordBreak, FALSE);
            break;
        case Kind::Label:
            control.SetStringId(place.content, kLabelFormat, FALSE);
            break;
        case Kind::Picture:
            control.SetIconSize(place.rect.right - place.rect.left, place.rect.bottom - place.rect.top);
            control.SetIcon(place.content);
            break;
        case Kind::Line:
            control.SetText(u"", FALSE);
            break;
        }
        MoveDlgControl(this, place.id, place.rect);
    }
    m_OkButton.SetStringId(kOkTextId, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    MoveDlgControl(this, IDOK, {165, 599, 245, 622});
    return TRUE;
}
