// voltare [FILE]: the desktop program. FILE is handled as at the first
// activation: a ".vlt" or ".plx" file is decrypted, a ".vls" list is opened.

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/messages.h"
#include "common/version.h"
#include "gui/main_window.h"
#include "gui/qt_interaction.h"
#include "platform/core_dumps.h"
#include "platform/temp_files.h"

namespace {

constexpr const char* kVersion = VOLTARE_VERSION;

struct StartRequest {
  std::vector<std::string> files;
  std::optional<int> exitStatus;  // set when the program is done already (--help, --version, a mistake)
};

// Reads the command line without a display, so that --help and --version
// work anywhere.
StartRequest ParseCommandLine(int argc, char** argv) {
  QCoreApplication core(argc, argv);
  QCoreApplication::setApplicationName("voltare");
  QCoreApplication::setApplicationVersion(kVersion);

  QCommandLineParser parser;
  parser.setApplicationDescription(
      "KOVA Voltare protects your files with passwords.\n"
      "FILE is decrypted when it ends in .vlt or .plx, and opened as the file list when it ends in .vls.");
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument("FILE", "A file to decrypt or a saved file list to open.", "[FILE]");

  StartRequest request;
  if (!parser.parse(QCoreApplication::arguments())) {
    std::fprintf(stderr, "voltare: %s\nTry 'voltare --help'.\n", qPrintable(parser.errorText()));
    request.exitStatus = 2;
  } else if (parser.isSet("help") || parser.isSet("help-all")) {
    std::printf("%s", qPrintable(parser.helpText()));
    request.exitStatus = 0;
  } else if (parser.isSet("version")) {
    std::printf("KOVA Voltare %s\n", kVersion);
    request.exitStatus = 0;
  }
  // A path with blanks may come split into several arguments; the main form
  // joins them again.
  for (const QString& argument : parser.positionalArguments()) {
    request.files.push_back(QFile::encodeName(argument).toStdString());
  }
  return request;
}

// Qt stops a program without a display with a long report; say it in one line.
bool HasDisplay() {
  const auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
  // Before any password is typed: no core dump may carry one.
  voltare::platform::TurnOffCoreDumps();
  const StartRequest request = ParseCommandLine(argc, argv);
  if (request.exitStatus) return *request.exitStatus;
  if (!HasDisplay()) {
    std::fprintf(stderr,
                 "voltare: no graphical display (DISPLAY and WAYLAND_DISPLAY are not set); "
                 "try: xvfb-run -a voltare [FILE]\n");
    return 1;
  }

  // What killed runs left in the private temporary directory (not what a
  // running copy marks as its own).
  voltare::platform::RemoveStaleTempFiles();

  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(voltare::app::messages::kProgramTitle.data(),
                                                     voltare::app::messages::kProgramTitle.size()));
  QApplication::setApplicationVersion(kVersion);

  voltare::gui::QtInteraction interaction;
  voltare::app::Application program(interaction, std::filesystem::current_path());
  voltare::gui::MainWindow window(program, interaction, request.files);
  window.show();
  return QApplication::exec();
}
