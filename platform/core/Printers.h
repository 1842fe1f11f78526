#pragma once
// Printers as the layer's core sees them: a printer gives its capabilities
// for a device mode and opens documents, whose pages are drawing targets of
// printer DCs. The back end supplies the printers (Qt: QPdfWriter files and
// the system's CUPS printers); the core keeps the application's choice, the
// printer choices handed out by PrintDlgW and the document state of each
// printer DC.

#include "platform/afx/AfxPrinters.h"
#include "platform/core/Gdi.h"
#include "platform/win/WinCommonDialogs.h"

#include <memory>
#include <string>

namespace platform::core {

// One open document. Drawing lands on it only between StartPage and EndPage.
class IPagedDocument : public IDrawTarget {
public:
  virtual bool StartPage() = 0;
  virtual bool EndPage() = 0;
  // The document reaches its destination (a file renamed into place, a job
  // handed to the printer); false when it could not. A document without a
  // page leaves nothing.
  virtual bool Finish() = 0;
  // Nothing of the document remains.
  virtual void Abort() = 0;
};

class IPrinter {
public:
  virtual ~IPrinter() = default;
  virtual std::u16string Name() const = 0;
  // Whether the printer is still there to print on.
  virtual bool Available() const = 0;
  virtual DEVMODEW Defaults() const = 0;
  virtual PrinterCaps Caps(const DEVMODEW& mode) const = 0;
  // Null when the document cannot be started; `output`, when not empty, is a
  // file to write instead of the printer's own destination.
  virtual std::unique_ptr<IPagedDocument> StartDocument(const DEVMODEW& mode, std::u16string_view title,
                                                        std::u16string_view output) = 0;
};

// The system's printers (the back end's).
class IPrinterSystem {
public:
  virtual ~IPrinterSystem() = default;
  virtual std::shared_ptr<IPrinter> DefaultPrinter() = 0;
  virtual std::shared_ptr<IPrinter> FindPrinter(std::u16string_view name) = 0;
};

void SetPrinterSystem(IPrinterSystem* system);
// A printer that takes the place of the system's (tests, print to PDF); null: the system's again.
void SetSubstitutePrinter(std::shared_ptr<IPrinter> printer);

// A printer DC of the printer with the settings; null for a missing printer.
HDC CreatePrinterDc(std::shared_ptr<IPrinter> printer, const DEVMODEW& mode);
// The printer of that name now (the substitute's name first).
std::shared_ptr<IPrinter> FindPrinter(std::u16string_view name);

// A printer's settings in a DEVMODEW: its name cut to fit.
void SetDeviceName(DEVMODEW& mode, std::u16string_view name);
// Caps of a DEVMODEW's orientation: landscape turns the page.
PrinterCaps Oriented(const PrinterCaps& portrait, const DEVMODEW& mode);

} // namespace platform::core
