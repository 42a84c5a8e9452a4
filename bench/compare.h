// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Side-by-side throughput comparisons between our code and a reference
// implementation (OpenSSL), printed as one table after the benchmarks ran.
//
// Usage from any bench/*.cpp:
//
//   const bool registered = [] {
//     voltare::bench::AddThroughputBenchmark("Blowfish-CBC encrypt 8K", voltare::bench::Side::kOurs,
//                                            [](benchmark::State& state) {
//                                              for (auto _ : state) { /* work on n bytes */ }
//                                              state.SetBytesProcessed(state.iterations() * n);
//                                            });
//     ... the same operation name with Side::kReference ...
//     return true;
//   }();
//
// Each benchmark is registered as "<operation>/ours" or "<operation>/openssl";
// its bytes per second (from SetBytesProcessed) become the side's MB/s.
// Figures measured some other way can be put in with RecordThroughput.
// MB here means 10^6 bytes.

#include <benchmark/benchmark.h>

#include <functional>
#include <iosfwd>
#include <string>

namespace voltare::bench {

enum class Side { kOurs, kReference };

// Registers a Google Benchmark for one side of an operation.
void AddThroughputBenchmark(const std::string& operation, Side side, std::function<void(benchmark::State&)> body);

// Records a throughput directly; a later value for the same operation and side replaces an earlier one.
void RecordThroughput(const std::string& operation, Side side, double mb_per_s);

// Console reporter that also records every comparison benchmark's throughput
// (the mean when repetitions are asked for).
class ComparisonReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
};

// Prints: operation, ours MB/s, OpenSSL MB/s, ratio (ours / OpenSSL), in the
// order the operations were first recorded.
void PrintComparisonTable(std::ostream& out);

// A table of its own that a benchmark file prints after the comparison table,
// from what its benchmarks gathered.
void AddClosingTable(std::function<void(std::ostream&)> print);
void PrintClosingTables(std::ostream& out);

}  // namespace voltare::bench
