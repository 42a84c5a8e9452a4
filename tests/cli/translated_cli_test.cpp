// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli in the user's language, taken from LANG as any program takes it.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "support/scoped_env.h"
#include "support/test_env.h"

namespace voltare::cli::testing {
namespace {

class GermanDesktop : public ::testing::Test {
 protected:
  voltare::testing::ScopedEnv language_{"LANGUAGE", ""};
  voltare::testing::ScopedEnv all_{"LC_ALL", ""};
  voltare::testing::ScopedEnv messages_{"LC_MESSAGES", ""};
  voltare::testing::ScopedEnv lang_{"LANG", "de_DE.UTF-8"};
};

TEST_F(GermanDesktop, HelpIsGerman) {
  const CliRun run = RunCli({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("KOVA Voltare auf der Kommandozeile"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Dateien in DATEI.vlt verschlüsseln"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("Print this help message"), std::string::npos) << run.out;
}

TEST_F(GermanDesktop, ErrorIsGerman) {
  const CliRun run = RunCli({"decrypt", "missing.vlt"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "voltare-cli: missing.vlt: Datei oder Ordner nicht gefunden\n");
}

// The tool's own sentences around a run, in German: a batch's counted
// summary, the parser's complaint, a counted time, and a question answered
// in German.
TEST_F(GermanDesktop, TheToolsOwnSentencesAreGerman) {
  struct GermanCase {
    const char* what;
    std::function<void()> prepare;
    std::vector<std::string> arguments;
    std::vector<std::string> typed;  // on a terminal when any
    int status;
    std::string shown;  // a part of what the run showed
  };
  const std::vector<GermanCase> cases = {
      {"counted summary",
       [] {
         voltare::testing::WriteFileText(Work() / "a.vlt", "no vlt");
         voltare::testing::WriteFileText(Work() / "b.vlt", "no vlt");
       },
       {"verify", "a.vlt", "b.vlt"},
       {},
       1,
       "voltare-cli: 2 von 2 Dateien wurden nicht geprüft\n"},
      {"parse error",
       [] {},
       {"encrypt", "--bogus", "x"},
       {},
       2,
       "Das folgende Argument wurde nicht erwartet: --bogus\nMit --help erhalten Sie weitere Informationen.\n"},
      {"counted time to guess",
       [] { voltare::testing::WriteFileText(Work() / "pw", "correct horse\n"); },
       {"password-check", "--password-file", "pw"},
       {},
       0,
       "Blowfish: Sehr schwach, etwa 20 Sekunden zum Erraten"},
      {"j answers Yes",
       [] { voltare::testing::WriteFileText(Work() / "c.txt", "old"); },
       {"wipe", "c.txt"},
       {"j"},
       0,
       "wirklich sicher löschen? [j/n] "},
  };
  for (const GermanCase& german : cases) {
    std::filesystem::create_directories(Work());
    german.prepare();
    const CliRun run =
        german.typed.empty() ? RunCli(german.arguments) : RunCliOnTerminal(german.arguments, german.typed);
    EXPECT_EQ(run.status, german.status) << german.what << ": " << run.out << run.err;
    EXPECT_NE((run.out + run.err).find(german.shown), std::string::npos) << german.what << ": " << run.out << run.err;
  }
}

}  // namespace
}  // namespace voltare::cli::testing
