// SPDX-License-Identifier: GPL-3.0-or-later
// The password meter's estimates: zxcvbn's bits against the guessing rates.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/shared/password_strength.h"

namespace voltare::app::strength {
namespace {

// The limits new sealed files get outside the tests: 3 passes over 256 MiB.
constexpr transforms::Argon2Limits kFileLimits{3, 256 * 1024};

TEST(PasswordStrength, PasswordsFallIntoTheirStepAndTimePerAlgorithm) {
  struct Case {
    const char* password;
    int algorithm;
    Step step;
    const char* time;
  };
  const Case cases[] = {
      {"password", kBlowfish, Step::VeryWeak, "less than a second"},
      {"password", kXChaCha, Step::VeryWeak, "less than a second"},
      {"Tr0ub4dor&3", kBlowfish, Step::Weak, "about 100 days"},
      {"Tr0ub4dor&3", kCast5, Step::VeryWeak, "about 40 minutes"},
      {"Tr0ub4dor&3", kXChaCha, Step::Strong, "about 4,000 years"},
      // DES keys from the first 8 bytes alone: "Tr0ub4do", then "correct ".
      {"Tr0ub4dor&3", kDes, Step::VeryWeak, "less than a second"},
      {"correct horse battery staple", kDes, Step::VeryWeak, "less than a second"},
      {"correct horse battery staple", kBlowfish, Step::VeryStrong, "more than a million years"},
      // Outside ASCII: 6 bits a character, 1 for a repeat; zxcvbn still
      // sees the word around the euro sign.
      {"пароль", kBlowfish, Step::VeryWeak, "about 2 hours"},
      {"пароль", kXChaCha, Step::Fair, "about 3 years"},
      {"ééééééé", kXChaCha, Step::VeryWeak, "about 5 seconds"},
      {"pass€word", kXChaCha, Step::VeryWeak, "less than a second"},
  };
  for (const Case& c : cases) {
    const double seconds = SecondsToGuess(MeasurePassword(c.password), c.algorithm, kFileLimits);
    EXPECT_EQ(StepOf(seconds), c.step) << c.password << " with " << AlgorithmName(c.algorithm);
    EXPECT_EQ(DurationText(seconds), c.time) << c.password << " with " << AlgorithmName(c.algorithm);
  }
}

TEST(PasswordStrength, DurationsAreRoundedToOneFigureInTheLargestFittingUnit) {
  constexpr double kYear = kSecondsInYear;
  const std::pair<double, const char*> cases[] = {
      {0.4, "less than a second"},
      {1, "about 1 second"},
      {37, "about 40 seconds"},
      {58, "about 1 minute"},  // 60 seconds shown as the next unit
      {3 * 3600 + 600, "about 3 hours"},
      {364 * 86400, "about 1 year"},
      {2'345 * kYear, "about 2,000 years"},
      {2e6 * kYear, "more than a million years"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(DurationText(seconds), text) << seconds;
}

TEST(PasswordStrength, RatesFollowTheFormatsNotThePasswordsLength) {
  // DES keys from 8 bytes: what follows them changes nothing, and no password
  // outlasts the search of every key.
  const PasswordBits strong = MeasurePassword("kT9#vQ2!mW4@zR7%");
  const PasswordBits sameStart = MeasurePassword("kT9#vQ2!zzzzzzzzzzzzzzzzzzzzzzzzzzzzzz");
  EXPECT_GT(strong.whole, sameStart.whole);
  EXPECT_EQ(SecondsToGuess(strong, kDes, kFileLimits), SecondsToGuess(sameStart, kDes, kFileLimits));
  EXPECT_LE(SecondsToGuess(PasswordBits{500, 500}, kDes, kFileLimits), std::exp2(55) / GuessesPerSecond(kDes, {}));

  // Argon2id: the measured point, then scaled by passes x memory, rounded up.
  EXPECT_EQ(GuessesPerSecond(kXChaCha, {3, 64 * 1024}), 1'667);
  EXPECT_EQ(GuessesPerSecond(kXChaCha, kFileLimits), 417);
  EXPECT_EQ(GuessesPerSecond(kXChaCha, {1, 8 * 1024}), 1'667 * 24);
  EXPECT_LT(GuessesPerSecond(kBlowfish, {}), GuessesPerSecond(kCast5, {}));
}

TEST(PasswordStrength, TheMeterLineNamesTheChosenAlgorithmThenTheStrongOne) {
  EXPECT_EQ(ReadMeter("Tr0ub4dor&3", kBlowfish, kFileLimits).timeLine,
            "Time to guess on one graphics card: about 100 days with Blowfish; about 4,000 years with "
            "XChaCha20-Poly1305.");
  EXPECT_EQ(ReadMeter("Tr0ub4dor&3", kXChaCha, kFileLimits).timeLine,
            "Time to guess on one graphics card: about 4,000 years with XChaCha20-Poly1305.");
}

}  // namespace
}  // namespace voltare::app::strength
