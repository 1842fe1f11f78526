#pragma once
// The licence text of the program folder's "License.txt" in a read-only edit
// control, with a button that copies it to the clipboard.

#include "platform/afx/AfxDC.h"
#include "toolkit/CBasicButton.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CStaticBase.h"

#include "foundation/FString.h"

#include <string>

// The lines of a UTF-16LE text file (a byte-order mark FF FE or FE FF at its
// start skipped), each followed by CR LF; empty when the file cannot be read
// or holds fewer than 2 bytes.
std::u16string ReadLicenceText(const FString& path);

class CLicenseDlg : public CDialogBase {
public:
    static constexpr UINT kTemplateId = 111;
    static constexpr int kCaptionId = 1235;
    static constexpr int kTextEditId = 1083;
    static constexpr int kCopyButtonId = 1051;

    explicit CLicenseDlg(CWnd* parent = nullptr);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    afx_msg HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT kind);
    afx_msg void OnCopy();
    DECLARE_MESSAGE_MAP()

    CBrush m_WhiteBrush;
    CStaticBase m_Caption;
    CEdit m_Text;
    CBasicButton m_CopyButton;
    CBasicButton m_OkButton;
};
