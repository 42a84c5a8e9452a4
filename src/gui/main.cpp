// SPDX-License-Identifier: GPL-3.0-or-later
// voltare [FILE]: the desktop program. FILE is handled as at the first
// activation: a ".vlt" or ".plx" file is decrypted, a ".vls" list is opened.
// voltare --encrypt FILE... (and the other verbs): the window runs that
// command on the files, as the file-manager actions ask.

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QStringList>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window/batch_messages.h"
#include "app/main_window/messages.h"
#include "app/main_window/start_verbs.h"
#include "app/shared/application.h"
#include "common/translate.h"
#include "common/version.h"
#include "gui/main_window.h"
#include "gui/qt_interaction.h"
#include "gui/qt_translations.h"
#include "gui/stop_signals.h"
#include "platform/core_dumps.h"
#include "platform/temp_files.h"

namespace {

constexpr const char* kVersion = VOLTARE_VERSION;

struct StartRequest {
  std::optional<voltare::app::StartVerb> verb;
  std::vector<std::string> files;
  std::optional<int> exitStatus;  // set when the program is done already (--help, --version, a mistake)
};

void AddVerbOptions(QCommandLineParser& parser) {
  for (const voltare::app::StartVerbName& name : voltare::app::kStartVerbs) {
    parser.addOption(QCommandLineOption(QString::fromUtf8(name.option.data(), name.option.size()),
                                        QString::fromUtf8(name.description.c_str())));
  }
}

// The verb given, if any; a message and exit status 2 for two of them, or
// for a verb without files.
std::optional<int> TakeVerb(const QCommandLineParser& parser, StartRequest& request) {
  for (const voltare::app::StartVerbName& name : voltare::app::kStartVerbs) {
    if (!parser.isSet(QString::fromUtf8(name.option.data(), name.option.size()))) continue;
    if (request.verb) {
      std::fprintf(stderr, "voltare: %s\n", tr_("give only one of --encrypt, --decrypt, --wipe, --mail and --add."));
      return 2;
    }
    request.verb = name.verb;
  }
  if (request.verb && request.files.empty()) {
    std::fprintf(stderr, "voltare: %s\n%s\n", tr_("no FILE given."), tr_("Try 'voltare --help'."));
    return 2;
  }
  return std::nullopt;
}

// --uris: the FILEs as the paths they name; a message and exit status 2 for
// anything but a local file URI.
std::optional<int> TakeUris(StartRequest& request) {
  std::string refused;
  std::optional<std::vector<std::string>> paths = voltare::app::PathsOfFileUris(request.files, refused);
  if (!paths) {
    std::fprintf(stderr, "voltare: --uris: %s\n%s\n",
                 voltare::app::messages::FormatName(tr_("not a local file URI: %s"), refused).c_str(),
                 tr_("Try 'voltare --help'."));
    return 2;
  }
  request.files = std::move(*paths);
  return std::nullopt;
}

// Qt takes its own options (-platform, -platformpluginpath, -style, ...)
// from anywhere in the arguments it gets, "--" or not: a file named like one
// would pick the library Qt loads. Qt gets the program's name only; its
// settings come from its environment variables, and the file names from
// the raw arguments.
class QtArguments {
 public:
  QtArguments(int argc, char** argv) : argv_{argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName_, nullptr} {}
  int& argc() { return argc_; }
  char** argv() { return argv_.data(); }

 private:
  char fallbackName_[8] = "voltare";
  int argc_ = 1;
  std::array<char*, 2> argv_;
};

// Every argument as text for the option parser; the file names themselves
// are taken from the bytes.
QStringList ArgumentTexts(int argc, char** argv) {
  QStringList texts;
  for (int i = 0; i < argc; ++i) texts.append(QString::fromLocal8Bit(argv[i]));
  return texts;
}

// Reads the command line without a display, so that --help and --version
// work anywhere.
StartRequest ParseCommandLine(int argc, char** argv) {
  QtArguments qtArguments(argc, argv);
  QCoreApplication core(qtArguments.argc(), qtArguments.argv());
  QCoreApplication::setApplicationName("voltare");
  QCoreApplication::setApplicationVersion(kVersion);
  // The parser's own words ("Usage:", "Options:", the help and version
  // options) in the language of ours.
  const voltare::gui::QtTranslations qtTranslations;

  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromUtf8(
      tr_("KOVA Voltare protects your files with passwords.\n"
          "FILE alone is decrypted when it ends in .vlt or .plx, and opened as the file list when it ends in .vls.\n"
          "With one of the commands below, the window runs that command on all the FILEs.\n"
          "Every argument is this program's: the toolkit takes its settings only from its environment\n"
          "variables (QT_QPA_PLATFORM, QT_QPA_PLATFORM_PLUGIN_PATH, QT_STYLE_OVERRIDE, QT_SCALE_FACTOR, ...),\n"
          "never from options such as -platform or -style.")));
  parser.addHelpOption();
  parser.addVersionOption();
  AddVerbOptions(parser);
  parser.addOption(QCommandLineOption(
      "uris",
      /* xgettext:no-c-format */
      QString::fromUtf8(
          tr_("The FILEs are local file URIs (file:///home/me/a%20b.txt), as file managers hand them over."))));
  parser.addPositionalArgument(
      "FILE", QString::fromUtf8(tr_("A file to decrypt or a saved file list to open; with a command, the files.")),
      "[--encrypt|--decrypt|--wipe|--mail|--add] [--uris] [FILE...]");

  StartRequest request;
  // The file names as the system gave their bytes: they need not be UTF-8.
  request.files = voltare::app::PlainArguments({argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0)});
  if (!parser.parse(ArgumentTexts(argc, argv))) {
    std::fprintf(stderr, "voltare: %s\n%s\n", qPrintable(parser.errorText()), tr_("Try 'voltare --help'."));
    request.exitStatus = 2;
  } else if (parser.isSet("help") || parser.isSet("help-all")) {
    std::printf("%s", qPrintable(parser.helpText()));
    request.exitStatus = 0;
  } else if (parser.isSet("version")) {
    std::printf("KOVA Voltare %s\n", kVersion);
    request.exitStatus = 0;
  } else {
    request.exitStatus = TakeVerb(parser, request);
    if (!request.exitStatus && parser.isSet("uris")) request.exitStatus = TakeUris(request);
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
  voltare::common::StartTranslations();
  const StartRequest request = ParseCommandLine(argc, argv);
  if (request.exitStatus) return *request.exitStatus;
  if (!HasDisplay()) {
    std::fprintf(stderr, "voltare: %s\n",
                 tr_("no graphical display (DISPLAY and WAYLAND_DISPLAY are not set); "
                     "try: xvfb-run -a voltare [FILE...]"));
    return 1;
  }

  // What killed runs left in the private temporary directory (not what a
  // running copy marks as its own).
  voltare::platform::RemoveStaleTempFiles();

  QtArguments qtArguments(argc, argv);
  QApplication application(qtArguments.argc(), qtArguments.argv());
  QApplication::setApplicationName(
      QString::fromUtf8(voltare::app::messages::kProgramTitle.data(), voltare::app::messages::kProgramTitle.size()));
  QApplication::setApplicationVersion(kVersion);
  // Qt's own dialogs and buttons in the language of our texts.
  const voltare::gui::QtTranslations qtTranslations;
  // A right-to-left language lays the windows out from the right.
  QApplication::setLayoutDirection(QLocale::system().textDirection());

  voltare::gui::QtInteraction interaction;
  voltare::app::Application program(interaction, std::filesystem::current_path());
  // A path with blanks may come split into several arguments; without a
  // verb the main form joins them again.
  voltare::gui::MainWindow window(program, interaction, request.files);
  int stoppedBy = 0;
  const voltare::gui::StopSignals stopSignals([&](int signal) {
    if (stoppedBy != 0) return;
    stoppedBy = signal;
    window.CloseForStopSignal();
  });
  if (request.verb) window.RunAtStart(*request.verb, request.files);
  window.show();
  const int status = QApplication::exec();
  // As a shell reports a program a signal ended, though this one ended itself.
  return stoppedBy != 0 ? 128 + stoppedBy : status;
}
