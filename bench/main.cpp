// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmark program: runs every registered benchmark, then prints the
// comparison of our throughput with the reference implementation and the
// tables the benchmarks add of their own.

#include <benchmark/benchmark.h>

#include <iostream>

#include "compare.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  voltare::bench::ComparisonReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  voltare::bench::PrintComparisonTable(std::cout);
  voltare::bench::PrintClosingTables(std::cout);
  return 0;
}
