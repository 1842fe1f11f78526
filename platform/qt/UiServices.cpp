// The Qt side of dialogs, controls, menus, the clipboard and drags:
// hosted text entries, menu bars and pop-up menus built from the layer's
// menus (each pop-up asks its window's update handlers before it shows;
// chosen commands come back as WM_COMMAND; no Qt shortcut is set, the
// layer translates accelerators), the system clipboard in the desktop's
// MIME types, drop targets on host widgets and QDrag for drags, and the
// minimised and maximised states of top-level windows.

#include "platform/core/Controls.h"
#include "platform/qt/QtBackend.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QDropEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>

#include <map>

namespace platform::qt {
namespace {

constexpr int kMenuBarHeight = 20;

QString MenuText(HMENU menu, UINT position) {
  const int length = GetMenuStringW(menu, position, nullptr, 0, MF_BYPOSITION);
  std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
  text.resize(static_cast<std::size_t>(GetMenuStringW(menu, position, text.data(), length + 1, MF_BYPOSITION)));
  // The part after a tab (the keys) is only shown; Qt shows it as such.
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Fills a Qt menu from a layer menu. Pop-ups fill themselves when they are
// about to show, after their window's update handlers ran.
void Fill(QMenu* qmenu, HMENU menu, HWND owner, std::map<QAction*, UINT>* chosen);

void FillOnShow(QMenu* qmenu, HMENU menu, HWND owner, int index, std::map<QAction*, UINT>* chosen) {
  QObject::connect(qmenu, &QMenu::aboutToShow, qmenu, [=] {
    Guarded([&] { core::MenuPopupShowing(owner, menu, index); });
    qmenu->clear();
    if (IsMenu(menu)) Fill(qmenu, menu, owner, chosen);
  });
}

void Fill(QMenu* qmenu, HMENU menu, HWND owner, std::map<QAction*, UINT>* chosen) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    if (state & MF_SEPARATOR) {
      qmenu->addSeparator();
      continue;
    }
    QAction* action;
    if (state & MF_POPUP) {
      QMenu* sub = qmenu->addMenu(MenuText(menu, static_cast<UINT>(i)));
      FillOnShow(sub, GetSubMenu(menu, i), owner, i, chosen);
      action = sub->menuAction();
    } else {
      action = qmenu->addAction(MenuText(menu, static_cast<UINT>(i)));
      const UINT id = GetMenuItemID(menu, i);
      action->setData(QVariant::fromValue(id));
      if (chosen) {
        (*chosen)[action] = id;
      } else {
        QObject::connect(action, &QAction::triggered, action, [owner, id] { core::MenuCommandChosen(owner, id); });
      }
    }
    action->setEnabled(!(state & (MF_GRAYED | MF_DISABLED)));
    if (state & MF_CHECKED) {
      action->setCheckable(true);
      action->setChecked(true);
    }
    if (state & MF_DEFAULT) {
      QFont bold = action->font();
      bold.setBold(true);
      action->setFont(bold);
    }
  }
}

QMenuBar* BarOf(HostWidget* widget) { return widget->findChild<QMenuBar*>(QStringLiteral("layerMenuBar")); }

void PlaceBar(HostWidget* widget) {
  if (QMenuBar* bar = BarOf(widget)) {
    bar->setGeometry(widget->Border(), widget->Border(), std::max(0, widget->width() - 2 * widget->Border()),
                     kMenuBarHeight);
  }
}

// Keeps a frame's menu bar across its top.
class BarPlacer : public QObject {
public:
  using QObject::QObject;
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Resize) {
      if (auto* widget = dynamic_cast<HostWidget*>(object)) PlaceBar(widget);
    }
    return false;
  }
};

Qt::DropActions QtActions(DROPEFFECT effects) {
  Qt::DropActions actions;
  if (effects & DROPEFFECT_COPY) actions |= Qt::CopyAction;
  if (effects & DROPEFFECT_MOVE) actions |= Qt::MoveAction;
  if (effects & DROPEFFECT_LINK) actions |= Qt::LinkAction;
  return actions;
}

DROPEFFECT Effects(Qt::DropActions actions) {
  DROPEFFECT effects = DROPEFFECT_NONE;
  if (actions & Qt::CopyAction) effects |= DROPEFFECT_COPY;
  if (actions & Qt::MoveAction) effects |= DROPEFFECT_MOVE;
  if (actions & Qt::LinkAction) effects |= DROPEFFECT_LINK;
  return effects;
}

Qt::DropAction QtAction(DROPEFFECT effect) {
  if (effect & DROPEFFECT_MOVE) return Qt::MoveAction;
  if (effect & DROPEFFECT_COPY) return Qt::CopyAction;
  if (effect & DROPEFFECT_LINK) return Qt::LinkAction;
  return Qt::IgnoreAction;
}

core::MimeBag BagOf(const QMimeData* data) {
  core::MimeBag bag;
  if (!data) return bag;
  for (const std::string& type : core::KnownMimeTypes()) {
    const QString name = QString::fromStdString(type);
    if (data->hasFormat(name)) bag.emplace_back(type, data->data(name).toStdString());
  }
  return bag;
}

QMimeData* MimeOf(const core::MimeBag& bag) {
  auto* data = new QMimeData;
  for (const auto& [type, bytes] : bag) {
    data->setData(QString::fromStdString(type), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  }
  return data;
}

DWORD DropKeyState(const QDropEvent* event) {
  DWORD keys = static_cast<DWORD>(KeyStateOf(event->buttons(), event->modifiers()));
  if (event->modifiers() & Qt::AltModifier) keys |= MK_ALT;
  return keys;
}

// Drag events of a host widget that registered a drop target.
class DropFilter : public QObject {
public:
  using QObject::QObject;
  bool eventFilter(QObject* object, QEvent* event) override {
    auto* widget = dynamic_cast<HostWidget*>(object);
    if (!widget || !widget->Hwnd()) return false;
    const HWND hwnd = widget->Hwnd();
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      const QPoint global = widget->mapToGlobal(drag->position().toPoint());
      const POINT screen{global.x(), global.y()};
      const DROPEFFECT allowed = Effects(drag->possibleActions());
      DROPEFFECT effect = DROPEFFECT_NONE;
      Guarded([&] {
        effect = event->type() == QEvent::DragEnter
                     ? core::DragEnter(hwnd, core::FromMime(BagOf(drag->mimeData())), DropKeyState(drag), screen, allowed)
                     : core::DragOver(hwnd, DropKeyState(drag), screen, allowed);
      });
      // The enter is always taken, so the moves keep coming; a position the
      // target refuses shows the refusal.
      drag->setDropAction(QtAction(effect));
      if (effect != DROPEFFECT_NONE || event->type() == QEvent::DragEnter) {
        drag->accept();
      } else {
        drag->ignore();
      }
      return true;
    }
    case QEvent::DragLeave: Guarded(core::DragLeave); return true;
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const QPoint global = widget->mapToGlobal(drop->position().toPoint());
      DROPEFFECT effect = DROPEFFECT_NONE;
      Guarded([&] {
        effect = core::Drop(hwnd, DropKeyState(drop), {global.x(), global.y()}, Effects(drop->possibleActions()));
      });
      drop->setDropAction(QtAction(effect));
      if (effect != DROPEFFECT_NONE) {
        drop->accept();
      } else {
        drop->ignore();
      }
      return true;
    }
    default: return false;
    }
  }
};

class QtServices : public core::IUiServices {
public:
  std::unique_ptr<core::ITextEdit> CreateTextEdit(HWND hwnd, bool multiline, core::ITextEditEvents* events) override {
    return MakeHostedEdit(hwnd, multiline, events);
  }

  void SetMenuBar(HWND hwnd, HMENU menu) override {
    HostWidget* widget = WidgetOf(hwnd);
    if (!widget) return;
    QMenuBar* bar = BarOf(widget);
    if (!menu) {
      delete bar;
      widget->SetMenuHeight(0);
      return;
    }
    if (!bar) {
      bar = new QMenuBar(widget);
      bar->setObjectName(QStringLiteral("layerMenuBar"));
      bar->setNativeMenuBar(false);
      bar->setFixedHeight(kMenuBarHeight);
      widget->installEventFilter(&m_placer);
    }
    bar->clear();
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
      const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
      if (state & MF_SEPARATOR) continue;
      if (state & MF_POPUP) {
        QMenu* popup = bar->addMenu(MenuText(menu, static_cast<UINT>(i)));
        FillOnShow(popup, GetSubMenu(menu, i), hwnd, i, nullptr);
        popup->menuAction()->setEnabled(!(state & (MF_GRAYED | MF_DISABLED)));
      } else {
        QAction* action = bar->addAction(MenuText(menu, static_cast<UINT>(i)));
        const UINT id = GetMenuItemID(menu, i);
        QObject::connect(action, &QAction::triggered, action, [hwnd, id] { core::MenuCommandChosen(hwnd, id); });
      }
    }
    widget->SetMenuHeight(kMenuBarHeight);
    PlaceBar(widget);
    bar->show();
  }

  UINT TrackPopupMenu(HMENU menu, UINT, POINT screen, HWND owner) override {
    QMenu popup(WidgetOf(owner));
    std::map<QAction*, UINT> chosen;
    Fill(&popup, menu, owner, &chosen);
    QAction* action = popup.exec(QPoint(screen.x, screen.y));
    auto it = chosen.find(action);
    return it == chosen.end() ? 0 : it->second;
  }

  core::MimeBag ReadClipboard() override { return BagOf(QGuiApplication::clipboard()->mimeData()); }

  void WriteClipboard(const core::MimeBag& data) override { QGuiApplication::clipboard()->setMimeData(MimeOf(data)); }

  void AcceptDrops(HWND hwnd, bool accept) override {
    HostWidget* widget = WidgetOf(hwnd);
    if (!widget) return;
    widget->setAcceptDrops(accept);
    widget->removeEventFilter(&m_drops);
    if (accept) widget->installEventFilter(&m_drops);
  }

  DROPEFFECT RunDrag(const core::MimeBag& data, DROPEFFECT allowed) override {
    HostWidget* source = WidgetOf(GetActiveWindow());
    if (!source) return DROPEFFECT_NONE;
    auto* drag = new QDrag(source);
    drag->setMimeData(MimeOf(data));
    const Qt::DropAction done = drag->exec(QtActions(allowed), Qt::CopyAction);
    return Effects(done);
  }

  void SetShowState(HWND hwnd, int state) override {
    HostWidget* widget = WidgetOf(hwnd);
    if (!widget || !widget->isWindow()) return;
    const Qt::WindowStates qtState =
        state == SW_SHOWMINIMIZED ? Qt::WindowMinimized : state == SW_SHOWMAXIMIZED ? Qt::WindowMaximized : Qt::WindowNoState;
    if (widget->windowState() != qtState) widget->setWindowState(qtState);
  }

private:
  BarPlacer m_placer;
  DropFilter m_drops;
};

} // namespace

core::IUiServices* QtUiServices() {
  static QtServices services;
  return &services;
}

} // namespace platform::qt
