// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli in the user's language, taken from LANG as any program takes it.

#include <gtest/gtest.h>

#include "cli/cli_runner.h"
#include "support/scoped_env.h"

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

}  // namespace
}  // namespace voltare::cli::testing
