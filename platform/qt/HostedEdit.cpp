// The edit control's text entry: a QLineEdit (one line) or a QPlainTextEdit
// (ES_MULTILINE) filling the edit window's client area. Every key the layer
// knows passes the pre-translate chain before Qt sees it (a dialog's Tab,
// Enter and Esc, a window eating Enter) and then the edit window's own
// procedure; Qt takes only what reached the edit's default handling. Mouse
// input becomes messages of the edit (or of the capture window) as well;
// the wheel goes through the layer. Scroll bars are the toolkit's: the
// entry's own stay hidden and its scroll position is reported in lines.

#include "platform/core/Controls.h"
#include "platform/qt/QtBackend.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QWheelEvent>

namespace platform::qt {
namespace {

class HostedEdit : public QObject, public core::ITextEdit {
public:
  HostedEdit(HWND hwnd, bool multiline, core::ITextEditEvents* events) : m_hwnd(hwnd), m_events(events) {
    HostWidget* host = WidgetOf(hwnd);
    if (multiline) {
      auto* text = new QPlainTextEdit(host);
      text->setFrameShape(QFrame::NoFrame);
      text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      text->document()->setDocumentMargin(1);
      // Lines wrap unless the edit scrolls sideways.
      text->setLineWrapMode((GetWindowStyle(hwnd) & ES_AUTOHSCROLL) ? QPlainTextEdit::NoWrap
                                                                    : QPlainTextEdit::WidgetWidth);
      // Signals run inside Qt's dispatch: a handler's exception waits for the layer's loop.
      QObject::connect(text, &QPlainTextEdit::textChanged, this, [this] { Guarded([this] { Changed(); }); });
      QObject::connect(text->verticalScrollBar(), &QScrollBar::valueChanged, this,
                       [this] { Guarded([this] { m_events->ScrollChanged(); }); });
      QObject::connect(text->verticalScrollBar(), &QScrollBar::rangeChanged, this,
                       [this] { Guarded([this] { m_events->ScrollChanged(); }); });
      m_multi = text;
      m_widget = text;
    } else {
      auto* line = new QLineEdit(host);
      line->setFrame(false);
      const DWORD style = GetWindowStyle(hwnd);
      line->setAlignment((style & ES_RIGHT) ? Qt::AlignRight : (style & ES_CENTER) ? Qt::AlignHCenter : Qt::AlignLeft);
      if (style & ES_PASSWORD) line->setEchoMode(QLineEdit::Password);
      QObject::connect(line, &QLineEdit::textChanged, this, [this] { Guarded([this] { Changed(); }); });
      m_line = line;
      m_widget = line;
    }
    m_widget->setAutoFillBackground(true);
    m_widget->setBackgroundRole(QPalette::Base);
    m_widget->setFocusPolicy(Qt::ClickFocus);
    m_widget->installEventFilter(this);
    if (host) {
      host->installEventFilter(this);
      m_host = host;
    }
    Layout();
    m_widget->show();
  }

  ~HostedEdit() override { delete m_widget.data(); }

  void SetText(std::u16string_view text) override {
    const QString s = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
    if (m_line) {
      // The limit holds for typing only: the program may set longer text.
      m_line->setMaxLength(std::max(m_limit, static_cast<int>(s.size())));
      m_line->setText(s);
    } else if (m_multi) {
      QString plain = s;
      plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
      m_settingText = true;
      m_multi->setPlainText(plain);
      m_settingText = false;
    }
  }

  std::u16string Text() const override {
    QString s = m_line ? m_line->text() : m_multi ? m_multi->toPlainText() : QString();
    // Lines of a multi-line edit are ended by CR LF, as on the original system.
    if (m_multi) s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size()));
  }

  void SetSelection(int start, int end) override {
    if (m_line) {
      const int n = static_cast<int>(m_line->text().size());
      if (start < 0) {
        m_line->deselect();
        return;
      }
      const int to = end < 0 ? n : std::min(end, n);
      const int from = std::min(start, n);
      m_line->setSelection(from, to - from);
    } else if (m_multi) {
      QTextCursor cursor = m_multi->textCursor();
      if (start < 0) {
        cursor.clearSelection();
      } else {
        const int n = static_cast<int>(m_multi->document()->characterCount()) - 1;
        cursor.setPosition(std::min(FromWindows(start), n));
        cursor.setPosition(end < 0 ? n : std::min(FromWindows(end), n), QTextCursor::KeepAnchor);
      }
      m_multi->setTextCursor(cursor);
    }
  }

  void GetSelection(int& start, int& end) const override {
    start = end = 0;
    if (m_line) {
      if (m_line->hasSelectedText()) {
        start = static_cast<int>(m_line->selectionStart());
        end = static_cast<int>(m_line->selectionEnd());
      } else {
        start = end = static_cast<int>(m_line->cursorPosition());
      }
    } else if (m_multi) {
      const QTextCursor cursor = m_multi->textCursor();
      start = ToWindows(cursor.selectionStart());
      end = ToWindows(cursor.selectionEnd());
    }
  }

  void ReplaceSelection(std::u16string_view text) override {
    const QString s = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
    if (m_line) {
      m_line->insert(s);
    } else if (m_multi) {
      QTextCursor cursor = m_multi->textCursor();
      const int room = m_limit - (m_multi->document()->characterCount() - 1) +
                       (cursor.selectionEnd() - cursor.selectionStart());
      cursor.insertText(s.left(std::max(0, room)));
    }
  }

  void SetLimit(int characters) override {
    m_limit = std::min(characters, 0x7FFFFFF);
    FitLineLimit();
  }

  void SetReadOnly(bool readOnly) override {
    if (m_line) m_line->setReadOnly(readOnly);
    if (m_multi) m_multi->setReadOnly(readOnly);
  }

  void SetFont(const LOGFONTW& font) override {
    if (m_widget) m_widget->setFont(FontFor(font));
  }

  void SetColours(COLORREF text, COLORREF background) override {
    if (!m_widget) return;
    QPalette palette = m_widget->palette();
    const QColor fore(GetRValue(text), GetGValue(text), GetBValue(text));
    const QColor back(GetRValue(background), GetGValue(background), GetBValue(background));
    if (palette.color(QPalette::Text) == fore && palette.color(QPalette::Base) == back) return;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
      palette.setColor(group, QPalette::Text, fore);
      palette.setColor(group, QPalette::Base, back);
      palette.setColor(group, QPalette::Window, back);
    }
    m_widget->setPalette(palette);
  }

  RECT FormatRect() const override {
    if (!m_widget || !m_host) return {};
    QRect r = m_multi ? m_multi->viewport()->geometry().translated(m_multi->pos()) : m_widget->geometry();
    r.translate(-m_host->ClientOffset());
    const int margin = m_multi ? static_cast<int>(m_multi->document()->documentMargin()) : 1;
    return ToRect(r.adjusted(margin, margin, -margin, -margin));
  }

  int LineCount() const override { return m_multi ? std::max(1, m_multi->document()->lineCount()) : 1; }
  int FirstVisibleLine() const override { return m_multi ? m_multi->verticalScrollBar()->value() : 0; }
  int VisibleLines() const override {
    if (!m_multi) return 1;
    const int line = QFontMetrics(m_multi->font()).lineSpacing();
    return line > 0 ? std::max(1, m_multi->viewport()->height() / line) : 1;
  }
  void SetFirstVisibleLine(int line) override {
    if (m_multi) m_multi->verticalScrollBar()->setValue(line);
  }
  void Undo() override {
    if (m_line) m_line->undo();
    if (m_multi) m_multi->undo();
  }
  bool CanUndo() const override {
    return m_line ? m_line->isUndoAvailable() : m_multi ? m_multi->document()->isUndoAvailable() : false;
  }
  void TakeFocus() override {
    if (m_widget) m_widget->setFocus(Qt::OtherFocusReason);
  }

protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (object == m_host && event->type() == QEvent::Resize) Layout();
    if (object != m_widget) return false;
    bool eaten = false;
    Guarded([&] { eaten = Filter(event); });
    return eaten;
  }

private:
  // Positions of a multi-line entry: the program counts CR LF as two
  // characters, the entry's document a line break as one.
  int ToWindows(int position) const {
    const QString text = m_multi->toPlainText().left(position);
    return position + static_cast<int>(text.count(QLatin1Char('\n')));
  }
  int FromWindows(int position) const {
    const QString text = m_multi->toPlainText();
    int windows = 0;
    int i = 0;
    for (; i < text.size() && windows < position; ++i) windows += text[i] == QLatin1Char('\n') ? 2 : 1;
    return i;
  }

  void Layout() {
    if (!m_widget || !m_host) return;
    m_widget->setGeometry(QRect(m_host->ClientOffset(), m_host->Surface().size()));
  }

  // Typing stops at the limit, or at a longer text the program set.
  void FitLineLimit() {
    if (m_line) m_line->setMaxLength(std::max(m_limit, static_cast<int>(m_line->text().size())));
  }

  void Changed() {
    FitLineLimit();
    if (m_multi && !m_settingText && m_multi->document()->characterCount() - 1 > m_limit) {
      // A multi-line entry has no limit of its own: cut what went over.
      QTextCursor cursor(m_multi->document());
      cursor.setPosition(m_limit);
      cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
      cursor.removeSelectedText();
      return;
    }
    m_events->TextChanged();
  }

  bool Filter(QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: return Key(static_cast<QKeyEvent*>(event));
    case QEvent::FocusIn:
      if (GetFocus() != m_hwnd && IsWindow(m_hwnd)) SetFocus(m_hwnd);
      return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      const HWND capture = GetCapture();
      PostMouseMessage(m_hwnd, mouse, MouseMessageOf(event->type(), mouse->button()));
      // With another window capturing the mouse the entry sees nothing.
      return capture && capture != m_hwnd;
    }
    case QEvent::Wheel: {
      auto* wheel = static_cast<QWheelEvent*>(event);
      const QPoint global = wheel->globalPosition().toPoint();
      PostMessageW(m_hwnd, WM_MOUSEWHEEL,
                   MAKEWPARAM(KeyStateOf(wheel->buttons(), wheel->modifiers()), wheel->angleDelta().y()),
                   MAKELPARAM(global.x(), global.y()));
      return true;
    }
    default: return false;
    }
  }

  // The pre-translate chain first, then the edit window's procedure; Qt
  // takes the key only when it reached the edit's own handling.
  bool Key(QKeyEvent* key) {
    const int vk = VirtualKeyOf(key->key());
    if (vk == 0) return false;
    MSG msg;
    msg.hwnd = m_hwnd;
    msg.message = (key->modifiers() & Qt::AltModifier) ? WM_SYSKEYDOWN : WM_KEYDOWN;
    msg.wParam = static_cast<WPARAM>(vk);
    msg.lParam = 1 | (key->isAutoRepeat() ? (1 << 30) : 0);
    if (core::PreTranslate(msg) || !IsWindow(m_hwnd)) return true;
    DispatchMessageW(&msg);
    if (!IsWindow(m_hwnd) || !core::KeyReachedEdit(m_hwnd)) return true;
    // Focus moves among windows only through the layer.
    return vk == VK_TAB;
  }

  HWND m_hwnd;
  core::ITextEditEvents* m_events;
  QPointer<HostWidget> m_host;
  QPointer<QWidget> m_widget;
  QPointer<QLineEdit> m_line;
  QPointer<QPlainTextEdit> m_multi;
  int m_limit = 30000;
  bool m_settingText = false;
};

} // namespace

std::unique_ptr<core::ITextEdit> MakeHostedEdit(HWND hwnd, bool multiline, core::ITextEditEvents* events) {
  if (!WidgetOf(hwnd)) return nullptr;
  return std::make_unique<HostedEdit>(hwnd, multiline, events);
}

} // namespace platform::qt
