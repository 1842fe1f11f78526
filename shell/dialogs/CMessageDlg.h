#pragma once
// The program's own message box, used everywhere in place of the system's: a
// modal dialog in the toolkit's look with one or two lines of text and one
// to four buttons chosen by a style, each button ending the dialog with a
// fixed result code. All captions come from the text table.
//
//   CMessageDlg box(this);
//   box.SetMessage(kMessageStyleOverwriteMany, path);
//   switch (box.DoModal()) { case kMessageYes: ...; case kMessageYesToAll: ...; }
//
// Enter never closes it; Esc and the close box end it with kMessageCancel,
// whichever style it shows.

#include "toolkit/CBasicButton.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CStaticBase.h"

#include "foundation/FString.h"

// Result codes, shared by every caller.
enum MessageResult : int {
  kMessageOK = 11,
  kMessageCancel = 12, // also Esc and the close box
  kMessageYes = 13,
  kMessageNo = 14,
  kMessageYesToAll = 21,
};

// Styles: what the box shows.
enum MessageStyle : int {
  kMessageStyleOK = 0,             // the message; OK
  kMessageStyleOKCancel = 1,       // the message; OK, Cancel (confirm an action)
  kMessageStyleOverwrite = 10,     // "replace?" and the path; Yes, No
  kMessageStyleOverwriteMany = 11, // "replace?" and the path; Yes, No, Yes to All, Cancel
  kMessageStyleYesNo = 12,         // "replace?" alone (the message is not shown); Yes, No
};

class CMessageDlg : public CDialogBase {
public:
  static constexpr UINT kTemplate = 257;
  static constexpr int kFirstLineId = 1169;
  static constexpr int kSecondLineId = 1170;
  static constexpr int kYesToAllId = 1167;
  static constexpr int kLastButtonId = 1168;

  explicit CMessageDlg(CWnd* parent);
  ~CMessageDlg() override;

  // Stores the style and the message and sets the buttons' result codes for
  // the style; codes a style does not set keep their previous value. A style
  // outside the table shows no control at all.
  void SetMessage(int style, const FString& text);
  // The window title from the text table (text 9000 without it).
  void SetTitle(int textId);
  // A second line from the text table, in that entry's look, shown under the
  // message in the styles that leave the second line free (0, 1 and 12);
  // styles 10 and 11 keep their path there.
  void SetSubMessage(int textId);

  // The result code of button 1, 2, 1167 or 1168; 0 for another id.
  int GetButtonResult(int buttonId) const;

  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  BOOL PreTranslateMessage(MSG* msg) override;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnButton1();
  afx_msg void OnButton2();
  afx_msg void OnButtonYesToAll();
  afx_msg void OnButtonLast();
  afx_msg void OnClose();
  DECLARE_MESSAGE_MAP()

private:
  void HideAndResetControls();
  void ShowStyle();
  void ShowLine(CStaticBase& line, int lookTextId, UINT format, const FString* text);
  void ShowButton(CBasicButton& button, POINT at, int captionTextId);

  int m_nStyle = -1;
  FString m_strMessage;
  int m_nResult1 = kMessageCancel;
  int m_nResult2 = kMessageCancel;
  int m_nResultYesToAll = kMessageCancel;
  int m_nResultLast = kMessageCancel;
  FString m_strTitle;
  int m_nSubMessageId = 0; // 0: none
  CStaticBase m_FirstLine;
  CStaticBase m_SecondLine;
  CBasicButton m_Button1;
  CBasicButton m_Button2;
  CBasicButton m_ButtonYesToAll;
  CBasicButton m_ButtonLast;
};

// Runs a box of the style whose message is a text of the text table; its result.
int ShowTableMessage(CWnd* parent, int style, int textId);
