// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/shared/password_strength.h"

#include <zxcvbn.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "app/main_window/algorithm_table.h"
#include "common/grouped_number.h"
#include "common/secret_string.h"
#include "common/translate.h"

namespace voltare::app::strength {

namespace {

// ---------------------------------------------------------------------------
// The guessing rates: one graphics card, each format's cheapest attack.
// The user's guide shows this table with its sources; change both together.

// A Blowfish file or list is keyed with the password's SHA-1 and holds a
// check block, so one guess is a SHA-1, Blowfish's key schedule and one
// block. The key schedule dominates. bcrypt at cost 5 runs 65 such key
// schedules plus 192 blocks per hash, and hashcat makes 85,674 of those a
// second on an RTX 5070: 85,674 x (65 x 521 + 192) / 522 blocks, about
// 5.59 million guesses a second, taken up to 6 million.
constexpr double kBlowfishRate = 6e6;

// CAST5's key schedule costs a few blocks, so the SHA-1 is the guess's
// price: hashcat's SHA-1 on an RTX 3090, 23,273 MH/s. The cipher's share is
// left out in the attacker's favour.
constexpr double kCast5Rate = 23'273e6;

// A DES file has no check block and its key is the password's first 8
// bytes, so the attack is a search of DES keys against the known start of
// the compressed stream. hashcat's DES key search (mode 14000) measured
// 21,496 MH/s on a GTX 1080; current cards are several times faster, so
// 100,000 MH/s is taken.
constexpr double kDesRate = 100'000e6;
constexpr double kDesKeyBits = 56;
constexpr std::size_t kDesKeyBytes = 8;

// hashcat's Argon2id at 64 MiB and 3 passes on an RTX 4090: 1,667 H/s,
// close to that card's memory-bandwidth bound, so the rate falls as
// memory x passes grows.
constexpr double kArgon2Rate = 1'667;
constexpr double kArgon2RatePasses = 3;
constexpr double kArgon2RateKiB = 64 * 1024;

// ---------------------------------------------------------------------------
// Characters zxcvbn does not read.
//
// zxcvbn knows ASCII words, keyboards and sequences; a character outside
// ASCII is counted as one drawn from one script's letters in both cases
// (about 64, so 6 bits), with no dictionary of any language; a character
// already counted adds 1 bit when it comes again. zxcvbn reads the ASCII
// characters alone, so "pass€word" is still the word "password". A byte that
// is not UTF-8, or a NUL (which would end zxcvbn's string), counts as such
// a character.
constexpr double kOtherCharacterBits = 6;
constexpr double kRepeatedOtherBits = 1;

// The length of the UTF-8 sequence starting at text[at]; 1 for a byte that
// does not start a valid sequence.
std::size_t SequenceLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  if (length == 1 || at + length > text.size()) return 1;
  for (std::size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

double BitsOf(std::string_view password) {
  common::SecretString ascii;
  common::SecretString others;  // each other character once
  ascii.reserve(password.size());
  double otherBits = 0;
  for (std::size_t at = 0; at < password.size();) {
    const auto byte = static_cast<unsigned char>(password[at]);
    if (byte != 0 && byte < 0x80) {
      ascii.push_back(password[at++]);
      continue;
    }
    const std::size_t length = SequenceLength(password, at);
    const std::string_view character = password.substr(at, length);
    at += length;
    const bool seen = others.view().find(character) != std::string_view::npos;
    otherBits += seen ? kRepeatedOtherBits : kOtherCharacterBits;
    if (!seen) others.append(character);
  }
  const double asciiBits = ascii.empty() ? 0 : ZxcvbnMatch(ascii.c_str(), nullptr, nullptr);
  return std::max(0.0, asciiBits) + otherBits;
}

// ---------------------------------------------------------------------------
// Showing durations.

constexpr double kMinute = 60;
constexpr double kHour = 60 * kMinute;
constexpr double kDay = 24 * kHour;
constexpr double kMillionYears = 1e6 * kSecondsInYear;

struct TimeUnit {
  double seconds;
  double next;  // how many of this unit make the next
  // "about %s <unit>", with the rounded count in place of %s; one counted
  // text, so that each language takes its own form for the count.
  common::PluralText text;
};

constexpr std::array<TimeUnit, 5> kUnits{{
    {1, 60, NP_("about %s second", "about %s seconds")},
    {kMinute, 60, NP_("about %s minute", "about %s minutes")},
    {kHour, 24, NP_("about %s hour", "about %s hours")},
    {kDay, 365, NP_("about %s day", "about %s days")},
    {kSecondsInYear, 1e9, NP_("about %s year", "about %s years")},
}};

// 1 to 9 as they are; above, one significant figure (37 -> 40, 2,345 -> 2,000).
double RoundForShowing(double value) {
  if (value < 9.5) return std::max(1.0, std::round(value));
  const double scale = std::pow(10.0, std::floor(std::log10(value)));
  return std::round(value / scale) * scale;
}

}  // namespace

PasswordBits MeasurePassword(std::string_view password) {
  PasswordBits bits;
  bits.whole = BitsOf(password);
  bits.desKey = password.size() <= kDesKeyBytes ? bits.whole : BitsOf(password.substr(0, kDesKeyBytes));
  return bits;
}

double GuessesPerSecond(int algorithm, const transforms::Argon2Limits& limits) {
  switch (algorithm) {
    case kBlowfish:
      return kBlowfishRate;
    case kCast5:
      return kCast5Rate;
    case kDes:
      return kDesRate;
    default: {
      const double work = std::max(1.0, static_cast<double>(limits.passes) * static_cast<double>(limits.memoryKiB));
      return std::ceil(kArgon2Rate * kArgon2RatePasses * kArgon2RateKiB / work);
    }
  }
}

double SecondsToGuess(const PasswordBits& bits, int algorithm, const transforms::Argon2Limits& limits) {
  // Past 56 bits the attacker searches DES keys rather than passwords.
  const double worth = algorithm == kDes ? std::min(bits.desKey, kDesKeyBits) : bits.whole;
  const double guesses = std::max(1.0, std::exp2(worth - 1));
  return guesses / GuessesPerSecond(algorithm, limits);
}

Step StepOf(double seconds) {
  if (seconds < kDay) return Step::VeryWeak;
  if (seconds < kWarnBelowSeconds) return Step::Weak;
  if (seconds < 1'000 * kSecondsInYear) return Step::Fair;
  if (seconds < kMillionYears) return Step::Strong;
  return Step::VeryStrong;
}

std::string_view StepWord(Step step) {
  constexpr std::array<const char*, kStepCount> kWords{N_("Very weak"), N_("Weak"), N_("Fair"), N_("Strong"),
                                                       N_("Very strong")};
  return tr_(kWords.at(static_cast<std::size_t>(step)));
}

std::string DurationText(double seconds) {
  if (seconds < 1) return tr_("less than a second");
  if (seconds >= kMillionYears) return tr_("more than a million years");
  for (const TimeUnit& unit : kUnits) {
    const double shown = RoundForShowing(seconds / unit.seconds);
    if (shown < unit.next) {
      const auto count = static_cast<unsigned long>(shown);
      return common::Filled(unit.text.For(count), {common::GroupedNumber(static_cast<std::uint64_t>(shown))});
    }
  }
  return tr_("more than a million years");
}

std::string_view AlgorithmName(int algorithm) { return CaptionOfFileAlgorithm(algorithm); }

MeterReading ReadMeter(std::string_view password, int algorithm, const transforms::Argon2Limits& limits) {
  const PasswordBits bits = MeasurePassword(password);
  MeterReading reading;
  reading.seconds = SecondsToGuess(bits, algorithm, limits);
  reading.step = StepOf(reading.seconds);
  if (algorithm == kXChaCha) {
    reading.timeLine = common::Filled(tr_("Time to guess on one graphics card: %s with %s."),
                                      {DurationText(reading.seconds), AlgorithmName(algorithm)});
  } else {
    reading.timeLine = common::Filled(tr_("Time to guess on one graphics card: %s with %s; %s with %s."),
                                      {DurationText(reading.seconds), AlgorithmName(algorithm),
                                       DurationText(SecondsToGuess(bits, kXChaCha, limits)), AlgorithmName(kXChaCha)});
  }
  return reading;
}

}  // namespace voltare::app::strength
