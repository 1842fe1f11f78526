#pragma once
// The monitor check: a gamma pattern and fourteen grey steps with the texts
// that tell the user what to look for.

#include "toolkit/CBasicButton.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CGroupeBoxBase.h"
#include "toolkit/CStaticBase.h"

#include <array>

class CCheckMonitorDlg : public CDialogBase {
public:
    static constexpr UINT kTemplateId = 220;

    explicit CCheckMonitorDlg(CWnd* parent = nullptr);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    DECLARE_MESSAGE_MAP()

    // The texts, lines and pictures, in the order of kStatics.
    std::array<CStaticBase, 15> m_Statics;
    std::array<CGroupeBoxBase, 2> m_Groups;
    CBasicButton m_OkButton;
};
