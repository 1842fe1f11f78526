#pragma once
// The about box: the program's pictures, its version as the version resource
// spells it, two captions, and a button that shows the licence text.

#include "platform/afx/AfxDC.h"
#include "toolkit/CBasicButton.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CGroupeBoxBase.h"
#include "toolkit/CStringItemDrawer.h"

#include <array>

class CAboutDlg : public CDialogBase {
public:
    static constexpr UINT kTemplateId = 100;
    static constexpr int kGroupBoxId = 1233;
    static constexpr int kLicenceButtonId = 1051;

    explicit CAboutDlg(CWnd* parent = nullptr);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    afx_msg void OnPaint();
    afx_msg void OnLicence();
    DECLARE_MESSAGE_MAP()

    std::array<CBitmap, 4> m_Bitmaps; // resources 272 to 275
    std::array<CStringItemDrawer, 3> m_Captions;
    CBasicButton m_OkButton;
    CBasicButton m_LicenceButton;
    CGroupeBoxBase m_GroupBox;
};
