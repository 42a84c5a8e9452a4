// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

namespace voltare::bench {

namespace {

constexpr const char* kOursSuffix = "/ours";
constexpr const char* kReferenceSuffix = "/openssl";

struct Comparison {
  std::string operation;
  std::optional<double> ours;
  std::optional<double> reference;
};

std::vector<std::function<void(std::ostream&)>>& ClosingTables() {
  static std::vector<std::function<void(std::ostream&)>> tables;
  return tables;
}

std::vector<Comparison>& Registry() {
  static std::vector<Comparison> comparisons;
  return comparisons;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string Figure(const std::optional<double>& value) {
  if (!value) return "-";
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f", *value);
  return text;
}

}  // namespace

void AddThroughputBenchmark(const std::string& operation, Side side, std::function<void(benchmark::State&)> body) {
  const std::string name = operation + (side == Side::kOurs ? kOursSuffix : kReferenceSuffix);
  benchmark::RegisterBenchmark(name.c_str(), [body = std::move(body)](benchmark::State& state) { body(state); });
}

void RecordThroughput(const std::string& operation, Side side, double mb_per_s) {
  auto& comparisons = Registry();
  auto it = std::find_if(comparisons.begin(), comparisons.end(),
                         [&](const Comparison& c) { return c.operation == operation; });
  if (it == comparisons.end()) {
    comparisons.push_back({operation, std::nullopt, std::nullopt});
    it = comparisons.end() - 1;
  }
  (side == Side::kOurs ? it->ours : it->reference) = mb_per_s;
}

void ComparisonReporter::ReportRuns(const std::vector<Run>& runs) {
  benchmark::ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    if (run.error_occurred) continue;
    if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "mean") continue;
    const auto rate = run.counters.find("bytes_per_second");
    if (rate == run.counters.end()) continue;
    const std::string name = run.run_name.str();
    for (Side side : {Side::kOurs, Side::kReference}) {
      const std::string suffix = side == Side::kOurs ? kOursSuffix : kReferenceSuffix;
      if (EndsWith(name, suffix)) {
        RecordThroughput(name.substr(0, name.size() - suffix.size()), side, rate->second.value / 1e6);
      }
    }
  }
}

void PrintComparisonTable(std::ostream& out) {
  const auto& comparisons = Registry();
  if (comparisons.empty()) return;
  std::size_t width = 9;
  for (const Comparison& c : comparisons) width = std::max(width, c.operation.size());
  char line[256];
  out << '\n';
  std::snprintf(line, sizeof(line), "%-*s %12s %12s %8s\n", static_cast<int>(width), "operation", "ours MB/s",
                "OpenSSL MB/s", "ratio");
  out << line << std::string(width + 35, '-') << '\n';
  for (const Comparison& c : comparisons) {
    std::string ratio = "-";
    if (c.ours && c.reference && *c.reference > 0) {
      char text[32];
      std::snprintf(text, sizeof(text), "%.2f", *c.ours / *c.reference);
      ratio = text;
    }
    std::snprintf(line, sizeof(line), "%-*s %12s %12s %8s\n", static_cast<int>(width), c.operation.c_str(),
                  Figure(c.ours).c_str(), Figure(c.reference).c_str(), ratio.c_str());
    out << line;
  }
}

void AddClosingTable(std::function<void(std::ostream&)> print) { ClosingTables().push_back(std::move(print)); }

void PrintClosingTables(std::ostream& out) {
  for (const auto& print : ClosingTables()) print(out);
}

}  // namespace voltare::bench
