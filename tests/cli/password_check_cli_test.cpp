// SPDX-License-Identifier: GPL-3.0-or-later
// The built voltare-cli's password-check, and the warning a weak new
// password gets from the commands that encrypt under it.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/test_env.h"

namespace {

using voltare::cli::testing::CliRun;
using voltare::cli::testing::PasswordFile;
using voltare::cli::testing::RunCli;
using voltare::cli::testing::Work;
using voltare::testing::WriteFileText;

// 46.7 bits to zxcvbn: days against Blowfish, decades against Argon2id even
// at the tests' lowered limits (1 pass over 8 MiB).
constexpr char kMiddling[] = "Tr0ub4dor&3";
constexpr char kBlowfishWarning[] =
    "voltare-cli: weak password: one graphics card would guess it in about 100 days against Blowfish\n";

TEST(PasswordCheckCli, PrintsOneLinePerAlgorithm) {
  const CliRun check = RunCli({"--password-file", PasswordFile(kMiddling), "password-check"});
  EXPECT_EQ(check.status, 0) << check.err;
  EXPECT_EQ(check.out,
            "Blowfish: Weak, about 100 days to guess on one graphics card\n"
            "CAST5: Very weak, about 40 minutes to guess on one graphics card\n"
            "DES: Very weak, less than a second to guess on one graphics card\n"
            "XChaCha20-Poly1305: Fair, about 50 years to guess on one graphics card\n");
  EXPECT_EQ(check.err, "");
}

TEST(PasswordCheckCli, AWeakNewPasswordIsNamedOnceAndTheCommandGoesOn) {
  struct Case {
    std::vector<std::string> command;
    const char* err;
  };
  std::filesystem::create_directories(Work());
  WriteFileText(Work() / "a.txt", "some text");
  WriteFileText(Work() / "b.txt", "more text");
  const Case cases[] = {
      {{"encrypt-text", "meet at noon"}, kBlowfishWarning},
      {{"--yes", "encrypt", "--algorithm", "blowfish", "a.txt"}, kBlowfishWarning},
      {{"--yes", "encrypt", "--algorithm", "xchacha20", "b.txt"}, ""},
      {{"list-save", "files.vls", "a.txt"}, kBlowfishWarning},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments{"--password-file", PasswordFile(kMiddling)};
    arguments.insert(arguments.end(), c.command.begin(), c.command.end());
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.status, 0) << c.command[0] << ": " << run.err;
    EXPECT_EQ(run.err, c.err) << c.command[0];
  }
}

}  // namespace
