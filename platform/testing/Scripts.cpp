// Scripts of what blocks (modal runs, pop-up menus, drags) and the window
// system's side of clipboards, drags, keys, resizes and other programs, for
// headless tests.

#include "platform/afx/AfxDialog.h"
#include "platform/core/Controls.h"
#include "platform/qt/QtBackend.h"
#include "platform/testing/Headless.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QWindow>
#include <QtTest/QTest>

#include <deque>

namespace platform::testing {
namespace {

class ModalScripts : public core::IModalDriver {
public:
  void RunModal(HWND dialog, const std::function<bool()>& ended) override {
    if (scripts.empty()) {
      core::Diagnostic("a modal dialog ran without a script; it ends with %d", kUnscriptedModal);
      EndDialog(dialog, kUnscriptedModal);
      return;
    }
    const std::function<void(HWND)> script = std::move(scripts.front());
    scripts.pop_front();
    script(dialog);
    core::RethrowKeptException();
    if (!ended()) Pump();
    if (!ended()) {
      core::Diagnostic("a modal dialog still ran after its script; it ends with %d", kUnscriptedModal);
      EndDialog(dialog, kUnscriptedModal);
    }
  }
  std::deque<std::function<void(HWND)>> scripts;
};

class MenuScripts : public core::IMenuDriver {
public:
  UINT Track(HMENU menu, UINT, POINT, HWND) override {
    last = Snapshot(menu);
    if (choices.empty()) return 0;
    const UINT id = choices.front();
    choices.pop_front();
    return id;
  }
  std::deque<UINT> choices;
  ShownMenu last;
};

class DragScripts : public core::IDragDriver {
public:
  DROPEFFECT Drag(const core::DataBag& data, DROPEFFECT allowed) override {
    if (drags.empty()) return DROPEFFECT_NONE;
    const auto [steps, drop] = std::move(drags.front());
    drags.pop_front();
    return RunDrag(data, allowed, steps, drop);
  }
  std::deque<std::pair<std::vector<DragStep>, bool>> drags;
};

ModalScripts g_modal;
MenuScripts g_menus;
DragScripts g_drags;

Qt::MouseButtons ButtonsOf(DWORD keys) {
  Qt::MouseButtons buttons;
  if (keys & MK_LBUTTON) buttons |= Qt::LeftButton;
  if (keys & MK_RBUTTON) buttons |= Qt::RightButton;
  if (keys & MK_MBUTTON) buttons |= Qt::MiddleButton;
  return buttons;
}

Qt::KeyboardModifiers ModifiersOf(DWORD keys) {
  Qt::KeyboardModifiers modifiers;
  if (keys & MK_SHIFT) modifiers |= Qt::ShiftModifier;
  if (keys & MK_CONTROL) modifiers |= Qt::ControlModifier;
  if (keys & MK_ALT) modifiers |= Qt::AltModifier;
  return modifiers;
}

// The Qt key of a virtual key the layer maps.
Qt::Key QtKeyOf(int virtualKey) {
  for (int key = Qt::Key_Space; key <= Qt::Key_AsciiTilde; ++key) {
    if (qt::VirtualKeyOf(key) == virtualKey) return static_cast<Qt::Key>(key);
  }
  for (int key = Qt::Key_Escape; key <= Qt::Key_F12; ++key) {
    if (qt::VirtualKeyOf(key) == virtualKey) return static_cast<Qt::Key>(key);
  }
  return Qt::Key_unknown;
}

// The window system delivers keys to the focus window's text entry when it
// hosts one, else to its top-level window.
QWidget* KeyReceiver() {
  HWND hwnd = GetFocus();
  if (qt::HostWidget* focus = qt::WidgetOf(hwnd)) {
    for (QObject* child : focus->children()) {
      auto* entry = qobject_cast<QWidget*>(child);
      if (entry && !dynamic_cast<qt::HostWidget*>(entry) && entry->focusPolicy() != Qt::NoFocus) return entry;
    }
  }
  if (!hwnd) hwnd = GetActiveWindow();
  while (hwnd && GetParent(hwnd)) hwnd = GetParent(hwnd);
  return qt::WidgetOf(hwnd);
}

} // namespace

void InstallScripts() {
  core::SetModalDriver(&g_modal);
  core::SetMenuDriver(&g_menus);
  core::SetDragDriver(&g_drags);
}

void OnNextModal(std::function<void(HWND dialog)> script) { g_modal.scripts.push_back(std::move(script)); }
std::size_t PendingModalScripts() { return g_modal.scripts.size(); }

void ScriptMenuChoice(UINT id) { g_menus.choices.push_back(id); }
ShownMenu LastShownMenu() { return g_menus.last; }

ShownMenu Snapshot(HMENU menu) {
  ShownMenu shown;
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    ShownMenuItem item;
    item.state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    const int length = GetMenuStringW(menu, static_cast<UINT>(i), nullptr, 0, MF_BYPOSITION);
    item.text.assign(static_cast<std::size_t>(length) + 1, u'\0');
    item.text.resize(static_cast<std::size_t>(
        GetMenuStringW(menu, static_cast<UINT>(i), item.text.data(), length + 1, MF_BYPOSITION)));
    if (item.state & MF_POPUP) {
      item.items = Snapshot(GetSubMenu(menu, i));
    } else if (!(item.state & MF_SEPARATOR)) {
      item.id = GetMenuItemID(menu, i);
    }
    shown.push_back(std::move(item));
  }
  return shown;
}

namespace {
// A Qt menu as it shows: what the person sees of each action.
ShownMenu ShownBy(QMenu* menu) {
  ShownMenu shown;
  for (QAction* action : menu->actions()) {
    ShownMenuItem item;
    if (action->isSeparator()) {
      item.state = MF_SEPARATOR;
    } else {
      item.text = action->text().toStdU16String();
      item.state = (action->isEnabled() ? 0 : MF_GRAYED) | (action->isChecked() ? MF_CHECKED : 0) |
                   (action->font().bold() ? MF_DEFAULT : 0);
      if (action->menu()) {
        item.state |= MF_POPUP;
      } else {
        item.id = action->data().toUInt();
      }
    }
    shown.push_back(std::move(item));
  }
  return shown;
}
} // namespace

ShownMenu OpenMenuBarPopup(HWND frame, int position, UINT choose) {
  qt::HostWidget* widget = qt::WidgetOf(frame);
  auto* bar = widget ? widget->findChild<QMenuBar*>(QStringLiteral("layerMenuBar")) : nullptr;
  const QList<QAction*> entries = bar ? bar->actions() : QList<QAction*>();
  if (position < 0 || position >= entries.size() || !entries[position]->menu()) return {};
  // The pop-up opens as under the person's click: its window's update
  // handlers run first, then it shows the menu's items.
  QMenu* popup = entries[position]->menu();
  popup->popup(bar->mapToGlobal(bar->actionGeometry(entries[position]).bottomLeft()));
  Pump();
  const ShownMenu shown = ShownBy(popup);
  for (QAction* action : popup->actions()) {
    if (choose && action->data().toUInt() == choose && action->isEnabled()) action->trigger();
  }
  popup->hide();
  Pump();
  return shown;
}

void ScriptDrag(std::vector<DragStep> steps, bool drop) { g_drags.drags.emplace_back(std::move(steps), drop); }

DWORD RunDrag(const std::map<UINT, std::vector<std::uint8_t>>& data, DWORD allowed, const std::vector<DragStep>& steps,
              bool drop) {
  if (steps.empty()) return DROPEFFECT_NONE;
  POINT screen{};
  for (std::size_t i = 0; i < steps.size(); ++i) {
    screen = steps[i].client;
    ClientToScreen(steps[i].hwnd, &screen);
    if (i == 0) {
      core::DragEnter(steps[i].hwnd, data, steps[i].keyState, screen, allowed);
    } else {
      core::DragOver(steps[i].hwnd, steps[i].keyState, screen, allowed);
    }
  }
  if (!drop) {
    core::DragLeave();
    return DROPEFFECT_NONE;
  }
  return core::Drop(steps.back().hwnd, steps.back().keyState, screen, allowed);
}

DWORD SystemDrop(POINT screen, const std::vector<std::pair<std::string, std::string>>& mime, DWORD keyState) {
  QWidget* widget = qt::WidgetOf(WindowFromPoint(screen));
  while (widget && !widget->acceptDrops()) widget = widget->isWindow() ? nullptr : widget->parentWidget();
  if (!widget) return DROPEFFECT_NONE;
  QMimeData data;
  for (const auto& [type, bytes] : mime) {
    data.setData(QString::fromStdString(type), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  }
  const QPointF at = widget->mapFromGlobal(QPointF(screen.x, screen.y));
  const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
  QDragEnterEvent enter(at.toPoint(), actions, &data, ButtonsOf(keyState), ModifiersOf(keyState));
  QApplication::sendEvent(widget, &enter);
  QDragMoveEvent move(at.toPoint(), actions, &data, ButtonsOf(keyState), ModifiersOf(keyState));
  QApplication::sendEvent(widget, &move);
  QDropEvent drop(at, actions, &data, ButtonsOf(keyState), ModifiersOf(keyState));
  QApplication::sendEvent(widget, &drop);
  Pump();
  if (!drop.isAccepted()) return DROPEFFECT_NONE;
  switch (drop.dropAction()) {
  case Qt::CopyAction: return DROPEFFECT_COPY;
  case Qt::MoveAction: return DROPEFFECT_MOVE;
  case Qt::LinkAction: return DROPEFFECT_LINK;
  default: return DROPEFFECT_NONE;
  }
}

std::vector<std::pair<std::string, std::string>> SystemClipboard() {
  std::vector<std::pair<std::string, std::string>> mime;
  if (const QMimeData* data = QGuiApplication::clipboard()->mimeData()) {
    for (const QString& type : data->formats()) mime.emplace_back(type.toStdString(), data->data(type).toStdString());
  }
  return mime;
}

void SetSystemClipboard(const std::vector<std::pair<std::string, std::string>>& mime) {
  auto* data = new QMimeData;
  for (const auto& [type, bytes] : mime) {
    data->setData(QString::fromStdString(type), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  }
  QGuiApplication::clipboard()->setMimeData(data);
  Pump();
}

void SystemKeyWith(int virtualKey, bool control, bool shift, bool alt) {
  QWidget* receiver = KeyReceiver();
  const Qt::Key key = QtKeyOf(virtualKey);
  if (!receiver || key == Qt::Key_unknown) return;
  // The layer reads modifiers from the input state.
  const InputFrame before = Input().Current();
  InputFrame held = before;
  held.control = control;
  held.shift = shift;
  Input().SetCurrent(held);
  Qt::KeyboardModifiers modifiers;
  if (control) modifiers |= Qt::ControlModifier;
  if (shift) modifiers |= Qt::ShiftModifier;
  if (alt) modifiers |= Qt::AltModifier;
  QTest::keyPress(receiver, key, modifiers);
  Pump();
  QTest::keyRelease(receiver, key, modifiers);
  Pump();
  Input().SetCurrent(before);
}

void SystemType(const std::u16string& text) {
  QWidget* receiver = KeyReceiver();
  if (!receiver) return;
  QTest::keyClicks(receiver, QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
  Pump();
}

void SystemResize(HWND hwnd, RECT screen) {
  if (QWidget* widget = qt::WidgetOf(hwnd)) widget->setGeometry(qt::ToQRect(screen));
  Pump();
}

void SystemShowState(HWND hwnd, int state) {
  // Through the platform window, as a window manager's change arrives.
  QWidget* widget = qt::WidgetOf(hwnd);
  if (widget && widget->windowHandle()) {
    widget->windowHandle()->setWindowState(state == SW_SHOWMINIMIZED   ? Qt::WindowMinimized
                                           : state == SW_SHOWMAXIMIZED ? Qt::WindowMaximized
                                                                       : Qt::WindowNoState);
  }
  Pump();
}

struct ProgramRun::Impl {
  QProcess process;
  std::string output;
  void Serve(int ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
    core::DrainQueues();
    process.waitForReadyRead(ms);
    output += process.readAllStandardOutput().toStdString();
  }
};

ProgramRun::ProgramRun(const std::vector<std::string>& argv) : m_impl(std::make_unique<Impl>()) {
  QStringList arguments;
  for (std::size_t i = 1; i < argv.size(); ++i) arguments << QString::fromStdString(argv[i]);
  m_impl->process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  m_impl->process.start(QString::fromStdString(argv.empty() ? std::string() : argv[0]), arguments);
  m_impl->process.waitForStarted(10000);
}

ProgramRun::~ProgramRun() {
  if (m_impl->process.state() != QProcess::NotRunning) {
    m_impl->process.kill();
    m_impl->process.waitForFinished(5000);
  }
}

long long ProgramRun::Pid() const { return m_impl->process.processId(); }

bool ProgramRun::WaitFor(const std::string& text, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (m_impl->output.find(text) == std::string::npos) {
    if (clock.elapsed() > timeoutMs) return false;
    if (m_impl->process.state() == QProcess::NotRunning) {
      m_impl->output += m_impl->process.readAllStandardOutput().toStdString();
      return m_impl->output.find(text) != std::string::npos;
    }
    m_impl->Serve(10);
  }
  // What the program just did reaches this one through the window system's
  // events (a new clipboard owner): let them arrive.
  for (int i = 0; i < 10; ++i) m_impl->Serve(10);
  return true;
}

int ProgramRun::Finish(int timeoutMs) {
  m_impl->process.closeWriteChannel();
  QElapsedTimer clock;
  clock.start();
  while (m_impl->process.state() != QProcess::NotRunning) {
    if (clock.elapsed() > timeoutMs) {
      m_impl->process.kill();
      m_impl->process.waitForFinished(5000);
      return -1;
    }
    m_impl->Serve(10);
  }
  m_impl->output += m_impl->process.readAllStandardOutput().toStdString();
  return m_impl->process.exitStatus() == QProcess::NormalExit ? m_impl->process.exitCode() : -1;
}

std::string ProgramRun::Output() {
  m_impl->output += m_impl->process.readAllStandardOutput().toStdString();
  return m_impl->output;
}

} // namespace platform::testing
