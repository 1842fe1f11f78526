// Another program on the same display, for the clipboard tests: it only
// knows Qt and the desktop's types, as a file manager would.
//
//   ClipboardPeer read                 prints each type of the clipboard as
//                                      "<type> <hex bytes>" lines
//   ClipboardPeer cut <path>...        puts a file manager's cut of the
//                                      files on the clipboard
//   ClipboardPeer raw <type> <text>... puts the bytes as they are (Qt would
//                                      mend a URI list set the usual way)
//
// A writer prints "ready" and serves the clipboard until its input closes.

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

namespace {

// Mime data that hands out its bytes exactly as given.
class RawMime : public QMimeData {
public:
  void Add(const QString& type, const QByteArray& bytes) {
    m_types << type;
    m_data << bytes;
  }
  QStringList formats() const override { return m_types; }
  bool hasFormat(const QString& type) const override { return m_types.contains(type); }

protected:
  QVariant retrieveData(const QString& type, QMetaType) const override {
    const auto i = m_types.indexOf(type);
    return i < 0 ? QVariant() : QVariant(m_data[i]);
  }

private:
  QStringList m_types;
  QList<QByteArray> m_data;
};

int Read() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data) return 1;
  for (const QString& type : data->formats()) {
    std::printf("%s %s\n", qPrintable(type), data->data(type).toHex().constData());
  }
  return 0;
}

// Serves the clipboard until standard input closes.
int Serve(QGuiApplication& app, QMimeData* data) {
  QGuiApplication::clipboard()->setMimeData(data);
  std::printf("ready\n");
  std::fflush(stdout);
  std::thread([&app] {
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    QMetaObject::invokeMethod(&app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
  }).detach();
  return app.exec();
}

} // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() >= 2 && args[1] == QLatin1String("read")) return Read();
  if (args.size() >= 3 && args[1] == QLatin1String("cut")) {
    auto* data = new RawMime;
    QByteArray uris, gnome = "cut";
    for (int i = 2; i < args.size(); ++i) {
      const QByteArray uri = QUrl::fromLocalFile(args[i]).toEncoded();
      uris += uri + "\r\n";
      gnome += "\n" + uri;
    }
    data->Add(QStringLiteral("text/uri-list"), uris);
    data->Add(QStringLiteral("x-special/gnome-copied-files"), gnome);
    return Serve(app, data);
  }
  if (args.size() >= 4 && args[1] == QLatin1String("raw")) {
    auto* data = new RawMime;
    for (int i = 2; i + 1 < args.size(); i += 2) data->Add(args[i], args[i + 1].toUtf8().replace("\\n", "\n"));
    return Serve(app, data);
  }
  std::fprintf(stderr, "usage: ClipboardPeer read | cut <path>... | raw <type> <text>...\n");
  return 2;
}
