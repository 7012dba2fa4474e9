#include "app/application.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <clocale>
#include <cstdio>

#include "app/app_scene.h"
#include "app/autosave.h"
#include "app/document.h"
#include "app/main_frame.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/ui_seam.h"
#include "image/material_texture.h"
#include "io/document_formats.h"
#include "platform/message.h"
#include "scene/meshwright.h"
#include "view/opengl_pane.h"

namespace mw {
namespace {

QString DataHome() {
  const QByteArray env = qgetenv("XDG_DATA_HOME");
  return env.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : QString::fromLocal8Bit(env);
}

QString DesktopFile() { return DataHome() + QStringLiteral("/applications/meshwright.desktop"); }
QString MimeFile() { return DataHome() + QStringLiteral("/mime/packages/meshwright.xml"); }

bool WriteText(const QString& path, const QByteArray& text) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return f.write(text) == text.size();
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
  CommandLine c;
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (a == QLatin1String("--register") || a == QLatin1String("/Register") || a == QLatin1String("-Register")) {
      c.registerTypes = true;
    } else if (a == QLatin1String("--unregister") || a == QLatin1String("/Unregister") ||
               a == QLatin1String("-Unregister") || a == QLatin1String("/Unregserver")) {
      c.unregisterTypes = true;
    } else if (a == QLatin1String("--automation") || a == QLatin1String("--embedding") ||
               a == QLatin1String("/Automation") || a == QLatin1String("/Embedding") ||
               a == QLatin1String("-Automation") || a == QLatin1String("-Embedding")) {
      c.automation = true;
    } else if (a.startsWith(QLatin1String("--"))) {
      c.error = QStringLiteral("unknown option: ") + a;
    } else if (c.file.isEmpty()) {
      c.file = a;
    }
  }
  return c;
}

QString RegisterFileTypes(const QString& executable) {
  const QByteArray desktop =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Meshwright\n"
      "Comment=3D polygon modeller\n"
      "Exec=\"" +
      executable.toUtf8() +
      "\" %f\n"
      "MimeType=application/x-meshwright;\n"
      "Categories=Graphics;3DGraphics;\n"
      "Terminal=false\n";
  // The desktop learns the program's own format; the others belong to their own programs.
  QByteArray globs;
  for (const std::string& ext : NativeDocumentFormat().extensions)
    globs += "    <glob pattern=\"*." + QByteArray::fromStdString(ext) + "\"/>\n";
  const QByteArray mime =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
      "  <mime-type type=\"application/x-meshwright\">\n"
      "    <comment>Meshwright.Document</comment>\n" +
      globs +
      "  </mime-type>\n"
      "</mime-info>\n";
  if (!WriteText(DesktopFile(), desktop)) return QStringLiteral("cannot write ") + DesktopFile();
  if (!WriteText(MimeFile(), mime)) return QStringLiteral("cannot write ") + MimeFile();
  // Let the desktop know, where the tool is installed; its absence changes nothing here.
  const QString updater = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
  if (!updater.isEmpty()) QProcess::execute(updater, {DataHome() + QStringLiteral("/mime")});
  return QString();
}

QString UnregisterFileTypes() {
  QFile::remove(DesktopFile());
  QFile::remove(MimeFile());
  const QString updater = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
  if (!updater.isEmpty()) QProcess::execute(updater, {DataHome() + QStringLiteral("/mime")});
  return QString();
}

int RunApplication(int argc, char** argv) {
  PrepareEnvironment();
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Meshwright"));
  // Qt takes the process locale from the environment; numbers in files are always C-locale.
  std::setlocale(LC_NUMERIC, "C");
  const CommandLine cl = ParseCommandLine(app.arguments());
  if (!cl.error.isEmpty()) {
    std::fprintf(stderr, "meshwright: %s\n", qPrintable(cl.error));
    return 2;
  }
  if (cl.unregisterTypes) {
    UnregisterFileTypes();
    return 0;
  }
  const QString registered = RegisterFileTypes(QCoreApplication::applicationFilePath());
  if (!registered.isEmpty()) std::fprintf(stderr, "meshwright: %s\n", qPrintable(registered));
  if (cl.registerTypes) return registered.isEmpty() ? 0 : 1;
  if (cl.automation) {
    // The automation server has no methods: it only claims its name on the session bus.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerService(QStringLiteral("org.meshwright.Meshwright.Document"))) {
      std::fprintf(stderr, "meshwright: no D-Bus session bus to register the automation server on: %s\n",
                   qPrintable(bus.lastError().message()));
      return 1;
    }
    return app.exec();
  }

  CMeshwright& scene = TheScene();
  scene.ResetScene();
  CMeshwrightDoc doc(scene);
  CMainFrame frame(scene, doc);
  MaterialTextures textures(frame.perspectivePane()->uploader(), DefaultTextureFolder());
  SetTextureService(&textures);
  SetMessageSink([&frame](std::string_view text, MessageIcon icon) {
    Ui().Message(&frame, QString::fromUtf8(text.data(), static_cast<int>(text.size())),
                 icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Warning);
  });
  doc.NewDocument();
  Autosaver autosave(doc, LoadAutosaveSeconds());
  frame.show();
  OfferRecovery(&frame, doc, autosave.path());
  if (!cl.file.isEmpty()) frame.OpenFromShell(cl.file);
  const int result = app.exec();
  SetMessageSink(nullptr);
  return result;
}

}  // namespace mw
