// Qt's common dialogs for people: the printer set-up is QPrintDialog on the
// chosen printer, files go through QFileDialog, and the font with its colour
// is a small dialog of the layer's own (Qt's font dialog has neither a
// colour nor a fixed size). Each runs modally over its owner's window; the
// layer's queues keep being served inside.

#include "platform/core/CommonDialogs.h"
#include "platform/afx/AfxPrinters.h"
#include "platform/core/Printers.h"
#include "platform/qt/QtBackend.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontComboBox>
#include <QFormLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSpinBox>

namespace platform::qt {
namespace {

QString Text(const std::u16string& text) { return QString::fromStdU16String(text); }

QWidget* OwnerWidget(HWND owner) {
  HostWidget* widget = WidgetOf(owner);
  return widget ? widget->window() : nullptr;
}

COLORREF RefOf(const QColor& c) {
  return RGB(static_cast<BYTE>(c.red()), static_cast<BYTE>(c.green()), static_cast<BYTE>(c.blue()));
}

bool SetUpPrinter(core::PrintSetupRequest& request) {
  QPrinter printer(QPrinterInfo::printerInfo(Text(request.printer)), QPrinter::HighResolution);
  if (request.printer == kPrintToFilePrinter) printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setCopyCount(std::max<int>(request.mode.dmCopies, 1));
  printer.setPageOrientation(request.mode.dmOrientation == DMORIENT_LANDSCAPE ? QPageLayout::Landscape
                                                                              : QPageLayout::Portrait);
  if (request.mode.dmPaperSize > 0) printer.setPageSize(QPageSize(QPageSize::id(request.mode.dmPaperSize)));
  QPrintDialog dialog(&printer, OwnerWidget(request.owner));
  dialog.setOption(QAbstractPrintDialog::PrintToFile, !(request.flags & (PD_HIDEPRINTTOFILE | PD_DISABLEPRINTTOFILE)));
  dialog.setOption(QAbstractPrintDialog::PrintSelection, !(request.flags & PD_NOSELECTION));
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, !(request.flags & PD_NOPAGENUMS));
  if (dialog.exec() != QDialog::Accepted) return false;
  // Qt's own "print to file" entry is the layer's printer into a file.
  if (printer.printerName().isEmpty() && printer.outputFormat() != QPrinter::PdfFormat) return false;
  request.printer = printer.printerName().isEmpty() ? std::u16string(kPrintToFilePrinter)
                                                    : printer.printerName().toStdU16String();
  request.mode.dmCopies = static_cast<short>(printer.copyCount());
  request.mode.dmOrientation =
      printer.pageLayout().orientation() == QPageLayout::Landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
  request.mode.dmPaperSize = static_cast<short>(printer.pageLayout().pageSize().windowsId());
  request.mode.dmFields |= DM_COPIES | DM_ORIENTATION | DM_PAPERSIZE;
  return true;
}

bool ChooseFontAndColour(core::FontRequest& request) {
  QDialog dialog(OwnerWidget(request.owner));
  dialog.setWindowTitle(QObject::tr("Font"));
  auto* layout = new QFormLayout(&dialog);
  auto* face = new QFontComboBox(&dialog);
  face->setCurrentFont(FontFor(request.font));
  auto* size = new QSpinBox(&dialog);
  const bool limited = request.flags & CF_LIMITSIZE;
  size->setRange(limited ? request.minPoints : 1, limited ? request.maxPoints : 400);
  size->setValue((request.pointTenths + 5) / 10);
  auto* bold = new QCheckBox(QObject::tr("Bold"), &dialog);
  bold->setChecked(request.font.lfWeight >= FW_BOLD);
  auto* italic = new QCheckBox(QObject::tr("Italic"), &dialog);
  italic->setChecked(request.font.lfItalic != 0);
  layout->addRow(QObject::tr("Font"), face);
  layout->addRow(QObject::tr("Size"), size);
  layout->addRow(bold);
  layout->addRow(italic);
  QCheckBox* underline = nullptr;
  QCheckBox* strikeOut = nullptr;
  QColor colour(GetRValue(request.colour), GetGValue(request.colour), GetBValue(request.colour));
  if (request.flags & CF_EFFECTS) {
    underline = new QCheckBox(QObject::tr("Underline"), &dialog);
    underline->setChecked(request.font.lfUnderline != 0);
    strikeOut = new QCheckBox(QObject::tr("Strike-out"), &dialog);
    strikeOut->setChecked(request.font.lfStrikeOut != 0);
    auto* pick = new QPushButton(QObject::tr("Colour..."), &dialog);
    auto showColour = [pick, &colour] { pick->setStyleSheet(QStringLiteral("color: %1").arg(colour.name())); };
    showColour();
    QObject::connect(pick, &QPushButton::clicked, &dialog, [&dialog, &colour, showColour] {
      const QColor chosen = QColorDialog::getColor(colour, &dialog);
      if (chosen.isValid()) colour = chosen;
      showColour();
    });
    layout->addRow(underline);
    layout->addRow(strikeOut);
    layout->addRow(QObject::tr("Colour"), pick);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;

  const std::u16string family = face->currentFont().family().left(LF_FACESIZE - 1).toStdU16String();
  std::fill(std::begin(request.font.lfFaceName), std::end(request.font.lfFaceName), u'\0');
  std::copy(family.begin(), family.end(), request.font.lfFaceName);
  request.font.lfWeight = bold->isChecked() ? FW_BOLD : FW_NORMAL;
  request.font.lfItalic = italic->isChecked();
  if (underline) request.font.lfUnderline = underline->isChecked();
  if (strikeOut) request.font.lfStrikeOut = strikeOut->isChecked();
  request.pointTenths = size->value() * 10;
  request.colour = RefOf(colour);
  return true;
}

// "Pictures" with "*.jpg;*.png" becomes "Pictures (*.jpg *.png)".
QStringList NameFilters(const core::FileRequest& request) {
  QStringList filters;
  for (const auto& [description, patterns] : request.filters) {
    QString list = Text(patterns);
    list.replace(u';', u' ');
    filters << QStringLiteral("%1 (%2)").arg(Text(description), list);
  }
  return filters;
}

bool ChooseFileByQt(core::FileRequest& request) {
  QFileDialog dialog(OwnerWidget(request.owner), Text(request.title), Text(request.folder));
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !(request.flags & OFN_OVERWRITEPROMPT));
  const QStringList filters = NameFilters(request);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(request.filterIndex - 1, filters.first()));
  }
  if (!request.path.empty()) dialog.selectFile(Text(request.path));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  request.path = dialog.selectedFiles().first().toStdU16String();
  request.filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
  return true;
}

class QtDialogDriver : public core::IDialogDriver {
public:
  bool PrintSetup(core::PrintSetupRequest& request) override { return SetUpPrinter(request); }
  bool ChooseFont(core::FontRequest& request) override { return ChooseFontAndColour(request); }
  bool ChooseFile(core::FileRequest& request) override { return ChooseFileByQt(request); }
};

// Qt's dialogs serve from the moment the library is loaded (tests replace them).
[[maybe_unused]] const bool g_qtDialogs = [] {
  static QtDialogDriver driver;
  core::SetDialogDriver(&driver);
  return true;
}();

} // namespace
} // namespace platform::qt
