#pragma once
// Frames and views of the framework, Qt-free: run-time classes with dynamic
// creation, CFrameWnd (menu bar, accelerators, command routing through the
// active view, update handlers before pop-ups), CView and CFormView (a view
// made from a dialog template; it never scrolls). There are no documents:
// views are made by the frame's create context or by a splitter.

#include "platform/afx/AfxDialog.h"
#include "platform/afx/AfxMenu.h"

// ---- Run-time classes ---------------------------------------------------------------

struct CRuntimeClass {
  const char* m_lpszClassName;
  int m_nObjectSize;
  CCmdTarget* (*m_pfnCreateObject)();
  const CRuntimeClass* m_pBaseClass;
  // A new object of the class (null for a class without dynamic creation).
  CCmdTarget* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
  BOOL IsDerivedFrom(const CRuntimeClass* base) const;
};

// The run-time class of a base that has one, else none.
template <class T>
constexpr const CRuntimeClass* AfxRuntimeClassOf() {
  if constexpr (requires { &T::classRuntime_; }) {
    return &T::classRuntime_;
  } else {
    return nullptr;
  }
}

#define RUNTIME_CLASS(theClass) (&theClass::classRuntime_)
#define DECLARE_DYNAMIC(theClass)                                                                                     \
public:                                                                                                               \
  static const CRuntimeClass classRuntime_;                                                                           \
  virtual const CRuntimeClass* GetRuntimeClass() const;
#define DECLARE_DYNCREATE(theClass)                                                                                   \
  DECLARE_DYNAMIC(theClass)                                                                                           \
  static CCmdTarget* CreateObject_();
#define IMPLEMENT_DYNAMIC(theClass, baseClass)                                                                        \
  const CRuntimeClass theClass::classRuntime_ = {#theClass, static_cast<int>(sizeof(theClass)), nullptr,             \
                                                 AfxRuntimeClassOf<baseClass>()};                                     \
  const CRuntimeClass* theClass::GetRuntimeClass() const { return &theClass::classRuntime_; }
#define IMPLEMENT_DYNCREATE(theClass, baseClass)                                                                      \
  CCmdTarget* theClass::CreateObject_() { return new theClass; }                                                      \
  const CRuntimeClass theClass::classRuntime_ = {#theClass, static_cast<int>(sizeof(theClass)),                      \
                                                 &theClass::CreateObject_, AfxRuntimeClassOf<baseClass>()};           \
  const CRuntimeClass* theClass::GetRuntimeClass() const { return &theClass::classRuntime_; }

// ---- Frames and views ----------------------------------------------------------------

class CFrameWnd;
class CView;

constexpr UINT AFX_IDW_PANE_FIRST = 0xE900;
constexpr DWORD FWS_ADDTOTITLE = 0x00008000;
constexpr UINT WM_INITIALUPDATE = 0x0364;
constexpr UINT ID_APP_EXIT = 0xE141;

struct CCreateContext {
  const CRuntimeClass* m_pNewViewClass = nullptr;
  void* m_pCurrentDoc = nullptr;
  CView* m_pLastView = nullptr;
  CFrameWnd* m_pCurrentFrame = nullptr;
};

class CView : public CWnd {
  DECLARE_DYNAMIC(CView)
public:
  // A child window (WS_CHILD is added).
  BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
              void* context = nullptr) override;
  virtual void OnDraw(CDC* dc);
  // When the frame's views are first shown (WM_INITIALUPDATE).
  virtual void OnInitialUpdate();
  CFrameWnd* GetParentFrame() const;

protected:
  // Views are made by frames and splitters and delete themselves.
  void PostNcDestroy() override;
  afx_msg void OnPaint();
  afx_msg LRESULT OnInitialUpdateMessage(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()
};

// A view made from a dialog template (its controls, the dialog class's
// erasing through WM_CTLCOLORDLG, Tab among its controls); it never scrolls.
class CFormView : public CView {
  DECLARE_DYNAMIC(CFormView)
public:
  explicit CFormView(UINT templateId);
  BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
              void* context = nullptr) override;
  // Binds the control objects (DoDataExchange).
  void OnInitialUpdate() override;
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  virtual void DoDataExchange(CDataExchange* dx);
  BOOL PreTranslateMessage(MSG* msg) override;
  UINT m_nIDTemplate;

protected:
  afx_msg void OnPaint();
  DECLARE_MESSAGE_MAP()
};

class CFrameWnd : public CWnd {
  DECLARE_DYNAMIC(CFrameWnd)
public:
  CFrameWnd() = default;
  ~CFrameWnd() override;
  // Creates the frame with menu `resourceId` and its accelerator table (when
  // registered under that id), titled by the string resource of that id.
  virtual BOOL LoadFrame(UINT resourceId, DWORD style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, CWnd* parent = nullptr,
                         CCreateContext* context = nullptr);
  BOOL Create(LPCWSTR className, LPCWSTR title, DWORD style, const RECT& rect, CWnd* parent = nullptr,
              LPCWSTR menuName = nullptr, DWORD exStyle = 0, CCreateContext* context = nullptr);
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  virtual BOOL OnCreateClient(LPCREATESTRUCT cs, CCreateContext* context);
  CWnd* CreateView(CCreateContext* context, UINT id = AFX_IDW_PANE_FIRST);
  CView* GetActiveView() const { return m_pViewActive; }
  void SetActiveView(CView* view, BOOL notify = TRUE);
  // The pane AFX_IDW_PANE_FIRST fills the client area.
  virtual void RecalcLayout(BOOL notify = TRUE);
  // Sends WM_INITIALUPDATE to every view and shows the frame when asked.
  void InitialUpdateFrame(void* document, BOOL makeVisible);
  // Accelerators after the windows below the frame had their turn.
  BOOL PreTranslateMessage(MSG* msg) override;
  // Commands go to the active view, then the frame, then the application.
  BOOL OnCmdMsg(UINT id, UINT code, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  static const CRect rectDefault;
  HACCEL m_hAccelTable = nullptr;
  BOOL m_bAutoMenuEnable = TRUE;

protected:
  void PostNcDestroy() override;
  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu);
  afx_msg void OnClose();
  afx_msg void OnNcDestroy();
  afx_msg void OnSetFocus(CWnd* old);
  DECLARE_MESSAGE_MAP()

private:
  CView* m_pViewActive = nullptr;
  HMENU m_hMenuPending = nullptr;
};
