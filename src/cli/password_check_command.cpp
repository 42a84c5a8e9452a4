// SPDX-License-Identifier: GPL-3.0-or-later
// voltare-cli password-check

#include <iostream>
#include <string>

#include "app/shared/password_strength.h"
#include "cli/command.h"
#include "common/translate.h"

namespace voltare::cli {

namespace {

namespace strength = app::strength;

int CheckPassword(Session& session) {
  // Asked once, as when a file is opened: nothing is encrypted under it.
  const app::PasswordReply reply = session.app.PasswordBox.Request(app::PasswordRequest{});
  if (reply.password.empty()) return kExitFailure;  // the reason was reported

  const strength::PasswordBits bits = strength::MeasurePassword(reply.password);
  const transforms::Argon2Limits limits = transforms::DefaultArgon2Limits();
  for (int algorithm = strength::kBlowfish; algorithm <= strength::kXChaCha; ++algorithm) {
    const double seconds = strength::SecondsToGuess(bits, algorithm, limits);
    std::cout << common::Filled(tr_("%s: %s, %s to guess on one graphics card"),
                                {strength::AlgorithmName(algorithm), strength::StepWord(strength::StepOf(seconds)),
                                 strength::DurationText(seconds)})
              << '\n';
  }
  std::cout << std::flush;
  return kExitSuccess;
}

}  // namespace

void AddPasswordCheckCommand(CLI::App& parent, CommandAction& chosen) {
  CLI::App* command =
      parent.add_subcommand("password-check", tr_("How long one graphics card would take to guess a password"));
  command->footer(
      tr_("\nReads a password as every command does (--password-file, or the terminal\n"
          "without echo) and prints, for each algorithm, one line: the meter's step\n"
          "(Very weak, Weak, Fair, Strong, Very strong) and the expected time for one\n"
          "graphics card to find the password by guessing. XChaCha20-Poly1305 is\n"
          "reckoned at the Argon2id limits new files get. Nothing is written; the\n"
          "command exits 0 whatever the estimate. The user's guide tells how the times\n"
          "are estimated.\n"
          "\nExample: voltare-cli --password-file pw.txt password-check"));
  command->callback([&chosen] { chosen = CheckPassword; });
}

}  // namespace voltare::cli
