// SPDX-License-Identifier: GPL-3.0-or-later
// The password meter while a 100-character password is typed: each
// keystroke reads the whole password anew (zxcvbn's estimate, the times
// against the chosen algorithm and XChaCha20-Poly1305). The target is to
// stay well under one frame (16 ms), so that the meter never slows typing.

#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>

#include "app/shared/password_meter.h"
#include "compare.h"

namespace {

// Words, a date, a keyboard run, leet and symbols: what zxcvbn looks hardest at.
constexpr char kTyped[] =
    "Tr0ub4dor&3 correct horse battery staple, purple monkey dishwasher 1987-06-15 qwertyuiop "
    "zxcvbn!!xyz";
static_assert(sizeof(kTyped) - 1 == 100);

// The processor time of this thread: on a shared machine the wall clock also
// counts the time others had the processor, which typing would not see.
double ThreadMilliseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Figures {
  double meanMs = 0;
  double worstMs = 0;
};
std::optional<Figures> measured;

void MeterKeystrokesBenchmark(benchmark::State& state) {
  voltare::app::PasswordMeter meter;
  meter.Start(0);  // Blowfish: both times are shown
  const std::string typed(kTyped);
  Figures figures;
  for (auto _ : state) {
    double total = 0;
    double worst = 0;
    for (std::size_t length = 1; length <= typed.size(); ++length) {
      const double start = ThreadMilliseconds();
      meter.Follow(std::string_view(typed).substr(0, length));
      const double took = ThreadMilliseconds() - start;
      total += took;
      worst = std::max(worst, took);
    }
    benchmark::DoNotOptimize(meter.level);
    state.SetIterationTime(total / 1000);
    figures.meanMs = total / static_cast<double>(typed.size());
    figures.worstMs = std::max(figures.worstMs, worst);
  }
  measured = figures;
}

void PrintMeter(std::ostream& out) {
  if (!measured) return;
  char line[200];
  std::snprintf(line, sizeof line,
                "\nPassword meter, 100 characters typed one by one: %.3f ms of processor time a keystroke "
                "on average, %.3f ms at worst (target: under 16 ms)\n",
                measured->meanMs, measured->worstMs);
  out << line;
}

const bool registered = [] {
  benchmark::RegisterBenchmark("password meter 100 keystrokes", MeterKeystrokesBenchmark)
      ->Iterations(5)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime();
  voltare::bench::AddClosingTable(PrintMeter);
  return true;
}();

}  // namespace
