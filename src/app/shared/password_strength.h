// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The password meter: how long one graphics card would take to find a
// password by guessing, against each of the program's algorithms.
//
// zxcvbn tells how many guesses a password is worth (as bits: 2^bits
// guesses try every password of its kind); the table of guessing rates here
// tells how many guesses a second one card makes against each format. Both
// the window's meter and voltare-cli read only this file, so the rates live
// in one place.
//
// The expected time is half the search: 2^(bits - 1) guesses at the rate.

#include <cstdint>
#include <string>
#include <string_view>

#include "transforms/sealed_key.h"

namespace voltare::app::strength {

// The algorithm codes of the "Algorithm" setting.
inline constexpr int kBlowfish = 0;
inline constexpr int kCast5 = 1;
inline constexpr int kDes = 2;
inline constexpr int kXChaCha = 3;

// What a password is worth, in bits of guessing work.
struct PasswordBits {
  double whole = 0;   // the password as Blowfish, CAST5 and Argon2id take it
  double desKey = 0;  // the part DES keys from: the first 8 bytes
};

// zxcvbn's estimate for the ASCII characters, plus what the other characters
// add (see the .cpp). Never fails; the empty password is worth 0 bits.
PasswordBits MeasurePassword(std::string_view password);

// Guesses a second one graphics card makes against `algorithm` (0-3); for
// XChaCha20-Poly1305, against Argon2id at `limits`. Rounded up: the
// attacker is never made slower than the figures behind it.
double GuessesPerSecond(int algorithm, const transforms::Argon2Limits& limits);

// The expected seconds to find the password: half the guesses it is worth.
double SecondsToGuess(const PasswordBits& bits, int algorithm, const transforms::Argon2Limits& limits);

// The meter's five steps, decided by the time to guess (see StepOf).
enum class Step { VeryWeak, Weak, Fair, Strong, VeryStrong };
inline constexpr int kStepCount = 5;

Step StepOf(double seconds);
std::string_view StepWord(Step step);  // "Very weak" ... "Very strong"

// Below this the command line warns: a year of one card is within reach of
// anyone who cares, and the two weakest steps end here.
inline constexpr double kSecondsInYear = 365.25 * 24 * 3600;
inline constexpr double kWarnBelowSeconds = kSecondsInYear;

// "less than a second", "about 3 hours", "about 2,000 years", "more than a
// million years": one or two significant figures, since the estimate is
// good to its order of magnitude and no better.
std::string DurationText(double seconds);

// The algorithm's name as the password prompt shows it ("Blowfish").
std::string_view AlgorithmName(int algorithm);

// What the meter shows for `password` under `algorithm`.
struct MeterReading {
  Step step = Step::VeryWeak;
  double seconds = 0;
  // "Time to guess on one graphics card: about 3 hours with Blowfish; about
  // 2,000 years with XChaCha20-Poly1305." (the second part only when another
  // algorithm is chosen).
  std::string timeLine;
};

MeterReading ReadMeter(std::string_view password, int algorithm, const transforms::Argon2Limits& limits);

}  // namespace voltare::app::strength
