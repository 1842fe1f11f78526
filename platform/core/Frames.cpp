// Frames and views: run-time classes, CFrameWnd with its menu bar,
// accelerators, command routing and update handlers, CView and CFormView.

#include "platform/afx/AfxFrame.h"
#include "platform/core/Controls.h"

using namespace platform::core;

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
  for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass) {
    if (c == base) return TRUE;
  }
  return FALSE;
}

// ---- CView ---------------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CView, CWnd)

BEGIN_MESSAGE_MAP(CView, CWnd)
  ON_WM_PAINT()
  ON_MESSAGE(WM_INITIALUPDATE, OnInitialUpdateMessage)
END_MESSAGE_MAP()

BOOL CView::Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                   void* context) {
  return CWnd::Create(className ? className : u"View", windowName, style, rect, parent, id, context);
}

void CView::OnDraw(CDC*) {}
void CView::OnInitialUpdate() { Invalidate(); }

CFrameWnd* CView::GetParentFrame() const {
  for (CWnd* w = GetParent(); w; w = w->GetParent()) {
    if (auto* frame = dynamic_cast<CFrameWnd*>(w)) return frame;
  }
  return nullptr;
}

void CView::PostNcDestroy() { delete this; }

void CView::OnPaint() {
  CPaintDC dc(this);
  OnDraw(&dc);
}

LRESULT CView::OnInitialUpdateMessage(WPARAM, LPARAM) {
  OnInitialUpdate();
  return 0;
}

// ---- CFormView -----------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CFormView, CView)

BEGIN_MESSAGE_MAP(CFormView, CView)
  ON_WM_PAINT()
END_MESSAGE_MAP()

CFormView::CFormView(UINT templateId) : m_nIDTemplate(templateId) {}

BOOL CFormView::Create(LPCWSTR, LPCWSTR, DWORD style, const RECT& rect, CWnd* parent, UINT id, void*) {
  if (m_hWnd || !parent) return FALSE;
  if (!CreateDialogFromTemplate(this, m_nIDTemplate, parent->m_hWnd, 0, true)) return FALSE;
  SetDlgCtrlID(static_cast<int>(id));
  MoveWindow(&rect, FALSE);
  if (style & WS_VISIBLE) ShowWindow(SW_SHOW);
  return IsWindow(m_hWnd);
}

void CFormView::OnInitialUpdate() { UpdateData(FALSE); }

BOOL CFormView::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  DoDataExchange(&dx);
  return TRUE;
}

void CFormView::DoDataExchange(CDataExchange*) {}

BOOL CFormView::PreTranslateMessage(MSG* msg) {
  // Tab moves among the view's controls; Enter and Esc are the frame's.
  if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB && IsDialogMessageW(m_hWnd, msg)) return TRUE;
  return CView::PreTranslateMessage(msg);
}

// The dialog class erases the form; the view draws nothing of its own.
void CFormView::OnPaint() { Default(); }

// ---- CFrameWnd -----------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CFrameWnd, CWnd)

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_INITMENUPOPUP()
  ON_WM_CLOSE()
  ON_WM_NCDESTROY()
  ON_WM_SETFOCUS()
END_MESSAGE_MAP()

const CRect CFrameWnd::rectDefault(0, 0, 800, 600);

CFrameWnd::~CFrameWnd() {
  if (m_hAccelTable) DestroyAcceleratorTable(m_hAccelTable);
}

BOOL CFrameWnd::LoadFrame(UINT resourceId, DWORD style, CWnd* parent, CCreateContext* context) {
  WCHAR title[256] = {};
  LoadStringW(nullptr, resourceId, title, 256);
  const LPCWSTR name = MAKEINTRESOURCEW(static_cast<int>(resourceId));
  if (!Create(nullptr, title, style & ~FWS_ADDTOTITLE, rectDefault, parent, name, 0, context)) return FALSE;
  if (!m_hAccelTable) m_hAccelTable = LoadAcceleratorsW(nullptr, name);
  return TRUE;
}

BOOL CFrameWnd::Create(LPCWSTR className, LPCWSTR title, DWORD style, const RECT& rect, CWnd* parent, LPCWSTR menuName,
                       DWORD exStyle, CCreateContext* context) {
  // The menu is made first and given to the window with its creation, so
  // WM_CREATE sees it.
  m_hMenuPending = menuName ? LoadMenuW(nullptr, menuName) : nullptr;
  const BOOL made = CreateEx(exStyle, className ? className : u"Frame", title, style, rect, parent, 0, context);
  if (!made && m_hMenuPending) DestroyMenu(m_hMenuPending);
  m_hMenuPending = nullptr;
  return made;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs) {
  if (!(cs.style & WS_CHILD)) cs.hMenu = m_hMenuPending;
  return TRUE;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCT, CCreateContext* context) {
  if (context && context->m_pNewViewClass && !CreateView(context)) return FALSE;
  return TRUE;
}

CWnd* CFrameWnd::CreateView(CCreateContext* context, UINT id) {
  if (!context || !context->m_pNewViewClass) return nullptr;
  CCmdTarget* object = context->m_pNewViewClass->CreateObject();
  auto* view = dynamic_cast<CWnd*>(object);
  if (!view) {
    delete object;
    return nullptr;
  }
  // A view that fails to be made is deleted by its PostNcDestroy when it
  // had a window; otherwise here.
  if (!view->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, id, context)) {
    if (!view->m_hWnd) delete view;
    return nullptr;
  }
  if (auto* v = dynamic_cast<CView*>(view); v && !m_pViewActive) m_pViewActive = v;
  return view;
}

void CFrameWnd::SetActiveView(CView* view, BOOL) { m_pViewActive = view; }

void CFrameWnd::RecalcLayout(BOOL) {
  CWnd* pane = GetDlgItem(static_cast<int>(AFX_IDW_PANE_FIRST));
  if (!pane) return;
  CRect client;
  GetClientRect(client);
  pane->MoveWindow(client);
}

void CFrameWnd::InitialUpdateFrame(void*, BOOL makeVisible) {
  SendMessageToDescendants(WM_INITIALUPDATE, 0, 0, TRUE);
  if (makeVisible) ShowWindow(SW_SHOW);
}

BOOL CFrameWnd::PreTranslateMessage(MSG* msg) {
  if (!msg || !m_hAccelTable) return FALSE;
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return FALSE;
  return ::TranslateAcceleratorW(m_hWnd, m_hAccelTable, msg) ? TRUE : FALSE;
}

BOOL CFrameWnd::OnCmdMsg(UINT id, UINT code, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (m_pViewActive && IsWindow(m_pViewActive->m_hWnd) &&
      m_pViewActive->OnCmdMsg(id, code, wParam, lParam, result)) {
    return TRUE;
  }
  if (CWnd::OnCmdMsg(id, code, wParam, lParam, result)) return TRUE;
  CWinApp* app = AfxGetApp();
  return app && app->OnCmdMsg(id, code, wParam, lParam, result) ? TRUE : FALSE;
}

void CFrameWnd::PostNcDestroy() { delete this; }

int CFrameWnd::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  auto* context = cs ? static_cast<CCreateContext*>(cs->lpCreateParams) : nullptr;
  if (!OnCreateClient(cs, context)) return -1;
  RecalcLayout();
  return 0;
}

void CFrameWnd::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  if (type != SIZE_MINIMIZED) RecalcLayout();
}

void CFrameWnd::OnInitMenuPopup(CMenu* popup, UINT, BOOL sysMenu) {
  if (sysMenu || !popup) return;
  CCmdUI state;
  state.m_pMenu = popup;
  state.m_nIndexMax = popup->GetMenuItemCount();
  for (UINT i = 0; i < state.m_nIndexMax; ++i) {
    const UINT id = popup->GetMenuItemID(static_cast<int>(i));
    if (id == 0 || id == 0xFFFFFFFF) continue; // separators and submenus
    state.m_nIndex = i;
    state.m_nID = id;
    // Commands without a handler are disabled; the system's are not asked.
    state.DoUpdate(this, m_bAutoMenuEnable && id < 0xF000);
  }
}

void CFrameWnd::OnClose() { DestroyWindow(); }

void CFrameWnd::OnNcDestroy() {
  if (HMENU menu = ::GetMenu(m_hWnd)) DestroyMenu(menu);
  // The program ends with its main window.
  if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this) {
    app->m_pMainWnd = nullptr;
    PostQuitMessage(0);
  }
  CWnd::OnNcDestroy();
}

void CFrameWnd::OnSetFocus(CWnd*) {
  if (m_pViewActive && IsWindow(m_pViewActive->m_hWnd)) m_pViewActive->SetFocus();
}
