#include "app/application.h"

#include <QApplication>
#include <QBuffer>
#include <QDBusConnection>
#include <QDBusError>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStatusBar>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "app/app_scene.h"
#include "app/autosave.h"
#include "app/document.h"
#include "app/document_picture.h"
#include "app/icons.h"
#include "app/main_frame.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/ui_seam.h"
#include "image/material_texture.h"
#include "io/document_formats.h"
#include "platform/child_process.h"
#include "platform/message.h"
#include "render/offscreen_frame.h"
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
QString ThumbnailerFile() { return DataHome() + QStringLiteral("/thumbnailers/meshwright.thumbnailer"); }
QString IconFile(int size) { return DataHome() + QStringLiteral("/icons/hicolor/%1x%1/apps/meshwright.png").arg(size); }

// The Metasequoia documents the thumbnailer draws have no type of their own in the desktop's
// database, so the program names one.
constexpr const char* kMetasequoiaMimeType = "model/x-mqo";

QByteArray Globs(const std::string& examplePath) {
  QByteArray globs;
  if (const DocumentFormat* format = FindDocumentFormat(examplePath))
    for (const std::string& ext : format->extensions)
      globs += "    <glob pattern=\"*." + QByteArray::fromStdString(ext) + "\"/>\n";
  return globs;
}

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
      "Icon=meshwright\n"
      "MimeType=application/x-meshwright;\n"
      "Categories=Graphics;3DGraphics;\n"
      "Terminal=false\n";
  // The program opens its own format from the desktop; Metasequoia documents are only described
  // (and given thumbnails), the program that made them keeps them.
  const QByteArray mime =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
      "  <mime-type type=\"application/x-meshwright\">\n"
      "    <comment>Meshwright.Document</comment>\n" +
      Globs("." + NativeDocumentFormat().extensions.front()) +
      "  </mime-type>\n"
      "  <mime-type type=\"" +
      QByteArray(kMetasequoiaMimeType) +
      "\">\n"
      "    <comment>Metasequoia Document</comment>\n"
      "    <sub-class-of type=\"text/plain\"/>\n"
      "    <magic><match type=\"string\" offset=\"0\" value=\"Metasequoia Document\"/></magic>\n" +
      Globs(".mqo") +
      "  </mime-type>\n"
      "</mime-info>\n";
  const QString thumbnailer =
      QFileInfo(executable).absolutePath() + QStringLiteral("/") + QString::fromUtf8(kThumbnailerName);
  const QByteArray thumbnailerEntry =
      "[Thumbnailer Entry]\n"
      "TryExec=" +
      thumbnailer.toUtf8() +
      "\n"
      "Exec=\"" +
      thumbnailer.toUtf8() +
      "\" -s %s %u %o\n"
      "MimeType=application/x-meshwright;" +
      QByteArray(kMetasequoiaMimeType) + ";\n";
  if (!WriteText(DesktopFile(), desktop)) return QStringLiteral("cannot write ") + DesktopFile();
  if (!WriteText(MimeFile(), mime)) return QStringLiteral("cannot write ") + MimeFile();
  if (!WriteText(ThumbnailerFile(), thumbnailerEntry)) return QStringLiteral("cannot write ") + ThumbnailerFile();
  for (int size : kProgramIconSizes) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!ProgramIconImage(size).save(&buffer, "PNG") || !WriteText(IconFile(size), png))
      return QStringLiteral("cannot write ") + IconFile(size);
  }
  // Let the desktop know, where the tool is installed; its absence changes nothing here.
  const QString updater = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
  if (!updater.isEmpty()) QProcess::execute(updater, {DataHome() + QStringLiteral("/mime")});
  return QString();
}

QString UnregisterFileTypes() {
  QFile::remove(DesktopFile());
  QFile::remove(MimeFile());
  QFile::remove(ThumbnailerFile());
  for (int size : kProgramIconSizes) QFile::remove(IconFile(size));
  const QString updater = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
  if (!updater.isEmpty()) QProcess::execute(updater, {DataHome() + QStringLiteral("/mime")});
  return QString();
}

std::optional<int> RunRenderCommand(int argc, char** argv) {
  const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
  if (std::find(args.begin(), args.end(), "--render") == args.end()) return std::nullopt;
  auto usage = [] {
    std::fprintf(stderr, "usage: meshwright --render OUT.png [--size WxH] [--style WORD,...] FILE\n");
    return 2;
  };
  std::string out, size = "640x480", file, styleWords;
  bool sizeGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--style") {
      if (i + 1 >= args.size() || !styleWords.empty()) return usage();
      styleWords = args[++i];
      if (styleWords.empty()) return usage();
    } else if (args[i] == "--render" || args[i] == "--size") {
      std::string& value = args[i] == "--render" ? out : size;
      if (i + 1 >= args.size() || (args[i] == "--render" ? !out.empty() : sizeGiven)) return usage();
      sizeGiven = sizeGiven || args[i] == "--size";
      value = args[++i];
      if (value.empty()) return usage();
    } else if (args[i].starts_with("--") || !file.empty()) {
      return usage();
    } else {
      file = args[i];
    }
  }
  if (file.empty()) return usage();
  const auto picture = ParsePictureSize(size);
  if (!picture) {
    std::fprintf(stderr, "meshwright: the size must be WIDTHxHEIGHT, each from 1 to %d pixels: %s\n", kMaxPictureSide,
                 size.c_str());
    return 2;
  }
  DisplayStyle style;
  if (!styleWords.empty()) {
    const auto parsed = ParseDisplayStyle(styleWords);
    if (!parsed) {
      std::fprintf(stderr,
                   "meshwright: the style is a comma-separated list of shaded, edges, wire, hidden, textured, "
                   "untextured, backfaces, culled, perspective, parallel: %s\n",
                   styleWords.c_str());
      return 2;
    }
    style = *parsed;
  }
  return WriteDocumentPicture("meshwright", file, out, *picture, style);
}

int RunApplication(int argc, char** argv) {
  // Pictures for scripts need neither a window nor a display, and leave the desktop alone.
  if (const auto status = RunRenderCommand(argc, argv)) return *status;
  PrepareEnvironment();
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Meshwright"));
  // The standard dialogs and buttons speak Japanese like the rest of the program.
  if (!InstallQtTranslations())
    std::fprintf(stderr, "meshwright: Qt's Japanese translations are not installed (qt6-translations-l10n)\n");
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
  // What a killed reading left behind: the import helper's hand-over and extracted archives.
  RemoveStaleTempFolders();
  Autosaver autosave(doc, LoadAutosaveSeconds());
  QObject::connect(&autosave, &Autosaver::failed, &frame, [&frame](const QString& message) {
    frame.statusBar()->showMessage(message);
  });
  frame.show();
  OfferRecovery(&frame, doc, autosave.path());
  if (!cl.file.isEmpty()) frame.OpenFromShell(cl.file);
  const int result = app.exec();
  SetMessageSink(nullptr);
  return result;
}

}  // namespace mw
