// Printer DCs and their documents: each printer DC holds a device that
// answers its capabilities and runs the document's state (no document, a
// document, a page); drawing reaches the document only inside a page. The
// printer choices PrintDlgW hands out and the application's printer live
// here too.

#include "platform/core/Printers.h"

#include "platform/afx/AfxCommonDialogs.h"
#include "platform/core/CommonDialogs.h"
#include "platform/core/Handles.h"

#include <atomic>
#include <mutex>

namespace platform::core {
namespace {

std::mutex g_printersMutex;
IPrinterSystem* g_system = nullptr;
std::shared_ptr<IPrinter> g_substitute;

// A target that draws on the device's document while it holds the device's
// lock, so the document cannot end under a drawing.
class PageTarget : public IDrawTarget {
public:
  PageTarget(std::unique_lock<std::mutex> lock, IDrawTarget& page) : m_lock(std::move(lock)), m_page(page) {}
  SIZE Size() const override { return m_page.Size(); }
  void FillRect(const RECT& rect, COLORREF colour, const Clip& clip) override { m_page.FillRect(rect, colour, clip); }
  void Line(POINT from, POINT to, const PenInfo& pen, const Clip& clip) override { m_page.Line(from, to, pen, clip); }
  void DrawPixels(const RECT& dest, const PixelView& source, const RECT& srcRect, bool blend,
                  const Clip& clip) override {
    m_page.DrawPixels(dest, source, srcRect, blend, clip);
  }
  bool ReadPixels(const RECT&, PixelImage&) override { return false; } // paper cannot be read back
  void DrawText(POINT origin, std::u16string_view text, const LOGFONTW& font, COLORREF colour,
                const Clip& clip) override {
    m_page.DrawText(origin, text, font, colour, clip);
  }

private:
  std::unique_lock<std::mutex> m_lock;
  IDrawTarget& m_page;
};

class PrinterDevice : public IDevice {
public:
  PrinterDevice(std::shared_ptr<IPrinter> printer, const DEVMODEW& mode)
      : m_printer(std::move(printer)), m_mode(mode), m_caps(Oriented(m_printer->Caps(mode), mode)) {}
  ~PrinterDevice() override {
    if (m_document) m_document->Abort(); // a DC deleted in the middle of a document leaves nothing
  }

  DeviceCaps Caps() const override {
    DeviceCaps caps;
    caps.width = m_caps.printable.cx;
    caps.height = m_caps.printable.cy;
    caps.dpiX = m_caps.dpiX;
    caps.dpiY = m_caps.dpiY;
    caps.physicalWidth = m_caps.paper.cx;
    caps.physicalHeight = m_caps.paper.cy;
    caps.offsetX = m_caps.offset.x;
    caps.offsetY = m_caps.offset.y;
    caps.bitsPerPixel = 24;
    caps.printer = true;
    return caps;
  }

  std::unique_ptr<IDrawTarget> OpenTarget() override {
    std::unique_lock lock(m_mutex);
    if (m_state != State::Page) return nullptr; // outside a page drawing goes nowhere
    IDrawTarget& page = *m_document;
    return std::make_unique<PageTarget>(std::move(lock), page);
  }

  int StartDoc(const DOCINFOW& info) {
    std::lock_guard lock(m_mutex);
    if (m_state != State::Idle || !m_printer->Available()) return SP_ERROR;
    const std::u16string_view title = info.lpszDocName ? info.lpszDocName : u"";
    const std::u16string_view output = info.lpszOutput ? info.lpszOutput : u"";
    m_document = m_printer->StartDocument(m_mode, title, output);
    if (!m_document) return SP_ERROR;
    m_state = State::Document;
    static std::atomic<int> jobs{0};
    return ++jobs;
  }

  int StartPage() {
    std::lock_guard lock(m_mutex);
    if (m_state != State::Document || !m_document->StartPage()) return SP_ERROR;
    m_state = State::Page;
    return 1;
  }

  int EndPage() {
    std::lock_guard lock(m_mutex);
    if (m_state != State::Page) return SP_ERROR;
    m_state = State::Document;
    return m_document->EndPage() ? 1 : SP_ERROR;
  }

  int EndDoc() {
    std::lock_guard lock(m_mutex);
    if (m_state == State::Idle) return SP_ERROR;
    bool ok = m_state == State::Document || m_document->EndPage();
    ok = ok && m_document->Finish();
    if (!ok) m_document->Abort();
    m_document.reset();
    m_state = State::Idle;
    return ok ? 1 : SP_ERROR;
  }

  int AbortDoc() {
    std::lock_guard lock(m_mutex);
    if (m_state == State::Idle) return SP_ERROR;
    m_document->Abort();
    m_document.reset();
    m_state = State::Idle;
    return 1;
  }

private:
  enum class State { Idle, Document, Page };

  std::mutex m_mutex;
  std::shared_ptr<IPrinter> m_printer;
  DEVMODEW m_mode;
  const PrinterCaps m_caps;
  State m_state = State::Idle;
  std::unique_ptr<IPagedDocument> m_document;
};

PrinterDevice* PrinterOf(HDC dc, std::shared_ptr<IDevice>& keep) {
  keep = DeviceOf(dc);
  return dynamic_cast<PrinterDevice*>(keep.get());
}

template <class F>
int OnPrinter(HDC dc, F&& f) {
  std::shared_ptr<IDevice> keep;
  PrinterDevice* printer = PrinterOf(dc, keep);
  return printer ? f(*printer) : SP_ERROR;
}

// ---- Printer choices (PRINTDLGW's hDevMode and hDevNames) -----------------------------

struct PrinterChoice {
  std::u16string printer;
  DEVMODEW mode;
};

std::mutex g_choicesMutex;
HandleTable<PrinterChoice>& Choices() {
  static auto* table = new HandleTable<PrinterChoice>;
  return *table;
}
std::uintptr_t Key(HANDLE h) { return reinterpret_cast<std::uintptr_t>(h); }

HANDLE NewChoice(const IPrinter& printer) {
  auto choice = std::make_unique<PrinterChoice>();
  choice->printer = printer.Name();
  choice->mode = printer.Defaults();
  SetDeviceName(choice->mode, choice->printer);
  std::lock_guard lock(g_choicesMutex);
  return reinterpret_cast<HANDLE>(Choices().Add(std::move(choice)));
}

bool ReadChoice(HANDLE handle, PrinterChoice& out) {
  std::lock_guard lock(g_choicesMutex);
  PrinterChoice* choice = Choices().Get(Key(handle));
  if (!choice) return false;
  out = *choice;
  return true;
}

HDC DcOfChoice(HANDLE handle) {
  PrinterChoice choice;
  if (!ReadChoice(handle, choice)) return nullptr;
  return CreateDCW(nullptr, choice.printer.c_str(), nullptr, &choice.mode);
}

std::shared_ptr<IPrinter> DefaultPrinter() {
  std::lock_guard lock(g_printersMutex);
  if (g_substitute) return g_substitute;
  return g_system ? g_system->DefaultPrinter() : nullptr;
}

} // namespace

void SetPrinterSystem(IPrinterSystem* system) {
  std::lock_guard lock(g_printersMutex);
  g_system = system;
}

void SetSubstitutePrinter(std::shared_ptr<IPrinter> printer) {
  std::lock_guard lock(g_printersMutex);
  g_substitute = std::move(printer);
}

std::shared_ptr<IPrinter> FindPrinter(std::u16string_view name) {
  std::lock_guard lock(g_printersMutex);
  if (g_substitute && g_substitute->Name() == name) return g_substitute;
  return g_system && !name.empty() ? g_system->FindPrinter(name) : nullptr;
}

HDC CreatePrinterDc(std::shared_ptr<IPrinter> printer, const DEVMODEW& mode) {
  if (!printer || !printer->Available()) return nullptr;
  return CreateDeviceDC(std::make_shared<PrinterDevice>(std::move(printer), mode));
}

void SetDeviceName(DEVMODEW& mode, std::u16string_view name) {
  const std::size_t n = std::min<std::size_t>(name.size(), CCHDEVICENAME - 1);
  std::copy_n(name.data(), n, mode.dmDeviceName);
  std::fill(mode.dmDeviceName + n, mode.dmDeviceName + CCHDEVICENAME, u'\0');
}

PrinterCaps Oriented(const PrinterCaps& portrait, const DEVMODEW& mode) {
  if (mode.dmOrientation != DMORIENT_LANDSCAPE) return portrait;
  PrinterCaps c;
  c.dpiX = portrait.dpiY;
  c.dpiY = portrait.dpiX;
  c.paper = {portrait.paper.cy, portrait.paper.cx};
  c.offset = {portrait.offset.y, portrait.offset.x};
  c.printable = {portrait.printable.cy, portrait.printable.cx};
  return c;
}

} // namespace platform::core

using namespace platform::core;

namespace platform {

PrinterCaps LetterAt600Dpi() {
  PrinterCaps caps;
  caps.dpiX = caps.dpiY = 600;
  caps.paper = {5100, 6600};
  caps.offset = {75, 75};
  caps.printable = {4950, 6450};
  return caps;
}

} // namespace platform

// ---- The window system's printing calls ----------------------------------------------

HDC CreateDCW(LPCWSTR, LPCWSTR device, LPCWSTR, const DEVMODEW* devMode) {
  std::shared_ptr<IPrinter> printer = FindPrinter(device ? device : u"");
  if (!printer) return nullptr;
  DEVMODEW mode = devMode ? *devMode : printer->Defaults();
  return CreatePrinterDc(std::move(printer), mode);
}

int StartDocW(HDC dc, const DOCINFOW* info) {
  if (!info) return SP_ERROR;
  return OnPrinter(dc, [&](PrinterDevice& p) { return p.StartDoc(*info); });
}
int StartPage(HDC dc) { return OnPrinter(dc, [](PrinterDevice& p) { return p.StartPage(); }); }
int EndPage(HDC dc) { return OnPrinter(dc, [](PrinterDevice& p) { return p.EndPage(); }); }
int EndDoc(HDC dc) { return OnPrinter(dc, [](PrinterDevice& p) { return p.EndDoc(); }); }
int AbortDoc(HDC dc) { return OnPrinter(dc, [](PrinterDevice& p) { return p.AbortDoc(); }); }

BOOL PrintDlgW(LPPRINTDLGW pd) {
  if (!pd) return FALSE;
  if (pd->Flags & PD_RETURNDEFAULT) {
    if (pd->hDevMode || pd->hDevNames) return FALSE; // the original refuses to overwrite a choice
    std::shared_ptr<IPrinter> printer = DefaultPrinter();
    if (!printer || !printer->Available()) return FALSE;
    pd->hDevMode = pd->hDevNames = NewChoice(*printer);
  } else {
    IDialogDriver* driver = DialogDriver();
    PrintSetupRequest request;
    request.owner = pd->hwndOwner;
    request.flags = pd->Flags;
    PrinterChoice current;
    if (ReadChoice(pd->hDevMode, current)) {
      request.printer = current.printer;
      request.mode = current.mode;
    } else if (std::shared_ptr<IPrinter> printer = DefaultPrinter()) {
      request.printer = printer->Name();
      request.mode = printer->Defaults();
    }
    if (!driver || !driver->PrintSetup(request) || !FindPrinter(request.printer)) return FALSE;
    SetDeviceName(request.mode, request.printer);
    std::lock_guard lock(g_choicesMutex);
    if (PrinterChoice* choice = Choices().Get(Key(pd->hDevMode))) {
      *choice = {request.printer, request.mode};
    } else {
      pd->hDevMode = pd->hDevNames = reinterpret_cast<HANDLE>(
          Choices().Add(std::make_unique<PrinterChoice>(PrinterChoice{request.printer, request.mode})));
    }
  }
  if (LPDEVMODEW mode = GetPrinterDevMode(pd->hDevMode)) pd->nCopies = static_cast<WORD>(std::max<short>(mode->dmCopies, 1));
  if (pd->Flags & PD_RETURNDC) pd->hDC = DcOfChoice(pd->hDevMode);
  return TRUE;
}

LPDEVMODEW GetPrinterDevMode(HANDLE handle) {
  std::lock_guard lock(g_choicesMutex);
  PrinterChoice* choice = Choices().Get(Key(handle));
  return choice ? &choice->mode : nullptr;
}

LPCWSTR GetPrinterName(HANDLE handle) {
  std::lock_guard lock(g_choicesMutex);
  PrinterChoice* choice = Choices().Get(Key(handle));
  return choice ? choice->printer.c_str() : u"";
}

BOOL FreePrinterChoice(HANDLE handle) {
  std::lock_guard lock(g_choicesMutex);
  return Choices().Remove(Key(handle)) ? TRUE : FALSE;
}

// ---- The framework's side: the application's printer, the print dialog, printing DCs ----

BOOL CWinApp::GetPrinterDeviceDefaults(PRINTDLGW* pd) {
  // A chosen printer that has gone is forgotten: the caller reports that
  // there is no printer, and the next call takes the system's default.
  PrinterChoice chosen;
  if (ReadChoice(m_hDevMode, chosen)) {
    std::shared_ptr<IPrinter> printer = FindPrinter(chosen.printer);
    if (!printer || !printer->Available()) {
      FreePrinterChoice(std::exchange(m_hDevMode, nullptr));
      m_hDevNames = nullptr;
      return FALSE;
    }
  } else {
    PRINTDLGW defaults;
    defaults.Flags = PD_RETURNDEFAULT;
    if (!PrintDlgW(&defaults)) return FALSE;
    m_hDevMode = m_hDevNames = defaults.hDevMode;
  }
  if (pd) pd->hDevMode = pd->hDevNames = m_hDevMode;
  return TRUE;
}

int CWinApp::DoPrintDialog(CPrintDialog* dialog) {
  if (!dialog) return IDCANCEL;
  GetPrinterDeviceDefaults(nullptr);
  dialog->m_pd.hDevMode = dialog->m_pd.hDevNames = m_hDevMode;
  const int answer = dialog->DoModal();
  // A first choice made in the dialog becomes the application's printer.
  if (answer == IDOK) m_hDevMode = m_hDevNames = dialog->m_pd.hDevMode;
  return answer;
}

CPrintDialog::CPrintDialog(BOOL printSetupOnly, DWORD flags, CWnd* parent) {
  m_pd.Flags = flags | (printSetupOnly ? PD_PRINTSETUP : 0);
  m_pd.hwndOwner = parent ? parent->m_hWnd : nullptr;
}

INT_PTR CPrintDialog::DoModal() { return PrintDlgW(&m_pd) ? IDOK : IDCANCEL; }

BOOL CPrintDialog::GetDefaults() {
  m_pd.Flags |= PD_RETURNDEFAULT;
  const BOOL ok = PrintDlgW(&m_pd);
  m_pd.Flags &= ~PD_RETURNDEFAULT;
  return ok;
}

LPDEVMODEW CPrintDialog::GetDevMode() const { return GetPrinterDevMode(m_pd.hDevMode); }
std::u16string CPrintDialog::GetDeviceName() const { return GetPrinterName(m_pd.hDevNames); }

// The DC is the caller's to delete (usually through the CDC it is attached to).
HDC CPrintDialog::CreatePrinterDC() {
  m_pd.hDC = DcOfChoice(m_pd.hDevMode);
  return m_pd.hDC;
}

int CDC::StartDoc(LPDOCINFO info) { return ::StartDocW(m_hDC, info); }
int CDC::StartDoc(LPCWSTR documentName) {
  DOCINFOW info;
  info.lpszDocName = documentName;
  return ::StartDocW(m_hDC, &info);
}
int CDC::StartPage() { return ::StartPage(m_hDC); }
int CDC::EndPage() { return ::EndPage(m_hDC); }
int CDC::EndDoc() { return ::EndDoc(m_hDC); }
int CDC::AbortDoc() { return ::AbortDoc(m_hDC); }
